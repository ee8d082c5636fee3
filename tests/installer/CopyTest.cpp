// One click: both entries, each reported present, reported missing, or copied and
// registered; then the program ends. Each click runs in a death test's child, since
// the program ends inside it.
#include "InstallerFixture.h"

#include "platform/QtBridge.h"

#include <QListWidget>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {
using testing::ElementsAre;
using testing::ExitedWithCode;

class Copy : public InstallerTest {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        InstallerTest::SetUp();
    }
};

// No file of this process may grow beyond bytes: a write past it fails (EFBIG).
void LimitFileSize(rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{bytes, bytes};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(2);
}

const std::string kPresentMp3 = "el archivo MP3.DLL ya se encontraba en SYSTEM";
const std::string kPresentRuntime = "el archivo MSVBVM50.DLL ya se encontraba en SYSTEM";

TEST_F(Copy, BothInTheSystemDirectoryAreReportedAndLeftAlone) {
    Write(kit() / "MP3.DLL", "new decoder");
    Write(kit() / "MSVBVM50.DLL", "new runtime");
    Write(sys() / "MP3.DLL", "old decoder");
    Write(sys() / "MSVBVM50.DLL", "old runtime");
    EXPECT_EXIT(Click(), ExitedWithCode(0), "");
    // Captioned with the application's title.
    const std::string title = Utf8(runtime::App.Title);
    EXPECT_THAT(Boxes(), ElementsAre(title + "\t" + kPresentMp3, title + "\t" + kPresentRuntime));
    EXPECT_EQ(Read(sys() / "MP3.DLL"), "old decoder");
    EXPECT_EQ(Read(sys() / "MSVBVM50.DLL"), "old runtime");
    EXPECT_TRUE(Registrations(0).empty());
}

TEST_F(Copy, PresentInTheSystemDirectoryCountsEvenWhenMissingBesideTheInstaller) {
    Write(sys() / "MP3.DLL", "old decoder");
    Write(sys() / "MSVBVM50.DLL", "old runtime");
    EXPECT_EXIT(Click(), ExitedWithCode(0), "");
    EXPECT_THAT(Texts(), ElementsAre(kPresentMp3, kPresentRuntime));
}

TEST_F(Copy, BothMissingAreReportedInListOrderWhateverIsSelected) {
    EXPECT_EXIT(
        {
            Show();
            platform::WidgetOf(form->hWnd)->findChild<QListWidget*>()->setCurrentRow(1);
            Click();
        },
        ExitedWithCode(0), "");
    EXPECT_THAT(Texts(), ElementsAre("el archivo MP3.DLL No lo encuentro",
                                     "el archivo MSVBVM50.DLL No lo encuentro"));
    EXPECT_EQ(Entries(sys()), (std::set<std::string>{"REGSVR32.EXE"}));
    EXPECT_TRUE(Registrations(0).empty());
}

TEST_F(Copy, AMissingFileIsCopiedAndRegisteredMinimisedByItsBareName) {
    Write(kit() / "MP3.DLL", std::string(300000, 'd'), fs::perms(0755));
    Write(sys() / "MSVBVM50.DLL", "old runtime");
    EXPECT_EXIT(Click(), ExitedWithCode(0), "");
    EXPECT_THAT(Texts(), ElementsAre(kPresentRuntime));
    EXPECT_EQ(Read(sys() / "MP3.DLL"), std::string(300000, 'd'));
    EXPECT_EQ(fs::status(sys() / "MP3.DLL").permissions(), fs::perms(0755));
    EXPECT_EQ(Read(sys() / "MSVBVM50.DLL"), "old runtime");
    // One argument, no folder; show state 2 (minimised and active).
    EXPECT_THAT(Registrations(1), ElementsAre("1|MP3.DLL|2"));
    EXPECT_EQ(Entries(sys()), (std::set<std::string>{"MP3.DLL", "MSVBVM50.DLL", "REGSVR32.EXE"}));
}

