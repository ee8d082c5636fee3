// Functions of outside libraries, bound by name at their first call.
//
//   Declare<void(MP3REQUEST*)> mp3play{"MP3.DLL", "mp3play"};
//   Declare<UINT(AnsiString, UINT)> GetSystemDirectoryA{"kernel32", "GetSystemDirectoryA"};
//
// The first call looks the library up (the program's folder, then the system
// directory; kernel32, user32, shell32 are the platform itself) and the function by
// its exported name: a missing library raises error 48, a missing function error 453,
// at that call, and the next call tries again. Once bound, calls go straight to the
// function. Any thread may call; two first calls at once bind the same function.
#pragma once

#include "runtime/Errors.h"

#include "platform/Types.h"

#include <atomic>
#include <string>

namespace runtime {
// A String passed to a function that takes 8-bit text (char*): the function gets a
// copy in the platform's code page, and what it writes there comes back into the
// String (all of the buffer, as the runtime converts it) when the call returns.
class AnsiString {
public:
    AnsiString(String& text);       // written back after the call
    AnsiString(const String& text); // not written back
    AnsiString(const char16_t* text) : AnsiString(String(text)) {}
    ~AnsiString();
    AnsiString(const AnsiString&) = delete;
    AnsiString& operator=(const AnsiString&) = delete;
    char* get() { return ansi_.data(); }

private:
    String* target_ = nullptr;
    std::string ansi_;
};

namespace detail {
// Looks up library and function, raising 48 or 453.
void* BindByName(const char* library, const char* function);

template <class T> struct CParameter {
    using type = T;
    static T&& Pass(T&& value) { return static_cast<T&&>(value); }
};
template <> struct CParameter<AnsiString> {
    using type = char*;
    static char* Pass(AnsiString&& value) { return value.get(); }
};
} // namespace detail

template <class Signature> class Declare;

template <class R, class... A> class Declare<R(A...)> {
public:
    // Functions bound by name use the calling convention of system libraries.
    using Function = R(WINAPI*)(typename detail::CParameter<A>::type...);

    constexpr Declare(const char* library, const char* function)
        : library_(library), function_(function) {}
    Declare(const Declare&) = delete;
    Declare& operator=(const Declare&) = delete;

    R operator()(A... args) const {
        return Bound()(detail::CParameter<A>::Pass(static_cast<A&&>(args))...);
    }

    // The bound function, binding it first when needed.
    Function Bound() const {
        Function f = bound_.load(std::memory_order_acquire);
        if (!f) {
            f = reinterpret_cast<Function>(detail::BindByName(library_, function_));
            bound_.store(f, std::memory_order_release);
        }
        return f;
    }

private:
    const char* library_;
    const char* function_;
    mutable std::atomic<Function> bound_{nullptr};
};
} // namespace runtime
