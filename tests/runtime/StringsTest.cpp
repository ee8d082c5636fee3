#include "runtime/Strings.h"
#include "ErrorOf.h"

#include <gtest/gtest.h>

using namespace runtime;

namespace {
using testsupport::ErrorOf;
} // namespace

TEST(Strings, TakeParts) {
    const String path = u"\\Música\\tema.mp3";
    EXPECT_EQ(Len(path), 16);
    EXPECT_EQ(Mid(path, 9), u"tema.mp3");
    EXPECT_EQ(Mid(path, 2, 6), u"Música");
    EXPECT_EQ(Mid(path, 16, 5), u"3");
    EXPECT_EQ(Mid(path, 17), u"");
    EXPECT_EQ(Left(path, 7), u"\\Música");
    EXPECT_EQ(Left(path, 99), path);
    EXPECT_EQ(Right(u"Track.Mp3", 3), u"Mp3");
    EXPECT_EQ(Right(u"ab", 3), u"ab");
    EXPECT_EQ(UCase(Right(u"demomp3", 3)), u"MP3");
    EXPECT_EQ(UCase(u"canción ñ"), u"CANCIÓN Ñ");
}

TEST(Strings, InvalidArgumentsRaiseError5) {
    EXPECT_EQ(ErrorOf([] { Mid(u"abc", 0); }), 5);
    EXPECT_EQ(ErrorOf([] { Mid(u"abc", 1, -1); }), 5);
    EXPECT_EQ(ErrorOf([] { Left(u"abc", -1); }), 5);
    EXPECT_EQ(ErrorOf([] { Right(u"abc", -1); }), 5);
    EXPECT_EQ(ErrorOf([] { InStr(0, u"abc", u"a"); }), 5);
    EXPECT_EQ(ErrorOf([] { Chr(256); }), 5);
    EXPECT_EQ(ErrorOf([] { FillString(-1, u" "); }), 5);
    EXPECT_EQ(ErrorOf([] { FillString(3, u""); }), 5);
}

TEST(Strings, FindAndBuild) {
    String buffer = u"\\tmp\\x" + FillString(4, Chr(0));
    EXPECT_EQ(Len(buffer), 10);
    EXPECT_EQ(InStr(buffer, Chr(0)), 7);
    EXPECT_EQ(Left(buffer, InStr(buffer, Chr(0)) - 1), u"\\tmp\\x");
    EXPECT_EQ(InStr(u"abcabc", u"c"), 3);
    EXPECT_EQ(InStr(4, u"abcabc", u"c"), 6);
    EXPECT_EQ(InStr(u"abc", u"x"), 0);
    EXPECT_EQ(InStr(2, u"abc", u""), 2);
    EXPECT_EQ(InStr(9, u"abc", u"a"), 0);
    EXPECT_EQ(FillString(3, u"xy"), u"xxx");
    EXPECT_EQ(Chr(65), u"A");
}
