// The runtime's value types: 16-bit checked Integer, Boolean, Variant, fixed arrays.
#pragma once

#include "runtime/Errors.h"

#include <array>
#include <compare>
#include <concepts>
#include <cstdint>
#include <string>
#include <utility>
#include <variant>

namespace runtime {
using Long = std::int32_t;
using Single = float;
using Double = double;

namespace detail {
template <class T>
concept Whole = std::integral<T> && !std::same_as<T, bool>;
template <class T>
concept Number = Whole<T> || std::floating_point<T>;
} // namespace detail

// 16-bit, true is -1.
class Boolean {
public:
    constexpr Boolean() = default;
    constexpr Boolean(bool value) : value_(value ? -1 : 0) {}
    constexpr operator bool() const { return value_ != 0; }
    constexpr std::int16_t Value() const { return value_; }

private:
    std::int16_t value_ = 0;
};

// Whole number of 16 bits. Every operation whose result leaves -32768..32767 raises
// error 6; a conversion from floating point cuts the fraction off (toward zero).
// Comparisons are those of int; '/' gives a Double, as it does for every number.
class Integer {
    // Before the constructors that use it: clang 14 cannot evaluate a constant
    // expression through a member template defined after its use.
    template <class T> static constexpr std::int16_t Check(T value) {
        if (!std::in_range<std::int16_t>(value)) Raise(err::kOverflow);
        return static_cast<std::int16_t>(value);
    }

public:
    static constexpr int kMin = -32768;
    static constexpr int kMax = 32767;

    constexpr Integer() = default;
    template <detail::Whole T> constexpr Integer(T value) : value_(Check(value)) {}
    template <std::floating_point T> Integer(T value) : value_(Truncate(value)) {}
    Integer(Boolean value) : value_(value.Value()) {}

    constexpr operator int() const { return value_; }

    Integer operator-() const { return Integer(-static_cast<int>(value_)); }
    Integer operator+() const { return *this; }
    Integer& operator++() { return *this = *this + Integer(1); }
    Integer& operator--() { return *this = *this - Integer(1); }
    Integer operator++(int) {
        Integer old = *this;
        ++*this;
        return old;
    }
    Integer operator--(int) {
        Integer old = *this;
        --*this;
        return old;
    }
    Integer& operator+=(Integer b) { return *this = *this + b; }
    Integer& operator-=(Integer b) { return *this = *this - b; }
    Integer& operator*=(Integer b) { return *this = *this * b; }

    friend Integer operator+(Integer a, Integer b) { return Integer(int(a) + int(b)); }
    friend Integer operator-(Integer a, Integer b) { return Integer(int(a) - int(b)); }
    friend Integer operator*(Integer a, Integer b) { return Integer(int(a) * int(b)); }
    friend Double operator/(Integer a, Integer b) { return Divide(int(a), int(b)); }

    // With another whole number the result stays a checked Integer.
    template <detail::Whole T> friend Integer operator+(Integer a, T b) { return a + Integer(b); }
    template <detail::Whole T> friend Integer operator+(T a, Integer b) { return Integer(a) + b; }
    template <detail::Whole T> friend Integer operator-(Integer a, T b) { return a - Integer(b); }
    template <detail::Whole T> friend Integer operator-(T a, Integer b) { return Integer(a) - b; }
    template <detail::Whole T> friend Integer operator*(Integer a, T b) { return a * Integer(b); }
    template <detail::Whole T> friend Integer operator*(T a, Integer b) { return Integer(a) * b; }
    template <detail::Whole T> friend Double operator/(Integer a, T b) {
        return Divide(int(a), double(b));
    }
    template <detail::Whole T> friend Double operator/(T a, Integer b) {
        return Divide(double(a), int(b));
    }
    // With floating point the result is a Double, so a product such as
    // Rnd() * (n + 1) is taken in double precision.
    template <std::floating_point T> friend Double operator+(Integer a, T b) {
        return int(a) + double(b);
    }
    template <std::floating_point T> friend Double operator+(T a, Integer b) {
        return double(a) + int(b);
    }
    template <std::floating_point T> friend Double operator-(Integer a, T b) {
        return int(a) - double(b);
    }
    template <std::floating_point T> friend Double operator-(T a, Integer b) {
        return double(a) - int(b);
    }
    template <std::floating_point T> friend Double operator*(Integer a, T b) {
        return int(a) * double(b);
    }
    template <std::floating_point T> friend Double operator*(T a, Integer b) {
        return double(a) * int(b);
    }
    template <std::floating_point T> friend Double operator/(Integer a, T b) {
        return Divide(int(a), double(b));
    }
    template <std::floating_point T> friend Double operator/(T a, Integer b) {
        return Divide(double(a), int(b));
    }

    // Floating-point division that raises error 11 for a zero divisor.
    static Double Divide(Double a, Double b) {
        if (b == 0) Raise(err::kDivisionByZero);
        return a / b;
    }

private:
    template <class T> static std::int16_t Truncate(T value) {
        // Also false for NaN.
        if (!(value > T(kMin - 1) && value < T(kMax + 1))) Raise(err::kOverflow);
        return static_cast<std::int16_t>(value);
    }

