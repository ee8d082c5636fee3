// Windows' own (see Types.h).
#pragma once

#include "platform/Types.h"

#include <shlobj.h>
