// The 8-bit code page and the platform's path form.
#include "platform/CodePage.h"
#include "platform/Paths.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <unistd.h>
#include <vector>

namespace {
struct CodePageGuard {
    explicit CodePageGuard(const char* cs) { platform::SetCodePageForTesting(cs); }
    ~CodePageGuard() { platform::SetCodePageForTesting(""); }
};

TEST(CodePage, Utf8RoundTripsEverythingIncludingSurrogatePairs) {
    CodePageGuard guard("UTF-8");
    const std::u16string text = u"Canción ñ 日本 \U0001F3B5";
    const std::string ansi = platform::ToAnsi(text);
    EXPECT_EQ(ansi, "Canci\xC3\xB3n \xC3\xB1 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x8E\xB5");
    EXPECT_EQ(platform::FromAnsi(ansi), text);
    // A lone surrogate has no 8-bit form.
    EXPECT_EQ(platform::ToAnsi(std::u16string(1, u'\xD800')), "?");
}

TEST(CodePage, SingleByteCodePageReplacesWhatItLacks) {
    CodePageGuard guard("ISO-8859-1");
    EXPECT_EQ(platform::CodePageName(), "ISO-8859-1");
    const std::string ansi = platform::ToAnsi(u"Música 日本");
    EXPECT_EQ(ansi, "M\xFAsica ??");
    EXPECT_EQ(platform::FromAnsi(ansi), u"Música ??");
}

TEST(CodePage, Win32ConventionsForSizesAndTerminators) {
    CodePageGuard guard("UTF-8");
    const char16_t* wide = u"año";
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr), 5);
    char out[8];
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, out, sizeof out, nullptr, nullptr), 5);
    EXPECT_STREQ(out, "a\xC3\xB1o");
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, out, 3, nullptr, nullptr), 0);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, 3, out, sizeof out, nullptr, nullptr), 4);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, nullptr, -1, out, sizeof out, nullptr, nullptr), 0);

    char16_t back[8];
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, out, 4, nullptr, 0), 3);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "a\xC3\xB1o", -1, back, 8), 4);
    EXPECT_EQ(std::u16string(back), u"año");
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, back, 2), 0);
    // Invalid UTF-8 never crashes: each bad byte becomes its escape.
    EXPECT_EQ(platform::FromAnsi("a\xFF\xC3"), u"a\xDCFF\xDCC3");
}

TEST(CodePage, ReplacementIsReportedWhenAsked) {
    CodePageGuard guard("ISO-8859-1");
    BOOL used = FALSE;
    char out[8];
    WideCharToMultiByte(CP_ACP, 0, u"a日", 2, out, sizeof out, nullptr, &used);
    EXPECT_TRUE(used);
    WideCharToMultiByte(CP_ACP, 0, u"a?", 2, out, sizeof out, nullptr, &used);
    EXPECT_FALSE(used);
}

TEST(Paths, NativeAndPlatformFormsRoundTrip) {
    EXPECT_EQ(platform::FromNativePath("/home/ana/Música/a.mp3"), u"\\home\\ana\\Música\\a.mp3");
    EXPECT_EQ(platform::ToNativePath(u"\\home\\ana\\Música\\a.mp3"), "/home/ana/Música/a.mp3");
    EXPECT_EQ(platform::FromNativePath("/"), u"\\");
    EXPECT_EQ(platform::ToNativePath(u"\\"), "/");
    // A literal backslash inside a native name survives the trip.
    const std::u16string odd = platform::FromNativePath("/tmp/a\\b.mp3");
    EXPECT_EQ(odd, u"\\tmp\\a\uF05Cb.mp3");
    EXPECT_EQ(platform::ToNativePath(odd), "/tmp/a\\b.mp3");
    EXPECT_EQ(platform::FromNativePath("rel/x"), u"rel\\x");
}

// Whatever bytes a native name holds come back byte for byte, from the program's text
// and through the UTF-8 code page, and different names stay different: Latin-1 bytes,
// a U+F05C of its own beside a backslash, bytes shaped like an escape's 3-byte form, an
// emoji whose second half looks like an escape, a byte order mark.
TEST(Paths, EveryNativeNameRoundTripsByteForByte) {
    CodePageGuard guard("UTF-8");
    std::set<std::u16string> texts;
    for (const std::string name :
         {"/m/caf\xE9", "/m/caf\xE8", "/m/\xEF\x81\x9C\\", "/m/\xED\xB2\x80\xC3",
          "/m/\xF0\x9F\x92\xA9\xA9", "/m/\xEF\xBB\xBF"}) {
        const std::u16string text = platform::FromNativePath(name);
        texts.insert(text);
        EXPECT_EQ(platform::ToNativePath(text), name);
        EXPECT_EQ(platform::FromAnsi(platform::ToAnsi(text)), text);
        EXPECT_EQ(platform::NativePathFromAnsi(platform::AnsiFromNativePath(name)), name);
    }
    EXPECT_EQ(texts.size(), 6u);
    EXPECT_EQ(platform::AnsiFromNativePath("/m/caf\xE9"), "\\m\\caf\xE9");
}

TEST(Paths, OpenByAnsiPathFindsTheFileUnderEitherCodePage) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("zampolo-paths-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto file = dir / "canción.mp3";
    std::ofstream(file) << "x";
    const std::string native = file.string();
    {
        CodePageGuard guard("UTF-8");
        int fd = platform::OpenFileA(platform::AnsiFromNativePath(native).c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    {
        CodePageGuard guard("ISO-8859-1");
        const std::string ansi = platform::AnsiFromNativePath(native);
        EXPECT_NE(ansi.find("canci\xF3n.mp3"), std::string::npos);
        int fd = platform::OpenFileA(ansi.c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    EXPECT_EQ(platform::OpenFileA("\\no\\such\\file.mp3", O_RDONLY), -1);
    EXPECT_EQ(platform::OpenFileA(nullptr, O_RDONLY), -1);
    std::filesystem::remove_all(dir);
}

TEST(Paths, ReplacedCharactersSimplyFailToOpen) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("zampolo-paths2-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "日本.mp3") << "x";
    CodePageGuard guard("ISO-8859-1");
    const std::string ansi = platform::AnsiFromNativePath((dir / "日本.mp3").string());
    EXPECT_NE(ansi.find("??.mp3"), std::string::npos);
    EXPECT_EQ(platform::OpenFileA(ansi.c_str(), O_RDONLY), -1);
    std::filesystem::remove_all(dir);
}
} // namespace