    std::int16_t value_ = 0;
};

// Floating-point division raising error 11 for a zero divisor (a plain '/' of two
// doubles gives infinity).
inline Double Divide(Double a, Double b) {
    return Integer::Divide(a, b);
}

// Empty, or one Integer, Long, Double or String. Numbers compare as numbers, Empty
// as 0; arithmetic on whole numbers stays checked (Integer with Integer gives an
// Integer, with a Long a Long); a String in arithmetic raises error 13.
class Variant {
public:
    Variant() = default;
    Variant(Integer value) : value_(value) {}
    Variant(Boolean value) : value_(Integer(value)) {}
    // A whole number takes the smallest of Integer and Long that holds it.
    template <detail::Whole T> Variant(T value) { *this = FromWhole(value); }
    template <std::floating_point T> Variant(T value) : value_(Double(value)) {}
    Variant(String value) : value_(std::move(value)) {}
    Variant(const char16_t* value) : value_(String(value)) {}

    bool IsEmpty() const { return value_.index() == 0; }
    bool IsString() const { return value_.index() == 4; }

    // Conversions: whole numbers checked (error 6), floating point cut toward zero,
    // Empty as 0; a String raises error 13.
    operator Integer() const;
    Long ToLong() const;
    Double ToDouble() const;
    String ToString() const;

    friend Variant operator+(const Variant& a, const Variant& b) { return Arith('+', a, b); }
    friend Variant operator-(const Variant& a, const Variant& b) { return Arith('-', a, b); }
    friend Variant operator*(const Variant& a, const Variant& b) { return Arith('*', a, b); }
    // Exact overloads so that mixing with Integer or a literal is never ambiguous.
    friend Variant operator+(const Variant& a, Integer b) { return Arith('+', a, b); }
    friend Variant operator+(Integer a, const Variant& b) { return Arith('+', a, b); }
    friend Variant operator-(const Variant& a, Integer b) { return Arith('-', a, b); }
    friend Variant operator-(Integer a, const Variant& b) { return Arith('-', a, b); }
    friend Variant operator*(const Variant& a, Integer b) { return Arith('*', a, b); }
    friend Variant operator*(Integer a, const Variant& b) { return Arith('*', a, b); }
    template <detail::Number T> friend Variant operator+(const Variant& a, T b) {
        return Arith('+', a, Variant(b));
    }
    template <detail::Number T> friend Variant operator+(T a, const Variant& b) {
        return Arith('+', Variant(a), b);
    }
    template <detail::Number T> friend Variant operator-(const Variant& a, T b) {
        return Arith('-', a, Variant(b));
    }
    template <detail::Number T> friend Variant operator-(T a, const Variant& b) {
        return Arith('-', Variant(a), b);
    }
    template <detail::Number T> friend Variant operator*(const Variant& a, T b) {
        return Arith('*', a, Variant(b));
    }
    template <detail::Number T> friend Variant operator*(T a, const Variant& b) {
        return Arith('*', Variant(a), b);
    }

    friend std::partial_ordering operator<=>(const Variant& a, const Variant& b) {
        return Compare(a, b);
    }
    friend bool operator==(const Variant& a, const Variant& b) {
        return Compare(a, b) == std::partial_ordering::equivalent;
    }

private:
    template <class T> static Variant FromWhole(T value) {
        if (std::in_range<std::int16_t>(value)) return Variant(Integer(value));
        if (!std::in_range<Long>(value)) Raise(err::kOverflow);
        Variant v;
        v.value_ = static_cast<Long>(value);
        return v;
    }
    static Variant Arith(char op, const Variant& a, const Variant& b);
    static std::partial_ordering Compare(const Variant& a, const Variant& b);

    std::variant<std::monostate, Integer, Long, Double, String> value_;
};

// A fixed array with declared bounds; a subscript outside them raises error 9.
template <class T, Long Lower, Long Upper> class FixedArray {
    static_assert(Lower <= Upper);

public:
    static constexpr Long LBound = Lower;
    static constexpr Long UBound = Upper;

    T& operator()(Long index) { return items_[Slot(index)]; }
    const T& operator()(Long index) const { return items_[Slot(index)]; }
    T& operator[](Long index) { return items_[Slot(index)]; }
    const T& operator[](Long index) const { return items_[Slot(index)]; }

private:
    static std::size_t Slot(Long index) {
        if (index < Lower || index > Upper) Raise(err::kSubscript);
        return static_cast<std::size_t>(index - Lower);
    }
    std::array<T, static_cast<std::size_t>(Upper - Lower + 1)> items_{};
};

template <class T, Long L, Long U> constexpr Long LBound(const FixedArray<T, L, U>&) {
    return L;
}
template <class T, Long L, Long U> constexpr Long UBound(const FixedArray<T, L, U>&) {
    return U;
}

// Int: the largest whole number not above x; Fix: x with its fraction cut off.
Double Int(Double x);
Double Fix(Double x);
} // namespace runtime
