// Inner helpers of the runtime.
#pragma once

#include "runtime/Errors.h"
#include "runtime/Values.h"

#include <string>
#include <string_view>

namespace runtime::detail {
// What the shared runtime asks of the window system (qt/Host.cpp, win32/Host.cpp).
std::string Utf8(std::u16string_view text);
String Utf16(std::string_view utf8);
// The running program's folder (platform form, no trailing '\') and file name.
String ProgramFolder();
String ProgramFileName();
// A modal message box over the program's windows; returns the button pressed.
Integer ShowMessageBox(const String& prompt, Integer buttons, const String& title);
// One UTF-16 unit in capitals (itself when it has none or needs more than one unit).
char16_t UpperCase(char16_t c);
// The report box can be shown from here (the window thread).
bool OnWindowThread();

// The program is ending (an untrapped error is being reported): forms raise no more
// events.
void SetEnding();
bool IsEnding();
} // namespace runtime::detail
