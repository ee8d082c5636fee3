// The installer with the real programs: the registration tool on the copied libraries,
// the program file, a player started elsewhere after the installer ran, and the
// installed layout.
#include "InstallerFixture.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <cstdio>

namespace {
using testing::ElementsAre;
using testing::ExitedWithCode;

const fs::path kDist = ZAMPOLO_DIST_DIR;

struct ProcessRun {
    int status = -1;
    QString output, errors;
};
ProcessRun Start(const QString& program, const QStringList& args = {},
                 const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

class Programs : public InstallerTest {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        InstallerTest::SetUp();
    }
    // The platform's library, where it is installed.
    void InstallPlatform() {
        fs::copy_file(kDist / "libzampolo-platform.so", sys() / "libzampolo-platform.so");
    }
    void BuiltLibrariesBesideTheInstaller() {
        fs::copy_file(kDist / "MP3.DLL", kit() / "MP3.DLL");
        fs::copy_file(kDist / "MSVBVM50.DLL", kit() / "MSVBVM50.DLL");
    }
};

// The real tool, kept silent here (the installer does not pass /s, so it would show its
// box; e2e.installer answers that one on a real display), wrapped by the stand-in that
// records how the installer started it.
TEST_F(Programs, TheRegistrationToolRegistersBothCopiesInTheSystemDirectory) {
    InstallPlatform();
    BuiltLibrariesBesideTheInstaller();
    fs::copy_file(kDist / "REGSVR32.EXE", sys() / "REGSVR32.REAL");
    std::ofstream(sys() / "REGSVR32.EXE", std::ios::app)
        << "exec \"$(dirname \"$0\")/REGSVR32.REAL\" /s \"$@\" >> \"$INSTALLER_TEST_LOG.out\"\n";
    EXPECT_EXIT(Click(), ExitedWithCode(0), "");
    EXPECT_TRUE(Boxes().empty());
    EXPECT_THAT(Registrations(2), ElementsAre("1|MP3.DLL|2", "1|MSVBVM50.DLL|2"));
    EXPECT_EQ(Read(sys() / "MP3.DLL"), Read(kDist / "MP3.DLL"));
    EXPECT_EQ(Read(sys() / "MSVBVM50.DLL"), Read(kDist / "MSVBVM50.DLL"));
    const fs::path out = root / "registrations.txt.out";
    testsupport::PumpUntil([&] { return Lines(out).size() >= 2; });
    auto reports = Lines(out);
    std::sort(reports.begin(), reports.end());
    EXPECT_THAT(reports,
                ElementsAre("DllRegisterServer en MP3.DLL se ejecutó correctamente.",
                            "DllRegisterServer en MSVBVM50.DLL se ejecutó correctamente."));
}

std::string ReadElf(const std::string& args) {
    std::string out;
    if (FILE* p = ::popen(("readelf " + args).c_str(), "r")) {
        char buffer[4096];
        while (std::size_t n = std::fread(buffer, 1, sizeof buffer, p)) out.append(buffer, n);
        ::pclose(p);
    }
    return out;
}

TEST_F(Programs, TheProgramFileNeedsTheRuntimeAtStartAndCarriesItsVersion) {
    const std::string file = (kDist / "zampoinst").string();
    EXPECT_NE(ReadElf("-d '" + file + "'").find("[MSVBVM50.DLL]"), std::string::npos);
    const std::string note = ReadElf("-p .note.zampolo.version '" + file + "'");
    for (const char* field :
         {"FileVersion=1.00", "ProductVersion=1.00", "Language=040A", "CodePage=04B0"})
        EXPECT_NE(note.find(field), std::string::npos) << field;

    // Without the runtime beside it the program does not start.
    fs::copy_file(kDist / "zampoinst", kit() / "zampoinst");
    fs::copy_file(kDist / "libzampolo-platform.so", kit() / "libzampolo-platform.so");
    const ProcessRun bare = Start(QString::fromStdString((kit() / "zampoinst").string()));
    EXPECT_EQ(bare.status, 127);
    EXPECT_TRUE(bare.errors.contains("MSVBVM50.DLL")) << bare.errors.toStdString();
}

// The player's folder here holds nothing but the program; its search path is the
// installed one ("$ORIGIN" then the system directory), with the system directory given
// relative to it so that it fits the build's reserved room.
TEST_F(Programs, APlayerStartedElsewhereFindsItsLibrariesInTheSystemDirectory) {
    InstallPlatform();
    const fs::path player = root / "elsewhere" / "zampoplay";
    fs::create_directories(player.parent_path());
    fs::copy_file(kDist / "zampoplay", player);
    Write(root / "rpath.cmake", "file(RPATH_SET FILE \"" + player.string() +
                                    "\" NEW_RPATH \"$ORIGIN:$ORIGIN/../system\")\n");
    ASSERT_EQ(Start(ZAMPOLO_CMAKE_COMMAND,
                    {"-P", QString::fromStdString((root / "rpath.cmake").string())})
                  .status,
              0);
    const QString program = QString::fromStdString(player.string());

    // Before the installer ran, the player cannot start.
    EXPECT_EQ(Start(program).status, 127);

    BuiltLibrariesBesideTheInstaller();
    EXPECT_EXIT(Click(), ExitedWithCode(0), "");
    EXPECT_TRUE(Boxes().empty());
    Registrations(2);

    QProcess p;
    p.start(program, {});
    ASSERT_TRUE(p.waitForStarted(10000));
    const std::string maps = "/proc/" + std::to_string(p.processId()) + "/maps";
    const auto mapped = [&](const fs::path& file) {
        return Read(maps).find(file.string()) != std::string::npos;
    };
    // The loader maps both before main; the player is then up and waiting.
    EXPECT_TRUE(testsupport::PumpUntil([&] {
        return mapped(sys() / "MSVBVM50.DLL") && mapped(sys() / "libzampolo-platform.so");
    }));
    EXPECT_EQ(p.state(), QProcess::Running);
    p.kill();
    p.waitForFinished(10000);
}
} // namespace

