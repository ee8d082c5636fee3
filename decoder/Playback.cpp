#include "Playback.h"

#include "ByteSource.h"
#include "MpegScan.h"
#include "Os.h"
#include "Output.h"

#include "platform/Messages.h"

#include <mpg123.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace mp3 {
namespace {

using Clock = std::chrono::steady_clock;

// At most this much of a song is left to hear when it ends for the player: time for
// the next song to start behind it without a gap, and the window does not move on to
// it long before it sounds.
constexpr std::chrono::milliseconds kEndLead(250);

// mp3stop moves the generation on; a playback stops once the generation differs from
// the one it began under: the one mp3gettime stamped into its request, or else the
// one at mp3play. Never destroyed (playback threads are not joined).
class Stops {
public:
    static Stops& Instance() {
        static Stops* stops = new Stops;
        return *stops;
    }
    std::uint64_t generation() const { return generation_.load(); }
    // The generation in the record's 32 bits; never 0, which means "no stamp".
    static std::int32_t stamp(std::uint64_t generation) {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(generation % 0xFFFFFFFFu) + 1u);
    }
    void stopAll() {
        {
            std::lock_guard lock(mutex_);
            ++generation_;
            changed_.notify_all();
        }
        Output::Instance().wake(); // playbacks waiting for the device see it at once
    }
    // Waits until the deadline; true when a stop came first.
    bool waitUntil(Clock::time_point deadline, std::uint64_t since) {
        std::unique_lock lock(mutex_);
        return changed_.wait_until(lock, deadline, [&] { return generation_.load() != since; });
    }

private:
    std::atomic<std::uint64_t> generation_{0};
    std::mutex mutex_;
    std::condition_variable changed_;
};

// Failed playbacks are spaced, so that a list of broken files never busy-loops the
// player: each failure gets its own slot, at least kFailureSpacing after the last one.
void WaitForFailureSlot(std::uint64_t generation) {
    constexpr auto kFailureSpacing = std::chrono::milliseconds(250);
    static std::mutex* mutex = new std::mutex;
    static Clock::time_point next{};
    Clock::time_point slot;
    {
        std::lock_guard lock(*mutex);
        slot = std::max(Clock::now(), next);
        next = slot + kFailureSpacing;
    }
    Stops::Instance().waitUntil(slot, generation);
}

