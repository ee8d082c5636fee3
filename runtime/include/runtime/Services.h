// Services of the runtime: random numbers, time, formatting, the application,
// files, program start, message boxes, ending the program.
#pragma once

#include "runtime/Values.h"

#include <functional>

namespace runtime {
// Seeds the one generator from the system timer, or with an explicit seed (tests).
void Randomize();
void Randomize(Double seed);
// A uniform value 0 <= u < 1 (24 random bits). Window thread only.
Single Rnd();
// Seconds since midnight, with fractions.
Single Timer();

// The number with pattern: "00" gives at least that many digits, with a leading
// zero, more when needed, a minus sign before a negative number; the number is
// rounded half away from zero. Only runs of '0' are patterns; an empty pattern gives
// the plain number. Anything else raises error 5.
String Format(Double number, const String& pattern);

struct Application {
    String Path;    // the program's folder, platform form, no trailing '\'
    String Title;   // the application's title: message box captions
    String EXEName; // the program file's name
};
extern Application App;

// The file name of path when it names an ordinary file: folders and hidden files
// (names starting with '.') are not found. Empty text when nothing matches.
String Dir(const String& path);
// Copies source onto target: never leaves a partly written file under target's
// name. Errors: 53 no source, 76 no target folder, 70 refused, 61 disk full, 75
// otherwise (a folder, a read-only target...).
void FileCopy(const String& source, const String& target);

// Window styles of Shell.
inline constexpr Integer vbHide = 0;
inline constexpr Integer vbNormalFocus = 1;
inline constexpr Integer vbMinimizedFocus = 2;
inline constexpr Integer vbMaximizedFocus = 3;
inline constexpr Integer vbNormalNoFocus = 4;
inline constexpr Integer vbMinimizedNoFocus = 6;
// Starts a program from a command line; returns at once with a task number.
// Errors: 53 program not found, 76 path not found, 5 not a program.
Double Shell(const String& command, Integer windowStyle = vbMinimizedFocus);

// Message boxes: OK only, no icon; the title defaults to App.Title.
inline constexpr Integer vbOKOnly = 0;
inline constexpr Integer vbOK = 1;
Integer MsgBox(const String& prompt, Integer buttons = vbOKOnly);
Integer MsgBox(const String& prompt, Integer buttons, const String& title);

// Ends the program at once, with status 0: no further event runs.
[[noreturn]] void End();
} // namespace runtime

namespace runtime {
// For tests: answers message boxes instead of showing them (the hook gets the text
// and the caption and returns the button). An empty hook shows them again.
void SetMessageBoxHookForTesting(
    std::function<Integer(const String& prompt, const String& title)> hook);
} // namespace runtime
