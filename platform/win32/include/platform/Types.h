// On Windows the platform is Windows itself: its types, messages and calling
// conventions come from <windows.h>; the other headers add the few helpers of ours.
#pragma once

#include <windows.h>
