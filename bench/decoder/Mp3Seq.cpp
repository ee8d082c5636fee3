// Plays files one after another through MP3.DLL as the player does: each song on a
// thread of its own, the next one started from the window's thread on the end message.
//   mp3seq [--stop-after MS] [--tail MS] FILE...
// --stop-after stops each song MS after its start message and prints how long the end
// message took; --tail waits MS after the last song (default 2500: the device drains).
#include "MP3Request.h"

#include "platform/Libraries.h"
#include "platform/Messages.h"
#include "platform/Paths.h"
#include "platform/QtBridge.h"
#include "platform/Threads.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

MP3PLAY play;
MP3STOP stop;
MP3GETTIME gettime;
std::vector<std::string> songs; // 8-bit platform paths
std::size_t current = 0;
int stopAfterMs = -1;
int tailMs = 2500;
Clock::time_point stopAt;
int progress = 0;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void Start(HWND hwnd) {
    MP3REQUEST request{songs[current].c_str(), 0, hwnd, 0};
    double length = 0, unit = 0;
    gettime(&request, &length, &unit);
    struct Job {
        std::string path;
        HWND hwnd;
    };
    progress = 0;
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](void* p) -> DWORD {
            auto* job = static_cast<Job*>(p);
            MP3REQUEST r{job->path.c_str(), 0, job->hwnd, 0};
            play(&r);
            delete job;
            return 0;
        },
        new Job{songs[current], hwnd}, 0, nullptr);
    CloseHandle(thread);
}

LRESULT Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == MP3_MSG_STARTED && stopAfterMs >= 0) {
        QTimer::singleShot(stopAfterMs, [] {
            stopAt = Clock::now();
            stop();
        });
    } else if (msg == MP3_MSG_PROGRESS) {
        ++progress;
    } else if (msg == MP3_MSG_ENDED) {
        if (stopAfterMs >= 0) std::printf("stop latency %.2f ms\n", Ms(Clock::now() - stopAt));
        std::fprintf(stderr, "song %zu: %d progress messages\n", current + 1, progress);
        if (++current < songs.size())
            Start(hwnd);
        else
            QTimer::singleShot(tailMs, [] { QApplication::quit(); });
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--stop-after" && i + 1 < argc)
            stopAfterMs = std::atoi(argv[++i]);
        else if (a == "--tail" && i + 1 < argc)
            tailMs = std::atoi(argv[++i]);
        else
            songs.push_back(platform::AnsiFromNativePath(a));
    }
    HMODULE lib = LoadLibraryA(platform::AnsiFromNativePath(ZAMPOLO_DIST_DIR "/MP3.DLL").c_str());
    if (!lib || songs.empty()) {
        std::fprintf(stderr,
                     "usage: mp3seq [--stop-after MS] [--tail MS] FILE... (MP3.DLL in %s)\n",
                     ZAMPOLO_DIST_DIR);
        return 2;
    }
    play = reinterpret_cast<MP3PLAY>(GetProcAddress(lib, "mp3play"));
    stop = reinterpret_cast<MP3STOP>(GetProcAddress(lib, "mp3stop"));
    gettime = reinterpret_cast<MP3GETTIME>(GetProcAddress(lib, "mp3gettime"));
    QWidget widget;
    HWND hwnd = platform::AttachWindow(&widget, &Proc);
    Start(hwnd);
    return app.exec();
}
