// The system directory and program start.
#include "platform/System.h"
#include "TestSupport.h"
#include "platform/Paths.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
TEST(SystemDirectory, BuildDefaultAndTheSetting) {
    unsetenv("ZAMPOLO_SYSTEM_DIR");
    char buffer[512];
    UINT n = GetSystemDirectoryA(buffer, sizeof buffer);
    EXPECT_EQ(platform::NativePathFromAnsi(std::string(buffer, n)), ZAMPOLO_DEFAULT_SYSTEM_DIR);

    setenv("ZAMPOLO_SYSTEM_DIR", "/tmp/zampolo sys/", 1);
    n = GetSystemDirectoryA(buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer), "\\tmp\\zampolo sys"); // no trailing separator
    EXPECT_EQ(n, 16u);
    // Too small: nothing written, the size needed (with the NUL) returned.
    char small[8] = "keep";
    EXPECT_EQ(GetSystemDirectoryA(small, sizeof small), 17u);
    EXPECT_STREQ(small, "keep");
    EXPECT_EQ(GetSystemDirectoryA(nullptr, 0), 17u);
    EXPECT_EQ(GetSystemDirectoryA(buffer, 17), 16u);
    unsetenv("ZAMPOLO_SYSTEM_DIR");
}

class ProgramStart : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("zampolo-winexec-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "sys");
        out = dir / "out.txt";
        const fs::path script = dir / "sys" / "RECORD.EXE";
        std::ofstream(script) << "#!/bin/sh\necho \"$ZAMPOLO_SHOW_STATE $*\" > \"" << out.string()
                              << ".tmp\" && mv \"" << out.string() << ".tmp\" \"" << out.string()
                              << "\"\n";
        fs::permissions(script, fs::perms::owner_all);
        std::ofstream(dir / "sys" / "PLAIN.EXE") << "not executable";
        setenv("ZAMPOLO_SYSTEM_DIR", (dir / "sys").c_str(), 1);
    }
    void TearDown() override {
        unsetenv("ZAMPOLO_SYSTEM_DIR");
        fs::remove_all(dir);
    }
    std::string Output() {
        std::ifstream in(out);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path dir, out;
};

TEST_F(ProgramStart, FindsTheProgramInTheSystemDirectoryAndPassesTheShowState) {
    EXPECT_GT(WinExec("RECORD.EXE MP3.DLL otro", 2), 31u);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return fs::exists(out); }));
    EXPECT_EQ(Output(), "2 MP3.DLL otro\n");
}

TEST_F(ProgramStart, ClearFailures) {
    EXPECT_EQ(WinExec("NOSUCH.EXE x", 1), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(WinExec("\\no\\such\\folder\\RECORD.EXE", 1), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(WinExec("PLAIN.EXE", 1), ERROR_BAD_FORMAT);
    EXPECT_EQ(WinExec("", 1), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(WinExec(nullptr, 1), ERROR_FILE_NOT_FOUND);
}

TEST_F(ProgramStart, FullPathAndQuotedNames) {
    const std::string line =
        "\"" + platform::AnsiFromNativePath((dir / "sys" / "RECORD.EXE").string()) + "\" \"a b\"";
    EXPECT_GT(WinExec(line.c_str(), 1), 31u);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return fs::exists(out); }));
    EXPECT_EQ(Output(), "1 a b\n");
}
} // namespace