// A system directory of 260 bytes or more does not fit the buffer: nothing is copied
// (least of all into the root folder), and the run ends with the error report.
TEST_F(Copy, ASystemDirectoryTooLongForTheBufferCopiesNothing) {
    Write(kit() / "MP3.DLL", "decoder");
    const fs::path longDir = root / std::string(150, 'a') / std::string(150, 'b');
    fs::create_directories(longDir);
    setenv("ZAMPOLO_SYSTEM_DIR", longDir.c_str(), 1);
    const bool inRoot = fs::exists("/MP3.DLL");
    EXPECT_EXIT(Click(), ExitedWithCode(1), ".*'76'");
    EXPECT_THAT(Texts(), ElementsAre("Error en tiempo de ejecución '76':\\n\\nNo se ha encontrado "
                                     "la ruta de acceso"));
    EXPECT_EQ(fs::exists("/MP3.DLL"), inRoot);
    EXPECT_TRUE(fs::is_empty(longDir));
}

TEST_F(Copy, AFolderUnderTheTargetNameIsNotAFileTheCopyFailsAndEndsTheRun) {
    Write(kit() / "MP3.DLL", "decoder");
    Write(kit() / "MSVBVM50.DLL", "runtime");
    fs::create_directory(sys() / "MP3.DLL");
    EXPECT_EXIT(Click(), ExitedWithCode(1), ".*'75'");
    EXPECT_THAT(Texts(), ElementsAre("Error en tiempo de ejecución '75':\\n\\nError de acceso a la "
                                     "ruta o el archivo"));
    // The run stopped there: the second entry was not looked at.
    EXPECT_FALSE(fs::exists(sys() / "MSVBVM50.DLL"));
    EXPECT_TRUE(Registrations(0).empty());
}

// The checkout may lie where an ordinary user cannot reach (root's home is 0700): a case
// run as one works in a world-readable temporary folder.
class CopyAsUser : public Copy {
    fs::path CasesFolder() const override { return fs::temp_directory_path() / "zampolo-cases"; }
};

TEST_F(CopyAsUser, ACopyRefusedByAReadOnlySystemDirectoryEndsWithTheReportAndLeavesNothing) {
    Write(kit() / "MP3.DLL", "decoder");
    Write(kit() / "MSVBVM50.DLL", "runtime");
    Write(root / "boxes.txt", "", fs::perms(0666));
    Write(root / "registrations.txt", "", fs::perms(0666));
    fs::permissions(sys(), fs::perms(0555));
    // Root ignores permission bits, so the installer runs as an ordinary user.
    EXPECT_EXIT(
        {
            if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
            Click();
        },
        ExitedWithCode(1), "");
    EXPECT_THAT(Texts(), ElementsAre("Error en tiempo de ejecución '70':\\n\\nPermiso denegado"));
    EXPECT_EQ(Entries(sys()), (std::set<std::string>{"REGSVR32.EXE"}));
    EXPECT_TRUE(Registrations(0).empty());
}

// A copy cut off part way (here by a file size limit) must not leave a truncated library
// under the target's name: the next run would take it for an installed one.
TEST_F(Copy, ACopyFailingHalfWayLeavesNoPartialFileAndTheNextRunCopiesAgain) {
    const std::string library(200000, 'x');
    Write(kit() / "MP3.DLL", library);
    Write(sys() / "MSVBVM50.DLL", "old runtime");
    EXPECT_EXIT(
        {
            LimitFileSize(64 * 1024);
            Click();
        },
        ExitedWithCode(1), "");
    EXPECT_THAT(Texts(), ElementsAre("Error en tiempo de ejecución '75':\\n\\nError de acceso a la "
                                     "ruta o el archivo"));
    EXPECT_EQ(Entries(sys()), (std::set<std::string>{"MSVBVM50.DLL", "REGSVR32.EXE"}));

    fs::remove(root / "boxes.txt");
    EXPECT_EXIT(Click(), ExitedWithCode(0), "");
    EXPECT_THAT(Texts(), ElementsAre(kPresentRuntime));
    EXPECT_EQ(Read(sys() / "MP3.DLL"), library);
    EXPECT_THAT(Registrations(1), ElementsAre("1|MP3.DLL|2"));
}
} // namespace
