#include "TestSupport.h"

#include "runtime/HandedFolders.h"
#include "runtime/VB.h"

#include "platform/Paths.h"
#include "platform/QtBridge.h"

#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

#include <vector>

using namespace runtime;

namespace {
// A drop from another program: the bytes as it sent them (QMimeData::setData would
// parse a text/uri-list).
class Sent : public QMimeData {
public:
    explicit Sent(const QByteArray& uris) : uris_(uris) {}
    QStringList formats() const override { return {QStringLiteral("text/uri-list")}; }

protected:
    QVariant retrieveData(const QString&, QMetaType) const override { return uris_; }

private:
    QByteArray uris_;
};

// Drops one text/uri-list on the window: whether the pointer said yes, as the drop's
// enter event was answered.
bool Drop(HWND window, const QByteArray& uris) {
    Sent data(uris);
    QWidget* widget = platform::WidgetOf(window);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &drop);
    return enter.isAccepted();
}
} // namespace

// Exactly one folder of this machine is taken; files, several items and other machines'
// or other schemes' URIs are refused. A folder handed while a handler runs waits for it.
TEST(HandedFolders, ADropTakesOneLocalFolderOnceNoHandlerRuns) {
    QTemporaryDir temp;
    const QByteArray dir = QFile::encodeName(temp.path()) + "/M\xc3\xbasica %";
    ASSERT_TRUE(QDir().mkpath(QFile::decodeName(dir)));
    QFile song(QFile::decodeName(dir + "/a.mp3"));
    ASSERT_TRUE(song.open(QIODevice::WriteOnly));
    const QByteArray uri = "file://" + dir.toPercentEncoding("/");

    Form form({.Caption = u"Destino"});
    form.Show();
    std::vector<String> opened;
    AcceptFolders(u"prueba", form.hWnd, [&](const String& folder) { opened.push_back(folder); });
    const struct {
        const char* what;
        QByteArray uris;
        bool taken;
    } drops[] = {
        {"one folder", uri + "\r\n", true},
        {"with a comment, localhost, a slash", "# x\r\nfile://localhost" + uri.mid(7) + "/", true},
        {"a file", uri + "/a.mp3", false},
        {"two folders", uri + "\r\n" + uri + "\r\n", false},
        {"another machine's", "file://otra" + uri.mid(7), false},
        {"another scheme", "sftp://localhost" + uri.mid(7), false},
        {"a folder that is not there", uri + "/no", false},
        {"nothing", "", false},
        {"its UTF-8 name unescaped", "file://" + dir.toPercentEncoding("/\xc3\xba"), true},
    };
    for (const auto& d : drops) EXPECT_EQ(Drop(form.hWnd, d.uris), d.taken) << d.what;
    // The second folder took the place of the first, which had not gone yet.
    ASSERT_TRUE(testsupport::PumpUntil([&] { return opened.size() == 1; }));
    EXPECT_EQ(opened.at(0), platform::FromNativePath(dir.toStdString()));

    RunEvent([&] {
        EXPECT_TRUE(Drop(form.hWnd, uri));
        testsupport::PumpPending();
        EXPECT_EQ(opened.size(), 1u); // not while the handler runs
    });
    EXPECT_TRUE(testsupport::PumpUntil([&] { return opened.size() == 2; }));
    form.Unload();
}
