// The whole language runtime.
#pragma once

#include "runtime/Declare.h"
#include "runtime/Errors.h"
#include "runtime/Forms.h"
#include "runtime/Property.h"
#include "runtime/Services.h"
#include "runtime/Strings.h"
#include "runtime/Values.h"
