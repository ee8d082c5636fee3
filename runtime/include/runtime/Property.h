// Properties: members that read and assign like variables
// (Command1.Enabled = false; LCD.Top = LCD.Top + 50; File1.Path = Text1.Text).
#pragma once

#include "runtime/Values.h"

#include <functional>
#include <type_traits>
#include <utility>

namespace runtime {
template <class T> class Property {
public:
    using Getter = std::function<T()>;
    using Setter = std::function<void(const T&)>;

    Property(Getter get, Setter set) : get_(std::move(get)), set_(std::move(set)) {}
    Property(const Property&) = delete;
    // Assigning one property to another copies the value, not the property.
    Property& operator=(const Property& other) {
        set_(other.get_());
        return *this;
    }
    Property& operator=(const T& value) {
        set_(value);
        return *this;
    }
    operator T() const { return get_(); }
    T Get() const { return get_(); }

private:
    Getter get_;
    Setter set_;
};

template <class T> class ReadOnly {
public:
    explicit ReadOnly(std::function<T()> get) : get_(std::move(get)) {}
    ReadOnly(const ReadOnly&) = delete;
    ReadOnly& operator=(const ReadOnly&) = delete;
    operator T() const { return get_(); }
    T Get() const { return get_(); }

private:
    std::function<T()> get_;
};

// Text properties join and compare like String.
inline String operator+(const Property<String>& a, const String& b) {
    return a.Get() + b;
}
inline String operator+(const String& a, const Property<String>& b) {
    return a + b.Get();
}
inline String operator+(const Property<String>& a, const char16_t* b) {
    return a.Get() + b;
}
inline String operator+(const char16_t* a, const Property<String>& b) {
    return a + b.Get();
}
inline bool operator==(const Property<String>& a, const String& b) {
    return a.Get() == b;
}
inline bool operator==(const Property<String>& a, const char16_t* b) {
    return a.Get() == b;
}

namespace detail {
template <class T> struct IsProperty : std::false_type {};
template <class T> struct IsProperty<Property<T>> : std::true_type {};
template <class T> struct IsProperty<ReadOnly<T>> : std::true_type {};
// A numeric property P meeting an operand U that is not a property.
template <class P, class U>
concept NumberProperty = IsProperty<P>::value && !IsProperty<U>::value &&
                         (std::is_arithmetic_v<decltype(std::declval<const P&>().Get())> ||
                          std::same_as<decltype(std::declval<const P&>().Get()), Integer>);
} // namespace detail

// Numeric properties compare and calculate as their values, with the value's own operators, so
// ScaleWidth / ProgressSteps divides with the runtime's check for zero.
template <class P, class U>
requires detail::NumberProperty<P, U>
auto operator==(const P& a, const U& b) -> decltype(a.Get() == b) {
    return a.Get() == b;
}
template <class P, class U>
requires detail::NumberProperty<P, U>
auto operator<=>(const P& a, const U& b) -> decltype(a.Get() <=> b) {
    return a.Get() <=> b;
}
template <class P, class U>
requires detail::NumberProperty<P, U>
auto operator+(const P& a, const U& b) -> decltype(a.Get() + b) {
    return a.Get() + b;
}
template <class U, class P>
requires detail::NumberProperty<P, U>
auto operator+(const U& a, const P& b) -> decltype(a + b.Get()) {
    return a + b.Get();
}
template <class P, class U>
requires detail::NumberProperty<P, U>
auto operator-(const P& a, const U& b) -> decltype(a.Get() - b) {
    return a.Get() - b;
}
template <class U, class P>
requires detail::NumberProperty<P, U>
auto operator-(const U& a, const P& b) -> decltype(a - b.Get()) {
    return a - b.Get();
}
template <class P, class U>
requires detail::NumberProperty<P, U>
auto operator*(const P& a, const U& b) -> decltype(a.Get() * b) {
    return a.Get() * b;
}
template <class U, class P>
requires detail::NumberProperty<P, U>
auto operator*(const U& a, const P& b) -> decltype(a * b.Get()) {
    return a * b.Get();
}
template <class P, class U>
requires detail::NumberProperty<P, U>
auto operator/(const P& a, const U& b) -> decltype(a.Get() / b) {
    return a.Get() / b;
}
template <class U, class P>
requires detail::NumberProperty<P, U>
auto operator/(const U& a, const P& b) -> decltype(a / b.Get()) {
    return a / b.Get();
}
} // namespace runtime
