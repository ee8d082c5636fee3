#include "runtime/Declare.h"
#include "ErrorOf.h"
#include "TestSupport.h"
#include "runtime/Strings.h"

#include "platform/CodePage.h"
#include "platform/System.h"
#include "platform/Types.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

using namespace runtime;

namespace {
using testsupport::ErrorOf;
} // namespace

TEST(Declare, BindsAtTheFirstCallFromTwoThreadsAtOnce) {
    static Declare<int(int)> twice{"TESTLIB.DLL", "Twice"};
    // Both threads call once both are there. Not std::latch: MinGW's libstdc++ (GCC 12)
    // now and then misses its wake-up, and the test hangs.
    std::mutex mutex;
    std::condition_variable arrived;
    int waiting = 0;
    std::vector<int> results(2);
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i) {
        threads.emplace_back([&, i] {
            {
                std::unique_lock lock(mutex);
                ++waiting;
                arrived.notify_all();
                arrived.wait(lock, [&] { return waiting == 2; });
            }
            results[static_cast<std::size_t>(i)] = twice(20 + i);
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(results[0], 40);
    EXPECT_EQ(results[1], 42);
    EXPECT_EQ(twice.Bound(), twice.Bound());
}

TEST(Declare, MissingLibraryOrFunctionRaisesAtEveryCall) {
    Declare<int(int)> noLibrary{"NOSUCH.DLL", "Twice"};
    EXPECT_EQ(ErrorOf([&] { noLibrary(1); }), 48);
    EXPECT_EQ(ErrorOf([&] { noLibrary(1); }), 48);
    Declare<int(int)> noFunction{"TESTLIB.DLL", "Thrice"};
    EXPECT_EQ(ErrorOf([&] { noFunction(1); }), 453);
    try {
        noFunction(1);
    } catch (const RuntimeError& e) {
        EXPECT_NE(e.Description().find(u"Thrice"), String::npos);
    }
}

TEST(Declare, PlatformFunctionsTakeStringsAsEightBitBuffers) {
    testsupport::SetEnv("ZAMPOLO_SYSTEM_DIR", "/tmp/zampolo-sistema"); // Linux's setting
    char direct[260];
    const String expected =
        platform::FromAnsi(std::string(direct, ::GetSystemDirectoryA(direct, 260)));
    Declare<UINT(AnsiString, UINT)> GetSystemDirectoryA{"kernel32", "GetSystemDirectoryA"};
    String buffer = FillString(260, Chr(0));
    const Long length = static_cast<Long>(GetSystemDirectoryA(buffer, 260));
    EXPECT_EQ(Left(buffer, length), expected);
    EXPECT_EQ(Len(buffer), 260);
    testsupport::SetEnv("ZAMPOLO_SYSTEM_DIR", "");
}
