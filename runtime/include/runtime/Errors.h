// Runtime errors and statement-by-statement error continuation.
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace runtime {
using String = std::u16string;

// Error numbers of the runtime, each with its meaning.
namespace err {
inline constexpr int kInvalidCall = 5;        // invalid procedure call or argument
inline constexpr int kOverflow = 6;           // a value does not fit its type
inline constexpr int kOutOfMemory = 7;        // out of memory
inline constexpr int kSubscript = 9;          // array subscript outside its bounds
inline constexpr int kDivisionByZero = 11;    // division by zero
inline constexpr int kTypeMismatch = 13;      // a value of the wrong kind
inline constexpr int kLibraryNotFound = 48;   // the library of a declared function cannot be loaded
inline constexpr int kInternal = 51;          // internal error (an unexpected failure)
inline constexpr int kFileNotFound = 53;      // no such file
inline constexpr int kDiskFull = 61;          // no room left on the device
inline constexpr int kPermissionDenied = 70;  // the system refused access
inline constexpr int kPathFileAccess = 75;    // the path or file cannot be used that way
inline constexpr int kPathNotFound = 76;      // no such folder
inline constexpr int kInvalidListIndex = 381; // list index outside the list
inline constexpr int kEntryPointNotFound = 453; // the library lacks the declared function
inline constexpr int kInvalidPicture = 481;     // the picture cannot be read
} // namespace err

// The standard Spanish description of an error number.
String ErrorDescription(int number);

// The one exception type of the runtime.
class RuntimeError : public std::exception {
public:
    // An empty description takes the standard one for the number.
    explicit RuntimeError(int number, String description = {});
    int Number() const noexcept { return number_; }
    const String& Description() const noexcept { return description_; }
    const char* what() const noexcept override { return what_.c_str(); } // UTF-8

private:
    int number_;
    String description_;
    std::string what_;
};

[[noreturn]] void Raise(int number, String description = {});

// Runs one statement; a runtime error abandons it and is swallowed, any other
// exception passes. Returns whether the statement ran to its end.
template <class F> bool Try(F&& statement) {
    try {
        std::forward<F>(statement)();
        return true;
    } catch (const RuntimeError&) {
        return false;
    }
}

// Tests a condition; a runtime error while testing counts as the condition being met.
template <class F> bool TryCondition(F&& condition) {
    try {
        return static_cast<bool>(std::forward<F>(condition)());
    } catch (const RuntimeError&) {
        return true;
    }
}

// The exit status of a program ended by an untrapped error.
inline constexpr int kUntrappedErrorStatus = 1;

// Shows the runtime's error report (a modal box with the number and description,
// the application's title as caption) and ends the program with kUntrappedErrorStatus.
[[noreturn]] void ReportUntrappedError(const RuntimeError& error);
// The same for whatever an event handler let escape (a non-runtime exception is
// reported as an internal error).
[[noreturn]] void ReportUntrapped(std::exception_ptr error);

namespace detail {
// Counts the event handlers running on the window thread (more than one while a
// handler's box or chooser runs the event loop); what waits for none to run goes on
// once the last has returned.
void EventStarted() noexcept;
void EventEnded() noexcept;
struct RunningEvent {
    RunningEvent() noexcept { EventStarted(); }
    ~RunningEvent() { EventEnded(); }
    RunningEvent(const RunningEvent&) = delete;
    RunningEvent& operator=(const RunningEvent&) = delete;
};
} // namespace detail

// Runs an event handler at a boundary that no exception may cross (Qt's event loop):
// an error that escapes it is reported and ends the program.
template <class F> void RunEvent(F&& handler) noexcept {
    const detail::RunningEvent running;
    try {
        std::forward<F>(handler)();
    } catch (...) {
        ReportUntrapped(std::current_exception());
    }
}
} // namespace runtime