namespace {
// `cmake --install` of this build into a staging folder: the programs, their desktop
// entries and icons in the usual places, the platform and both libraries in the system
// directory, and programs that look in their own folder, then the system directory.
TEST(InstalledLayout, PutsProgramsAndLibrariesInTheirPlaces) {
    const fs::path stage = fs::path(ZAMPOLO_TEST_BINARY_DIR) / "stage";
    InstallerTest::RemoveAll(stage);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DESTDIR", QString::fromStdString(stage.string()));
    const ProcessRun install = Start(ZAMPOLO_CMAKE_COMMAND, {"--install", ZAMPOLO_BUILD_DIR}, env);
    ASSERT_EQ(install.status, 0) << install.errors.toStdString();

    const auto staged = [&](const std::string& path) { return stage / path.substr(1); };
    const std::string prefix = ZAMPOLO_INSTALL_PREFIX, system = ZAMPOLO_DEFAULT_SYSTEM_DIR;
    for (const std::string file :
         {"/bin/zampoplay", "/bin/zampoinst", "/share/applications/zampoplay.desktop",
          "/share/applications/zampoinst.desktop",
          "/share/icons/hicolor/256x256/apps/zampoplay.png",
          "/share/icons/hicolor/48x48/apps/zampoplay.png",
          "/share/icons/hicolor/256x256/apps/zampoinst.png",
          "/share/icons/hicolor/48x48/apps/zampoinst.png"})
        EXPECT_TRUE(fs::is_regular_file(staged(prefix + file))) << file;
    for (const std::string file :
         {"libzampolo-platform.so", "REGSVR32.EXE", "MSVBVM50.DLL", "MP3.DLL"})
        EXPECT_TRUE(fs::is_regular_file(staged(system + "/" + file))) << file;
    for (const std::string program : {"/bin/zampoplay", "/bin/zampoinst"}) {
        const std::string dynamic = ReadElf("-d '" + staged(prefix + program).string() + "'");
        EXPECT_NE(dynamic.find("Library runpath: [$ORIGIN:" + system + "]"), std::string::npos)
            << program << dynamic;
        EXPECT_NE(dynamic.find("[MSVBVM50.DLL]"), std::string::npos) << program;
    }
    InstallerTest::RemoveAll(stage);
}
} // namespace
