#include "runtime/Services.h"
#include "Text.h"

#include "platform/System.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

using namespace runtime;

TEST(Format, TwoDigitPattern) {
    EXPECT_EQ(Format(0, u"00"), u"00");
    EXPECT_EQ(Format(7, u"00"), u"07");
    EXPECT_EQ(Format(59, u"00"), u"59");
    EXPECT_EQ(Format(100, u"00"), u"100");
    EXPECT_EQ(Format(-1, u"00"), u"-01");
    EXPECT_EQ(Format(-123, u"00"), u"-123");
    EXPECT_EQ(Format(2.5, u"00"), u"03");
    EXPECT_EQ(Format(-0.4, u"00"), u"00");
    EXPECT_EQ(Format(12.5, u""), u"12.5");
    EXPECT_THROW(Format(1, u"#,##0"), RuntimeError);
}

TEST(Rnd, StaysInTheUnitIntervalAndIsUniform) {
    Randomize(42.0);
    constexpr int kBins = 100, kDraws = 1000000;
    std::vector<int> bins(kBins);
    for (int i = 0; i < kDraws; ++i) {
        const Single u = Rnd();
        ASSERT_GE(u, 0.0f);
        ASSERT_LT(u, 1.0f);
        ++bins[static_cast<int>(u * kBins)];
    }
    double chi2 = 0;
    const double expected = double(kDraws) / kBins;
    for (int b : bins) chi2 += (b - expected) * (b - expected) / expected;
    // 99 degrees of freedom: the 99.9th percentile is about 148.
    EXPECT_LT(chi2, 148.0);
}

TEST(Rnd, AnExplicitSeedRepeatsTheStreamAndTheTimerSeedDoesNot) {
    Randomize(7.0);
    const Single a = Rnd(), b = Rnd();
    Randomize(7.0);
    EXPECT_EQ(Rnd(), a);
    EXPECT_EQ(Rnd(), b);
    Randomize();
    const Single c = Rnd();
    Randomize();
    const Single d = Rnd(), e = Rnd();
    EXPECT_FALSE(c == d && d == e);
}

TEST(Timer, CountsSecondsSinceMidnight) {
    const Single t = Timer();
    EXPECT_GE(t, 0.0f);
    EXPECT_LT(t, 86401.0f);
}

TEST(App, NamesTheProgramAndItsFolder) {
    EXPECT_EQ(App.EXEName, u"runtime_tests");
    EXPECT_EQ(App.Path, platform::ProgramFolder());
    EXPECT_NE(App.Path.back(), u'\\') << "no trailing separator";
}

TEST(Shell, StartsAProgramOrRaises) {
    // The test program itself, found in the program's folder, running no test.
    EXPECT_GT(Shell(u"runtime_tests --gtest_filter=none", vbMinimizedFocus), 31);
    EXPECT_THROW(Shell(u"no-such-program-zampolo", vbMinimizedFocus), RuntimeError);
    try {
        Shell(u"no-such-program-zampolo");
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Number(), 53);
    }
}
