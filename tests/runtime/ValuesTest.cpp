#include "runtime/Values.h"
#include "ErrorOf.h"

#include <gtest/gtest.h>

using namespace runtime;

namespace {
using testsupport::ErrorOf;
} // namespace

TEST(Integer, ArithmeticIsCheckedAtTheSixteenBitBoundaries) {
    Integer max = 32767, min = -32768;
    EXPECT_EQ(ErrorOf([&] { (void)Integer(max + 1); }), 6);
    EXPECT_EQ(ErrorOf([&] { (void)Integer(min - 1); }), 6);
    EXPECT_EQ(ErrorOf([&] { (void)Integer(min * -1); }), 6);
    EXPECT_EQ(ErrorOf([&] { (void)Integer(-min); }), 6);
    EXPECT_EQ(ErrorOf([&] { ++max; }), 6);
    EXPECT_EQ(ErrorOf([&] { --min; }), 6);
    EXPECT_EQ(ErrorOf([&] { max += Integer(1); }), 6);
    EXPECT_EQ(int(max), 32767) << "a failed operation leaves the variable as it was";
    EXPECT_EQ(int(max - 1 + 1), 32767);
    EXPECT_EQ(int(min * 1), -32768);
    EXPECT_EQ(ErrorOf([] { Integer(40000); }), 6);
}

TEST(Integer, ConversionFromFloatingPointCutsTowardZero) {
    EXPECT_EQ(int(Integer(32767.9)), 32767);
    EXPECT_EQ(int(Integer(-32768.9)), -32768);
    EXPECT_EQ(int(Integer(-2.7)), -2);
    EXPECT_EQ(int(Integer(2.7f)), 2);
    EXPECT_EQ(int(Integer(-0.5)), 0);
    EXPECT_EQ(ErrorOf([] { Integer(32768.0); }), 6);
    EXPECT_EQ(ErrorOf([] { Integer(-32769.0); }), 6);
    EXPECT_EQ(ErrorOf([] { Integer(0.0 / 0.0); }), 6);
    EXPECT_EQ(ErrorOf([] { Integer(1.0 / 0.0); }), 6);
}

TEST(Integer, MixesWithOtherNumbers) {
    Integer n = 1000;
    const Double product = 0.99999994f * (n + 1); // in double: stays below 1001
    EXPECT_LT(Int(product), 1001);
    EXPECT_DOUBLE_EQ(n / Integer(8), 125.0);
    EXPECT_EQ(ErrorOf([&] { (void)(n / Integer(0)); }), 11);
    EXPECT_EQ(ErrorOf([&] { (void)(6495.0f / Integer(0)); }), 11);
    EXPECT_EQ(ErrorOf([] { Divide(1.0, 0.0); }), 11);
    EXPECT_TRUE(n > 999 && n == 1000);
    EXPECT_EQ(Int(-2.5), -3.0);
    EXPECT_EQ(Fix(-2.5), -2.0);
}

TEST(Boolean, TrueIsMinusOne) {
    Boolean b = true;
    EXPECT_EQ(b.Value(), -1);
    EXPECT_EQ(int(Integer(b)), -1);
    EXPECT_TRUE(b);
    b = false;
    EXPECT_EQ(b.Value(), 0);
    EXPECT_FALSE(b);
}

TEST(Variant, EmptyComparesAsZero) {
    Variant v;
    EXPECT_TRUE(v.IsEmpty());
    EXPECT_TRUE(v == 0);
    EXPECT_TRUE(v < Integer(1));
    EXPECT_FALSE(v < -1);
    EXPECT_EQ(int(Integer(v)), 0);
    EXPECT_EQ(int(Integer(v + 1)), 1);
}

TEST(Variant, HoldsACheckedInteger) {
    Integer songCount = 3;
    Variant position = Integer(0);
    EXPECT_TRUE(position < songCount - 1);
    position = position + 1;
    position = position + 1;
    EXPECT_FALSE(position < songCount - 1);
    EXPECT_TRUE(position == songCount - 1);
    position = position - 4;
    EXPECT_TRUE(position < 0);
    EXPECT_EQ(int(Integer(position)), -2);
    position = Integer(32767);
    EXPECT_EQ(ErrorOf([&] { position = position + 1; }), 6);
    EXPECT_EQ(ErrorOf([&] { (void)(songCount + Variant(Integer(32767))); }), 6);
}

TEST(Variant, ComparesNumbersAcrossKindsAndRejectsTextInArithmetic) {
    EXPECT_TRUE(Variant(2.5) > Integer(2));
    EXPECT_TRUE(Variant(100000) > Integer(32767)) << "a large literal is held as a Long";
    EXPECT_EQ(Variant(100000).ToLong(), 100000);
    EXPECT_TRUE(Variant(u"abc") == Variant(u"abc"));
    EXPECT_EQ(ErrorOf([] { (void)(Variant(u"1") + 1); }), 13);
    EXPECT_EQ(ErrorOf([] { (void)Integer(Variant(u"1")); }), 13);
    EXPECT_EQ(ErrorOf([] { (void)Integer(Variant(70000)); }), 6);
}

TEST(FixedArray, ChecksItsSubscripts) {
    FixedArray<Integer, 0, 1000> order;
    EXPECT_EQ(int(order(1000)), 0);
    order(7) = Integer(5);
    EXPECT_EQ(int(order[7]), 5);
    EXPECT_EQ(ErrorOf([&] { order(1001) = Integer(1); }), 9);
    EXPECT_EQ(ErrorOf([&] { order(-1); }), 9);
    FixedArray<Integer, 1, 3> one;
    EXPECT_EQ(ErrorOf([&] { one(0); }), 9);
    EXPECT_EQ(UBound(one), 3);
}

TEST(Continuation, TrySwallowsOnlyRuntimeErrors) {
    Integer n = 32767;
    int after = 0;
    EXPECT_FALSE(Try([&] {
        n += 1;
        after = 1; // abandoned with the failing statement
    }));
    EXPECT_EQ(after, 0);
    EXPECT_TRUE(Try([&] { after = 2; }));
    EXPECT_EQ(after, 2);
    EXPECT_THROW(Try([] { throw std::logic_error("not ours"); }), std::logic_error);
}

TEST(Continuation, AFailingConditionCountsAsMet) {
    Integer n = 32767;
    EXPECT_TRUE(TryCondition([&] { return n + 1 > 0; }));
    EXPECT_FALSE(TryCondition([&] { return n < 0; }));
    EXPECT_TRUE(TryCondition([&] { return n > 0; }));
    EXPECT_THROW(TryCondition([]() -> bool { throw std::runtime_error("not ours"); }),
                 std::runtime_error);
}

TEST(RuntimeError, CarriesNumberAndSpanishDescription) {
    const RuntimeError e(6);
    EXPECT_EQ(e.Number(), 6);
    EXPECT_EQ(e.Description(), u"Desbordamiento");
    EXPECT_STREQ(e.what(), "6: Desbordamiento");
    EXPECT_EQ(RuntimeError(9).Description(), u"El subíndice está fuera del intervalo");
    EXPECT_EQ(RuntimeError(53, u"Otro texto").Description(), u"Otro texto");
}
