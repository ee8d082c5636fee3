#include "runtime/Services.h"

#include "platform/Paths.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace runtime;
namespace fs = std::filesystem;

namespace {
class Files : public testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/zampolo-files-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        root_ = name;
        fs::permissions(root_, fs::perms(0755));
    }
    void TearDown() override {
        std::error_code ec;
        for (const auto& e : fs::recursive_directory_iterator(root_, ec))
            fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(root_, ec);
    }
    // A path under the folder, in the platform's form.
    String P(const std::string& name) const { return platform::FromNativePath(root_ + "/" + name); }
    std::string N(const std::string& name) const { return root_ + "/" + name; }
    void Write(const std::string& name, const std::string& content,
               fs::perms mode = fs::perms(0644)) {
        std::ofstream(N(name)) << content;
        fs::permissions(N(name), mode);
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(N(name));
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    int Entries(const std::string& folder) const {
        int n = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(N(folder))) ++n;
        return n;
    }
    static int ErrorOf(const std::function<void()>& f) {
        try {
            f();
        } catch (const RuntimeError& e) {
            return e.Number();
        }
        return 0;
    }
    std::string root_;
};
} // namespace

TEST_F(Files, DirFindsOrdinaryFilesOnly) {
    Write("MP3.DLL", "x");
    Write(".hidden", "x");
    fs::create_directory(N("folder"));
    EXPECT_EQ(Dir(P("MP3.DLL")), u"MP3.DLL");
    EXPECT_EQ(Dir(P(".hidden")), u"");
    EXPECT_EQ(Dir(P("folder")), u"");
    EXPECT_EQ(Dir(P("missing")), u"");
    EXPECT_EQ(Dir(P("mp3.dll")), u"") << "names are matched exactly";
    EXPECT_EQ(Dir(u""), u"");
}

TEST_F(Files, FileCopyCopiesContentAndModeAndReplacesTheTarget) {
    Write("a.so", "library", fs::perms(0755));
    fs::create_directory(N("sys"));
    Write("sys/a.so", "old one");
    FileCopy(P("a.so"), P("sys/a.so"));
    EXPECT_EQ(Read("sys/a.so"), "library");
    EXPECT_EQ(fs::status(N("sys/a.so")).permissions(), fs::perms(0755));
    EXPECT_EQ(Entries("sys"), 1) << "no temporary file is left behind";
    FileCopy(P("a.so"), P("sys/.hidden"));
    EXPECT_EQ(Read("sys/.hidden"), "library") << "a hidden target is written like any other";
}

TEST_F(Files, FileCopyRaisesForWhatItCannotCopy) {
    Write("a", "data");
    fs::create_directory(N("folder"));
    EXPECT_EQ(ErrorOf([&] { FileCopy(P("missing"), P("b")); }), 53);
    EXPECT_EQ(ErrorOf([&] { FileCopy(P("folder"), P("b")); }), 75);
    EXPECT_EQ(ErrorOf([&] { FileCopy(P("a"), P("no/such/b")); }), 76);
    EXPECT_EQ(ErrorOf([&] { FileCopy(P("a"), P("folder")); }), 75);
    Write("readonly", "keep", fs::perms(0444));
    EXPECT_EQ(ErrorOf([&] { FileCopy(P("a"), P("readonly")); }), 70);
    EXPECT_EQ(Read("readonly"), "keep");
    EXPECT_FALSE(fs::exists(N("b")));
    EXPECT_EQ(Entries("folder"), 0);
}

TEST_F(Files, FileCopyIntoAReadOnlyFolderIsRefusedAndLeavesNothing) {
    Write("a", "data");
    fs::create_directory(N("sys"));
    fs::permissions(N("sys"), fs::perms(0555));
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Root ignores permission bits, so the copy runs as an ordinary user.
    EXPECT_EXIT(
        {
            if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
            const int error = ErrorOf([&] { FileCopy(P("a"), P("sys/a")); });
            _exit(error == 70 ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EQ(Entries("sys"), 0);
}
