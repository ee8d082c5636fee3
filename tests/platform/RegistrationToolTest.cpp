// REGSVR32.EXE run as a separate program, silent, over libraries in a system directory.
#include <QProcess>
#include <QProcessEnvironment>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {
struct ToolRun {
    int exitCode;
    QString output;
};

ToolRun Regsvr32(const QStringList& args, const QString& systemDir, const QString& mark = {}) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ZAMPOLO_SYSTEM_DIR", systemDir);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    if (!mark.isEmpty()) env.insert("REGTEST_MARK", mark);
    p.setProcessEnvironment(env);
    p.start(ZAMPOLO_DIST_DIR "/REGSVR32.EXE", args);
    p.waitForFinished(30000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()).trimmed()};
}

const QString kSys = ZAMPOLO_TEST_BINARY_DIR "/regsys";

TEST(RegistrationTool, RegistersALibraryFoundInTheSystemDirectory) {
    const QString mark = ZAMPOLO_TEST_BINARY_DIR "/registered.mark";
    fs::remove(mark.toStdString());
    ToolRun r = Regsvr32({"/s", "GOODREG.DLL"}, kSys, mark);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, QString("DllRegisterServer en GOODREG.DLL se ejecutó correctamente."));
    EXPECT_TRUE(fs::exists(mark.toStdString()));
}

TEST(RegistrationTool, ReportsEachFailureWithItsOwnStatus) {
    ToolRun missing = Regsvr32({"/s", "NOSUCH.DLL"}, kSys);
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_TRUE(missing.output.startsWith("No se pudo cargar el módulo \"NOSUCH.DLL\""));

    ToolRun noEntry = Regsvr32({"/s", "NOENTRY.DLL"}, kSys);
    EXPECT_EQ(noEntry.exitCode, 4);
    EXPECT_TRUE(noEntry.output.contains("no se encontró el punto de entrada DllRegisterServer"));

    ToolRun failed = Regsvr32({"/s", "BADREG.DLL"}, kSys);
    EXPECT_EQ(failed.exitCode, 5);
    EXPECT_TRUE(failed.output.endsWith("falló con el código 0x80004005."));

    ToolRun usage = Regsvr32({"/s"}, kSys);
    EXPECT_EQ(usage.exitCode, 1);
}
} // namespace
