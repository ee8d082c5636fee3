// mp3gettime against libmpg123's full scan on one file, warm cache.
//   bench_gettime FILE [RUNS]
#include "MP3Request.h"

#include "platform/Libraries.h"
#include "platform/Paths.h"

#include <mpg123.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

double MedianMs(int runs, const std::function<void()>& run) {
    std::vector<double> ms;
    run(); // warms the cache
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        run();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// libmpg123's length in ms, with or without its full scan.
double Mpg123Length(const char* path, bool scan) {
    mpg123_handle* mh = mpg123_new(nullptr, nullptr);
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0.0);
    double ms = 0;
    if (mpg123_open(mh, path) == MPG123_OK) {
        if (scan) mpg123_scan(mh);
        long rate = 0;
        int channels = 0, encoding = 0;
        mpg123_getformat(mh, &rate, &channels, &encoding);
        const off_t samples = mpg123_length(mh);
        if (rate > 0 && samples > 0) ms = samples * 1000.0 / rate;
    }
    mpg123_delete(mh);
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_gettime FILE [RUNS]\n");
        return 2;
    }
    const char* path = argv[1];
    const int runs = argc > 2 ? std::atoi(argv[2]) : 15;
    HMODULE lib = LoadLibraryA(platform::AnsiFromNativePath(ZAMPOLO_DIST_DIR "/MP3.DLL").c_str());
    auto gettime = lib ? reinterpret_cast<MP3GETTIME>(GetProcAddress(lib, "mp3gettime")) : nullptr;
    if (!gettime) {
        std::fprintf(stderr, "MP3.DLL not found\n");
        return 1;
    }
    const std::string ansi = platform::AnsiFromNativePath(path);
    MP3REQUEST request{ansi.c_str(), 0, nullptr, 0};
    double length = 0, unit = 0;
    const double ours = MedianMs(runs, [&] { gettime(&request, &length, &unit); });
    double scanned = 0;
    const double theirs = MedianMs(runs, [&] { scanned = Mpg123Length(path, true); });
    const double estimate = Mpg123Length(path, false);
    std::printf("mp3gettime   median %8.2f ms  length %.1f ms, unit %.3f ms\n", ours, length, unit);
    std::printf("mpg123_scan  median %8.2f ms  length %.1f ms\n", theirs, scanned);
    std::printf("ratio %.3fx (target <= 0.2x); length off by %.3f%%; libmpg123's quick estimate "
                "%.1f ms (off by %.1f%%)\n",
                ours / theirs, scanned > 0 ? 100.0 * (length - scanned) / scanned : 0.0, estimate,
                scanned > 0 ? 100.0 * (estimate - scanned) / scanned : 0.0);
    return 0;
}
