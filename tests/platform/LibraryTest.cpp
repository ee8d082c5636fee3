// LoadLibraryA's search order, the platform's own names, bad files, module names.
#include "platform/Libraries.h"
#include "platform/Paths.h"
#include "platform/System.h"
#include "platform/Threads.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {
using WhereAmI = int (*)();

struct SystemDirGuard {
    explicit SystemDirGuard(const std::string& dir) {
        setenv("ZAMPOLO_SYSTEM_DIR", dir.c_str(), 1);
    }
    ~SystemDirGuard() { unsetenv("ZAMPOLO_SYSTEM_DIR"); }
};

TEST(Libraries, ProgramFolderComesBeforeTheSystemDirectory) {
    SystemDirGuard guard(ZAMPOLO_TEST_BINARY_DIR "/sysdir");
    HMODULE own = LoadLibraryA("PLATFORMTEST.DLL");
    ASSERT_NE(own, nullptr);
    auto where = reinterpret_cast<WhereAmI>(GetProcAddress(own, "WhereAmI"));
    ASSERT_NE(where, nullptr);
    EXPECT_EQ(where(), 1);
    EXPECT_EQ(GetProcAddress(own, "NoSuchFunction"), nullptr);

    HMODULE sys = LoadLibraryA("SYSONLY.DLL");
    ASSERT_NE(sys, nullptr);
    EXPECT_EQ(reinterpret_cast<WhereAmI>(GetProcAddress(sys, "WhereAmI"))(), 2);

    char name[512];
    const DWORD n = GetModuleFileNameA(sys, name, sizeof name);
    ASSERT_GT(n, 0u);
    EXPECT_EQ(platform::NativePathFromAnsi(name), ZAMPOLO_TEST_BINARY_DIR "/sysdir/SYSONLY.DLL");
    EXPECT_TRUE(FreeLibrary(sys));
    EXPECT_TRUE(FreeLibrary(own));
}

TEST(Libraries, MissingFilesAndNonLibrariesFailCleanly) {
    EXPECT_EQ(LoadLibraryA("NOSUCH.DLL"), nullptr);
    EXPECT_EQ(LoadLibraryA(""), nullptr);
    EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
    const std::string junk = ZAMPOLO_TEST_BINARY_DIR "/JUNK.DLL";
    std::ofstream(junk) << "this is not a library";
    EXPECT_EQ(LoadLibraryA("JUNK.DLL"), nullptr);
    std::filesystem::create_directories(ZAMPOLO_TEST_BINARY_DIR "/FOLDER.DLL");
    EXPECT_EQ(LoadLibraryA("FOLDER.DLL"), nullptr);
    EXPECT_EQ(GetProcAddress(nullptr, "x"), nullptr);
    EXPECT_FALSE(FreeLibrary(nullptr));
}

TEST(Libraries, FullPathsInPlatformFormLoadDirectly) {
    const std::string path =
        platform::AnsiFromNativePath(ZAMPOLO_TEST_BINARY_DIR "/sysdir/SYSONLY.DLL");
    HMODULE m = LoadLibraryA(path.c_str());
    ASSERT_NE(m, nullptr);
    FreeLibrary(m);
}

TEST(Libraries, SystemLibraryNamesAreThePlatform) {
    for (const char* name : {"kernel32", "KERNEL32.DLL", "user32", "shell32.dll", "ole32"}) {
        HMODULE m = LoadLibraryA(name);
        ASSERT_NE(m, nullptr) << name;
        FreeLibrary(m);
    }
    HMODULE k = LoadLibraryA("kernel32");
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(k, "CreateThread")),
              reinterpret_cast<void*>(&CreateThread));
    FreeLibrary(k);
}

TEST(Libraries, ModuleFileNameOfTheProgram) {
    char name[1024];
    const DWORD n = GetModuleFileNameA(nullptr, name, sizeof name);
    ASSERT_GT(n, 0u);
    EXPECT_EQ(platform::NativePathFromAnsi(name), ZAMPOLO_TEST_BINARY_DIR "/platform_tests");
    EXPECT_EQ(platform::ToNativePath(platform::ProgramFolder()), ZAMPOLO_TEST_BINARY_DIR);
    char small[4];
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof small), sizeof small);
    EXPECT_EQ(small[3], '\0');
    EXPECT_EQ(GetModuleFileNameA(nullptr, nullptr, 0), 0u);
}
} // namespace
