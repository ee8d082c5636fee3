#include "runtime/Values.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace runtime {
namespace {
enum Kind { kEmpty, kInteger, kLong, kDouble, kString };

Kind Widest(const Variant& a, const Variant& b, int ka, int kb) {
    if (a.IsString() || b.IsString()) Raise(err::kTypeMismatch);
    return static_cast<Kind>(std::max({ka, kb, int(kInteger)}));
}

template <class T> T Apply(char op, T a, T b) {
    switch (op) {
    case '+':
        return a + b;
    case '-':
        return a - b;
    default:
        return a * b;
    }
}
} // namespace

Variant::operator Integer() const {
    switch (value_.index()) {
    case kEmpty:
        return Integer(0);
    case kInteger:
        return std::get<Integer>(value_);
    case kLong:
        return Integer(std::get<Long>(value_));
    case kDouble:
        return Integer(std::get<Double>(value_));
    default:
        Raise(err::kTypeMismatch);
    }
}

Long Variant::ToLong() const {
    switch (value_.index()) {
    case kEmpty:
        return 0;
    case kInteger:
        return std::get<Integer>(value_);
    case kLong:
        return std::get<Long>(value_);
    case kDouble: {
        const Double d = std::get<Double>(value_);
        if (!(d > -2147483649.0 && d < 2147483648.0)) Raise(err::kOverflow);
        return static_cast<Long>(d);
    }
    default:
        Raise(err::kTypeMismatch);
    }
}

Double Variant::ToDouble() const {
    switch (value_.index()) {
    case kDouble:
        return std::get<Double>(value_);
    case kString:
        Raise(err::kTypeMismatch);
    default:
        return ToLong();
    }
}

String Variant::ToString() const {
    switch (value_.index()) {
    case kEmpty:
        return {};
    case kString:
        return std::get<String>(value_);
    case kDouble: {
        std::string s = std::to_string(std::get<Double>(value_));
        s.erase(s.find_last_not_of('0') + 1);
        if (!s.empty() && s.back() == '.') s.pop_back();
        return String(s.begin(), s.end());
    }
    default: {
        const std::string s = std::to_string(ToLong());
        return String(s.begin(), s.end());
    }
    }
}

Variant Variant::Arith(char op, const Variant& a, const Variant& b) {
    const int ka = int(a.value_.index()), kb = int(b.value_.index());
    switch (Widest(a, b, ka, kb)) {
    case kInteger:
        return Variant(Integer(Apply<long long>(op, Integer(a), Integer(b))));
    case kLong: {
        const long long r = Apply<long long>(op, a.ToLong(), b.ToLong());
        if (!std::in_range<Long>(r)) Raise(err::kOverflow);
        Variant v;
        v.value_ = static_cast<Long>(r);
        return v;
    }
    default:
        return Variant(Apply(op, a.ToDouble(), b.ToDouble()));
    }
}

std::partial_ordering Variant::Compare(const Variant& a, const Variant& b) {
    if (a.IsString() && b.IsString()) {
        const int c = std::get<String>(a.value_).compare(std::get<String>(b.value_));
        return c <=> 0;
    }
    // Empty against text compares as the empty text.
    if (a.IsString() && b.IsEmpty())
        return std::get<String>(a.value_).empty() ? std::partial_ordering::equivalent
                                                  : std::partial_ordering::greater;
    if (b.IsString() && a.IsEmpty())
        return std::get<String>(b.value_).empty() ? std::partial_ordering::equivalent
                                                  : std::partial_ordering::less;
    return a.ToDouble() <=> b.ToDouble();
}

Double Int(Double x) {
    return std::floor(x);
}
Double Fix(Double x) {
    return std::trunc(x);
}
} // namespace runtime