// A regular file opened through the platform (8-bit path, code page, path form).
class SongFile {
public:
    explicit SongFile(const char* ansiPath) {
        if (ansiPath) fd_ = os::OpenSong(ansiPath, size_);
    }
    ~SongFile() {
        if (fd_ >= 0) os::CloseFile(fd_);
    }
    SongFile(const SongFile&) = delete;
    SongFile& operator=(const SongFile&) = delete;
    int fd() const { return fd_; }
    std::uint64_t size() const { return size_; }

private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

// One playback's own libmpg123 handle: 16-bit output at the file's rate and channels,
// gapless. It reads only the frames the walk finds, so that it never makes sound from
// what is not MPEG audio and plays what mp3gettime timed.
class Decoder {
public:
    explicit Decoder(ByteSource& source) : source_(source), walker_(source) {}
    bool open() {
        static const int init = mpg123_init(); // a no-op on current libmpg123
        (void)init;
        handle_ = mpg123_new(nullptr, nullptr);
        if (!handle_) return false;
        mpg123_param(handle_, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_SEEKBUFFER | MPG123_QUIET,
                     0.0);
        mpg123_format_none(handle_);
        const long* rates = nullptr;
        std::size_t count = 0;
        mpg123_rates(&rates, &count);
        for (std::size_t i = 0; i < count; ++i)
            mpg123_format(handle_, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
        return mpg123_replace_reader_handle(handle_, &Read, &Seek, nullptr) == MPG123_OK &&
               mpg123_open_handle(handle_, this) == MPG123_OK;
    }
    ~Decoder() {
        if (handle_) mpg123_delete(handle_);
    }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // The next decoded frame's samples, in format(); false at the end or on an error
    // it cannot get past.
    bool next(const std::uint8_t*& data, std::size_t& bytes) {
        for (int errors = 0; errors < 64;) {
            off_t frame = 0;
            unsigned char* audio = nullptr;
            const int r = mpg123_decode_frame(handle_, &frame, &audio, &bytes);
            if (r == MPG123_NEW_FORMAT) {
                long rate = 0;
                int channels = 0, encoding = 0;
                mpg123_getformat(handle_, &rate, &channels, &encoding);
                format_ = {rate, channels};
                samplesPerFrame_ = std::max(1, mpg123_spf(handle_));
            } else if (r == MPG123_OK) {
                if (bytes == 0 || format_.channels == 0) continue;
                data = audio;
                return true;
            } else if (r == MPG123_DONE) {
                return false;
            } else {
                ++errors;
            }
        }
        return false;
    }
    Format format() const { return format_; }
    int samplesPerFrame() const { return samplesPerFrame_; }

private:
    // libmpg123's reader: the walked frames one after another, then the end.
    static mpg123_ssize_t Read(void* self, void* buffer, std::size_t size) {
        auto& d = *static_cast<Decoder*>(self);
        auto* out = static_cast<std::uint8_t*>(buffer);
        std::size_t done = 0;
        while (done < size) {
            if (d.frameLeft_ == 0) {
                const auto frame = d.walker_.next();
                if (!frame) break;
                d.framePos_ = frame->pos;
                d.frameLeft_ = static_cast<std::size_t>(frame->header.length);
                d.silent_ = frame->silent;
                if (d.silent_) d.silentAt_ = 0;
            }
            if (d.silent_) {
                const std::size_t n = std::min(d.frameLeft_, size - done);
                const auto& header = d.walker_.silentHeader();
                for (std::size_t i = 0; i < n; ++i, ++d.silentAt_)
                    out[done + i] = d.silentAt_ < header.size() ? header[d.silentAt_] : 0;
                done += n;
                d.frameLeft_ -= n;
                continue;
            }
            const auto bytes = d.source_.read(d.framePos_, std::min(d.frameLeft_, size - done));
            if (bytes.empty()) { // the file shrank under us
                d.frameLeft_ = 0;
                break;
            }
            std::memcpy(out + done, bytes.data(), bytes.size());
            done += bytes.size();
            d.framePos_ += bytes.size();
            d.frameLeft_ -= bytes.size();
        }
        return static_cast<mpg123_ssize_t>(done);
    }
    static off_t Seek(void*, off_t, int) { return -1; } // a stream: libmpg123 reads on

    ByteSource& source_;
    FrameWalker walker_;
    std::uint64_t framePos_ = 0;
    std::size_t frameLeft_ = 0;
    bool silent_ = false;      // the frame is the walker's silent one
    std::size_t silentAt_ = 0; // bytes of it given
    mpg123_handle* handle_ = nullptr;
    Format format_;
    int samplesPerFrame_ = 1152;
};

// Tells the window what the listener has heard of this song: the start once, then
// every MP3_PROGRESS_FRAMES position units. A unit is the length of the song's first
// frame; after a change of sample rate inside the song the units go on counting the
// time heard, so that the player's countdown still ends with the song.
class Progress {
public:
    Progress(Output& out, HWND window, const Format& format, int samplesPerFrame)
        : out_(out), window_(window), samplesPerFrame_(samplesPerFrame) {
        parts_.push_back({out.queuedEnd(), format.rate, 0});
    }
    // Lease holder only: the samples queued from now on are in this format.
    void follow(const Format& format) {
        if (format.rate == parts_.back().rate) return;
        const std::uint64_t at = out_.queuedEnd();
        parts_.push_back({at, format.rate, AtFirstRate(at)});
    }
    void update() {
        if (!started_) {
            PostMessageA(window_, MP3_MSG_STARTED, 0, 0);
            started_ = true;
        }
        const std::uint64_t units =
            AtFirstRate(out_.heardEnd()) / static_cast<std::uint64_t>(samplesPerFrame_);
        for (; nextMark_ <= units; nextMark_ += MP3_PROGRESS_FRAMES)
            PostMessageA(window_, MP3_MSG_PROGRESS, static_cast<WPARAM>(nextMark_), 0);
    }

    // How long until the next mark is heard; a little more, so that the device has
    // told what it played by then.
    std::chrono::milliseconds untilNext() const {
        const std::uint64_t heard = AtFirstRate(out_.heardEnd());
        const std::uint64_t mark = nextMark_ * static_cast<std::uint64_t>(samplesPerFrame_);
        const auto rate = static_cast<std::uint64_t>(parts_.front().rate);
        const auto ahead =
            std::chrono::milliseconds(mark > heard ? (mark - heard) * 1000 / rate : 0);
        return ahead + std::chrono::milliseconds(25);
    }

private:
    struct Part {
        std::uint64_t begin; // stream position
        long rate;
        std::uint64_t before; // samples at the first rate heard before it
    };
    // The song's samples heard up to a stream position, counted at the first rate.
    std::uint64_t AtFirstRate(std::uint64_t position) const {
        if (position <= parts_.front().begin) return 0;
        auto part = parts_.rbegin();
        while (part->begin > position) ++part;
        const auto rate = static_cast<std::uint64_t>(part->rate);
        const auto first = static_cast<std::uint64_t>(parts_.front().rate);
        return part->before + (position - part->begin) * first / rate;
    }

