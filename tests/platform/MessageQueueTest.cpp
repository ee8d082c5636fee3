// PostMessageA from many threads, SendMessageA across threads, delivery in a modal loop.
#include "TestSupport.h"
#include "platform/Dialogs.h"
#include "platform/Messages.h"
#include "platform/QtBridge.h"
#include "platform/Threads.h"

#include <QApplication>
#include <QThread>
#include <QWidget>
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>
#include <vector>

namespace {
constexpr UINT kTestMessage = WM_USER + 100;
constexpr int kThreads = 8;
constexpr int kPerThread = 10000;

std::array<std::vector<int>, kThreads> g_received;
std::atomic<int> g_total{0};
bool g_onWindowThread = true;

LRESULT QueueProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kTestMessage) {
        if (!platform::IsWindowThread()) g_onWindowThread = false;
        g_received[wParam].push_back(static_cast<int>(lParam));
        g_total.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

TEST(MessageQueue, PostsFromEightThreadsArriveCompleteAndInOrder) {
    for (auto& r : g_received) r.clear();
    g_total = 0;
    QWidget widget;
    HWND hwnd = platform::AttachWindow(&widget, QueueProc);
    std::vector<std::thread> senders;
    std::atomic<int> refused{0};
    for (int t = 0; t < kThreads; ++t)
        senders.emplace_back([t, hwnd, &refused] {
            for (int i = 0; i < kPerThread; ++i)
                if (!PostMessageA(hwnd, kTestMessage, static_cast<WPARAM>(t), i)) ++refused;
        });
    for (auto& s : senders) s.join();
    EXPECT_EQ(refused, 0);
    ASSERT_TRUE(testsupport::PumpUntil([] { return g_total == kThreads * kPerThread; },
                                       std::chrono::seconds(60)));
    EXPECT_TRUE(g_onWindowThread);
    for (int t = 0; t < kThreads; ++t) {
        ASSERT_EQ(g_received[t].size(), static_cast<std::size_t>(kPerThread));
        for (int i = 0; i < kPerThread; ++i) ASSERT_EQ(g_received[t][i], i) << "thread " << t;
    }
    DestroyWindow(hwnd);
}

int g_deliveredDuringHandler = 0;
bool g_inHandler = false;
LRESULT NestingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kTestMessage) {
        if (g_inHandler) ++g_deliveredDuringHandler;
        g_received[0].push_back(static_cast<int>(lParam));
        return 0;
    }
    if (msg == kTestMessage + 1) {
        // Posted from inside a handler: delivered only after it returns.
        g_inHandler = true;
        PostMessageA(hwnd, kTestMessage, 0, 1);
        g_inHandler = false;
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

TEST(MessageQueue, PostedMessagesArriveAfterTheRunningHandler) {
    g_received[0].clear();
    g_deliveredDuringHandler = 0;
    QWidget widget;
    HWND hwnd = platform::AttachWindow(&widget, NestingProc);
    ASSERT_TRUE(PostMessageA(hwnd, kTestMessage + 1, 0, 0));
    ASSERT_TRUE(testsupport::PumpUntil([] { return g_received[0].size() == 1; }));
    EXPECT_EQ(g_deliveredDuringHandler, 0);
    DestroyWindow(hwnd);
}

TEST(MessageQueue, PostedMessagesArriveWhileAModalBoxIsOpen) {
    g_received[0].clear();
    QWidget widget;
    HWND hwnd = platform::AttachWindow(&widget, QueueProc);
    std::size_t seenInsideBox = 0;
    testsupport::WhenModalShows([&](QWidget* box) {
        std::thread([hwnd] { PostMessageA(hwnd, kTestMessage, 0, 5); }).join();
        testsupport::PumpUntil([] { return !g_received[0].empty(); });
        seenInsideBox = g_received[0].size();
        box->close();
    });
    MessageBoxA(hwnd, "Espera", nullptr, MB_OK);
    EXPECT_EQ(seenInsideBox, 1u);
    DestroyWindow(hwnd);
}

TEST(MessageQueue, PostToADestroyedWindowIsRefusedAndDropped) {
    g_total = 0;
    QWidget widget;
    HWND hwnd = platform::AttachWindow(&widget, QueueProc);
    ASSERT_TRUE(PostMessageA(hwnd, kTestMessage, 0, 0));
    DestroyWindow(hwnd); // the queued message must not reach a dead window
    EXPECT_FALSE(PostMessageA(hwnd, kTestMessage, 0, 0));
    testsupport::PumpPending();
    EXPECT_EQ(g_total, 0);
}

TEST(MessageQueue, SendFromAnotherThreadRunsOnTheWindowThread) {
    g_received[1].clear();
    g_onWindowThread = true;
    QWidget widget;
    HWND hwnd = platform::AttachWindow(&widget, QueueProc);
    std::atomic<bool> done{false};
    std::thread sender([&] {
        SendMessageA(hwnd, kTestMessage, 1, 9);
        done = true;
    });
    ASSERT_TRUE(testsupport::PumpUntil([&] { return done.load(); }));
    sender.join();
    ASSERT_EQ(g_received[1].size(), 1u);
    EXPECT_TRUE(g_onWindowThread);
    DestroyWindow(hwnd);
}

DWORD RecordThread(void* parameter) {
    auto* out = static_cast<std::atomic<DWORD>*>(parameter);
    out->store(GetCurrentThreadId());
    return 0;
}

TEST(Threads, CreateThreadStartsAtOnceAndHandlesCloseOnce) {
    std::atomic<DWORD> ranOn{0};
    DWORD id = 0;
    HANDLE h = CreateThread(nullptr, 0, RecordThread, &ranOn, 0, &id);
    ASSERT_NE(h, nullptr);
    EXPECT_NE(id, 0u);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return ranOn.load() != 0; }));
    EXPECT_EQ(ranOn.load(), id);
    EXPECT_NE(id, GetCurrentThreadId());
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_FALSE(CloseHandle(nullptr));
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
    // Without an id pointer the thread still runs.
    ranOn = 0;
    HANDLE h2 = CreateThread(nullptr, 0, RecordThread, &ranOn, 0, nullptr);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return ranOn.load() != 0; }));
    CloseHandle(h2);
}
} // namespace
