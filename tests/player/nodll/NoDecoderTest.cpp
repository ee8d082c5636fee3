// Without MP3.DLL beside the program or in the system directory.
#include "ErrorOf.h"
#include "MP3Control.h"
#include "MP3Request.h"
#include "TestSupport.h"

#include "runtime/Errors.h"

#include "platform/Messages.h"
#include "platform/QtBridge.h"

#include <QWidget>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {
using namespace zampoplay;

int g_messages = 0;
LRESULT Counter(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg >= MP3_MSG_PROGRESS && msg <= MP3_MSG_ENDED) ++g_messages;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

using testsupport::ErrorOf;

TEST(NoDecoder, EachFunctionRaisesLibraryNotFoundAtItsCall) {
    setenv("ZAMPOLO_SYSTEM_DIR", ZAMPOLO_TEST_BINARY_DIR, 1); // holds no MP3.DLL either
    Double length = 1, unit = 1;
    EXPECT_EQ(ErrorOf([&] { QuerySongTime(length, unit); }), 48);
    EXPECT_EQ(length, 1);
    EXPECT_EQ(ErrorOf([] { StopPlayback(); }), 48);
    // A second call tries again and fails the same way.
    EXPECT_EQ(ErrorOf([] { StopPlayback(); }), 48);
}

TEST(NoDecoder, APlaybackThreadThatCannotBindEndsQuietly) {
    QWidget window;
    CurrentRequest.WindowHandle = platform::AttachWindow(&window, Counter);
    CurrentRequest.FileName = u"\\no\\importa.mp3";
    StartPlayback();
    StartPlayback();
    // Nothing to wait for but time: give the threads a moment, then check nothing came.
    testsupport::PumpUntil([] { return g_messages > 0; }, std::chrono::milliseconds(300));
    EXPECT_EQ(g_messages, 0);
    DestroyWindow(CurrentRequest.WindowHandle);
}
} // namespace
