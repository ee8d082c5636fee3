// The whole C interface of the platform.
#pragma once

#include "platform/CodePage.h"
#include "platform/Dialogs.h"
#include "platform/Libraries.h"
#include "platform/Messages.h"
#include "platform/Paths.h"
#include "platform/System.h"
#include "platform/Threads.h"
#include "platform/Types.h"