    Output& out_;
    HWND window_;
    int samplesPerFrame_;
    std::vector<Part> parts_; // one for each sample rate in turn, the song's start first
    bool started_ = false;
    std::uint64_t nextMark_ = MP3_PROGRESS_FRAMES;
};

// The output's lease for one playback, given back however the playback ends.
class Lease {
public:
    Lease(Output& out, const std::function<bool()>& stopped)
        : out_(out), held_(out.acquire(stopped)) {}
    ~Lease() {
        if (held_) out_.release();
    }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    bool held() const { return held_; }

private:
    Output& out_;
    bool held_;
};

// Plays until the end or a stop; false when the file has no audio to play.
bool PlayFile(const char* path, HWND window, std::uint64_t generation, const std::string& setting) {
    const auto stopped = [generation] { return Stops::Instance().generation() != generation; };
    SongFile file(path);
    if (file.fd() < 0) return false;
    // Read as it plays, so that a file cut or deleted meanwhile ends the song there.
    FileSource source(file.fd(), file.size(), 16 * 1024);
    Decoder decoder(source);
    if (!decoder.open()) return false;
    const std::uint8_t* data = nullptr;
    std::size_t bytes = 0;
    if (!decoder.next(data, bytes)) return false;

    Output& out = Output::Instance();
    const Lease lease(out, stopped);
    if (!lease.held()) return true;
    Progress progress(out, window, decoder.format(), decoder.samplesPerFrame());
    const std::function<std::chrono::milliseconds()> tick = [&] {
        progress.update();
        return progress.untilNext();
    };
    do {
        progress.follow(decoder.format());
        if (!out.play(setting, decoder.format(), data, bytes, tick)) break;
        progress.update();
        if (stopped()) break;
    } while (decoder.next(data, bytes));
    // The song has ended for the player once the device holds its last sample and
    // little is left to hear: the tail plays on while the next song starts behind it,
    // and a device that holds a second or more does not end it that much early.
    out.waitTaken(out.queuedEnd(), stopped, [&] { progress.update(); });
    const auto lead = static_cast<std::uint64_t>(decoder.format().rate) * kEndLead.count() / 1000;
    const std::uint64_t end = out.queuedEnd();
    out.waitHeard(end - std::min(end, lead), stopped, tick);
    progress.update();
    if (stopped()) out.drop();
    return true;
}

} // namespace

void Play(const MP3REQUEST* request) {
    const std::uint64_t generation = Stops::Instance().generation();
    const HWND window = request ? request->WindowHandle : nullptr;
    const char* setting = std::getenv("MP3_OUTPUT");
    // A stop after the mp3gettime that stamped the request is meant for this song too,
    // even when it came before this thread got here: the song ends at once.
    const std::int32_t stamp = request ? request->Reserved2 : 0;
    const bool stoppedBefore = stamp != 0 && stamp != Stops::stamp(generation);
    try {
        if (!stoppedBefore && !PlayFile(request ? request->FileName : nullptr, window, generation,
                                        setting ? setting : ""))
            WaitForFailureSlot(generation);
    } catch (...) {
        // Out of memory or the like: the song simply ends.
    }
    PostMessageA(window, MP3_MSG_ENDED, 0, 0);
}

void StopAll() {
    Stops::Instance().stopAll();
}

void GetTime(MP3REQUEST* request, double* lengthMs, double* unitMs) {
    if (request) request->Reserved2 = Stops::stamp(Stops::Instance().generation());
    if (!lengthMs || !unitMs) return;
    *lengthMs = 0;
    *unitMs = 0;
    SongFile file(request ? request->FileName : nullptr);
    if (file.fd() < 0) return;
    FileSource source(file.fd(), file.size());
    const SongInfo info = ScanSong(source);
    *lengthMs = info.lengthMs();
    *unitMs = info.unitMs();
}

} // namespace mp3
