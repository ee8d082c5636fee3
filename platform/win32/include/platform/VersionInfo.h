// On Windows a program's version information is its version resource
// (cmake/VersionInfo.rc.in), so the in-file note of Linux is not written.
#pragma once

#define ZAMPOLO_VERSION_INFO(text) static_assert(sizeof(text) > 1)
