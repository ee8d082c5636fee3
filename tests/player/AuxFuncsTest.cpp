// The time and file-name texts of the display.
#include "AuxFuncs.h"
#include "ErrorOf.h"
#include "runtime/Errors.h"

#include <gtest/gtest.h>

namespace {
using zampoplay::FileNameOf;
using zampoplay::FormatTime;

using testsupport::ErrorOf;

TEST(FormatTime, MinutesAndSecondsWithTwoDigitsAtLeast) {
    EXPECT_EQ(FormatTime(0), u"00:00");
    EXPECT_EQ(FormatTime(59999), u"00:59");
    EXPECT_EQ(FormatTime(60000), u"01:00");
    EXPECT_EQ(FormatTime(12 * 60000 + 34321), u"12:34");
    EXPECT_EQ(FormatTime(100 * 60000), u"100:00");
    EXPECT_EQ(FormatTime(32767999), u"546:07");
}

TEST(FormatTime, NegativeRemainderIsNotReduced) {
    EXPECT_EQ(FormatTime(-1500), u"00:-01");
    EXPECT_EQ(FormatTime(-999), u"00:00");
}

TEST(FormatTime, OverflowsPast32767Seconds) {
    EXPECT_EQ(ErrorOf([] { FormatTime(32768000); }), 6);
    EXPECT_EQ(ErrorOf([] { FormatTime(-32769000); }), 6);
    EXPECT_EQ(FormatTime(-32768000), u"00:-32768");
}

TEST(FileNameOf, TextAfterTheLastBackslash) {
    EXPECT_EQ(FileNameOf(u"C:\\Musica\\tema.mp3"), u"tema.mp3");
    EXPECT_EQ(FileNameOf(u"\\home\\ana\\Música\\canción.mp3"), u"canción.mp3");
    // The last character is never examined.
    EXPECT_EQ(FileNameOf(u"C:\\Musica\\"), u"Musica\\");
    EXPECT_EQ(FileNameOf(u"\\a"), u"a");
}

TEST(FileNameOf, NoBackslashBeforeTheLastCharacterIsAnInvalidCall) {
    EXPECT_EQ(ErrorOf([] { FileNameOf(u"tema.mp3"); }), 5);
    EXPECT_EQ(ErrorOf([] { FileNameOf(u"x\\"); }), 5);
    EXPECT_EQ(ErrorOf([] { FileNameOf(u""); }), 5);
}
} // namespace
