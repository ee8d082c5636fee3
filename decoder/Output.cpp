#include "Output.h"

#include "Os.h"

#include <out123.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <thread>

namespace mp3 {
namespace {

class DeviceSink final : public Sink {
public:
    explicit DeviceSink(std::string drivers) : drivers_(std::move(drivers)) {}
    ~DeviceSink() override {
        if (handle_) out123_del(handle_); // closes, which plays out what is queued
    }
    bool start(const Format& format) override {
        if (!handle_) {
            handle_ = out123_new();
            if (!handle_) return false;
            out123_param2(handle_, OUT123_ADD_FLAGS, OUT123_QUIET, 0, nullptr);
            if (const double seconds = os::DeviceBuffer(); seconds > 0)
                out123_param2(handle_, OUT123_DEVICEBUFFER, 0, seconds, nullptr);
            if (out123_open(handle_, drivers_.c_str(), nullptr) != OUT123_OK) return false;
        } else if (started_) {
            out123_stop(handle_); // plays out the previous format's tail
            started_ = false;
        }
        if (out123_start(handle_, format.rate, format.channels, MPG123_ENC_SIGNED_16) != OUT123_OK)
            return false;
        started_ = true;
        frameBytes_ = 2 * format.channels;
        clock_.setRate(format.rate);
        return true;
    }
    bool play(const std::uint8_t* data, std::size_t bytes) override {
        const std::size_t done = out123_play(handle_, const_cast<std::uint8_t*>(data), bytes);
        clock_.add(done / static_cast<std::size_t>(frameBytes_));
        return done == bytes;
    }
    void drop() override {
        out123_drop(handle_);
        clock_.clear();
    }
    std::uint64_t queued() override { return clock_.queued(); }
    bool live() const override { return true; }

private:
    std::string drivers_;
    out123_handle* handle_ = nullptr;
    bool started_ = false;
    int frameBytes_ = 4;
    LeadClock clock_;
};

// Paced silence: consumes samples in real time, holding at most holdMs of them.
class SilentSink final : public Sink {
public:
    explicit SilentSink(long holdMs = 100) : holdMs_(holdMs) {}
    bool start(const Format& format) override {
        frameBytes_ = 2 * format.channels;
        clock_.setRate(format.rate);
        return true;
    }
    bool play(const std::uint8_t*, std::size_t bytes) override {
        const std::uint64_t samples = bytes / static_cast<std::size_t>(frameBytes_);
        const auto hold = static_cast<std::uint64_t>(clock_.rate() * holdMs_ / 1000);
        const std::uint64_t queued = clock_.queued();
        if (queued + samples > hold)
            std::this_thread::sleep_for(std::chrono::duration<double>(
                static_cast<double>(queued + samples - hold) / static_cast<double>(clock_.rate())));
        clock_.add(samples);
        return true;
    }
    void drop() override { clock_.clear(); }
    std::uint64_t queued() override { return clock_.queued(); }
    bool live() const override { return true; }

private:
    long holdMs_;
    int frameBytes_ = 4;
    LeadClock clock_;
};

// Unpaced: takes everything at once and plays nothing.
class FastSink final : public Sink {
public:
    bool start(const Format&) override { return true; }
    bool play(const std::uint8_t*, std::size_t) override { return true; }
    void drop() override {}
    std::uint64_t queued() override { return 0; }
    bool live() const override { return false; }
};

// A WAV file of everything played, unpaced. The header is kept up to date after every
// write, so the file is complete whenever a song has ended. A WAV file holds one
// format: at a change, what was written so far is kept as PATH.1 (then PATH.2, ...)
// and PATH starts again.
class WavSink final : public Sink {
public:
    explicit WavSink(std::string path) : path_(std::move(path)) {}
    ~WavSink() override {
        if (fd_ >= 0) os::CloseFile(fd_);
    }
    bool start(const Format& format) override {
        if (fd_ >= 0 && format == format_) return true;
        if (fd_ >= 0) {
            os::CloseFile(fd_);
            fd_ = -1;
            const std::string kept = path_ + "." + std::to_string(++parts_);
            if (!os::RenameFile(path_, kept)) return false;
        }
        fd_ = os::CreateOutputFile(path_);
        if (fd_ < 0) return false;
        format_ = format;
        dataBytes_ = 0;
        return writeHeader();
    }
    bool play(const std::uint8_t* data, std::size_t bytes) override {
        if (os::WriteAt(fd_, 44 + dataBytes_, data, bytes) != bytes) return false;
        dataBytes_ += bytes;
        return writeHeader();
    }
    void drop() override {}
    std::uint64_t queued() override { return 0; }
    bool live() const override { return false; }

private:
    static void put32(std::uint8_t* p, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    bool writeHeader() {
        std::array<std::uint8_t, 44> h{};
        const auto channels = static_cast<std::uint32_t>(format_.channels);
        const auto rate = static_cast<std::uint32_t>(format_.rate);
        const auto data =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(dataBytes_, 0xFFFFFFD3u));
        std::memcpy(h.data(), "RIFF", 4);
        put32(h.data() + 4, 36 + data);
        std::memcpy(h.data() + 8, "WAVEfmt ", 8);
        put32(h.data() + 16, 16);
        put32(h.data() + 20, 1 | (channels << 16)); // PCM, channels
        put32(h.data() + 24, rate);
        put32(h.data() + 28, rate * channels * 2);
        put32(h.data() + 32, (channels * 2) | (16u << 16)); // block align, bits
        std::memcpy(h.data() + 36, "data", 4);
        put32(h.data() + 40, data);
        return os::WriteAt(fd_, 0, h.data(), h.size()) == h.size();
    }
    std::string path_;
    int fd_ = -1;
    int parts_ = 0; // kept before the current format
    Format format_;
    std::uint64_t dataBytes_ = 0;
};

} // namespace

std::unique_ptr<Sink> MakeSink(const std::string& setting, const Format& format) {
    std::unique_ptr<Sink> sink;
    if (setting == "fast")
        sink = std::make_unique<FastSink>();
    else if (setting == "silent")
        sink = std::make_unique<SilentSink>();
    else if (setting.rfind("silent:", 0) == 0)
        sink = std::make_unique<SilentSink>(std::clamp(std::atol(setting.c_str() + 7), 0L, 10000L));
    else if (setting.rfind("wav:", 0) == 0)
        sink = std::make_unique<WavSink>(setting.substr(4));
    else
        sink = std::make_unique<DeviceSink>(setting.empty() ? os::DefaultDrivers() : setting);
    if (sink->start(format)) return sink;
    sink = std::make_unique<SilentSink>();
    sink->start(format);
    return sink;
}

Output& Output::Instance() {
    static Output* output = new Output; // never destroyed, see the header
    return *output;
}

bool Output::acquire(const std::function<bool()>& stopped) {
    std::unique_lock lock(mutex_);
    if (!threadStarted_) {
        std::thread([this] {
            os::NameThread("zampolo-out");
            run();
        }).detach();
        threadStarted_ = true;
        os::AtExit([] { Instance().closeForExit(); });
    }
    changed_.wait(lock, [&] { return !leased_ || stopped(); });
    if (leased_) return false;
    leased_ = true;
    stopped_ = stopped;
    return true;
}

bool Output::play(const std::string& setting, const Format& format, const std::uint8_t* data,
                  std::size_t bytes, const std::function<std::chrono::milliseconds()>& tick) {
    using Clock = std::chrono::steady_clock;
    const auto frameBytes = static_cast<std::size_t>(2 * format.channels);
    const std::uint64_t samples = bytes / frameBytes;
    const auto block = static_cast<std::uint64_t>(format.rate * kBlock.count() / 1000);
    std::unique_lock lock(mutex_);
    if (!queue_.empty() && !queue_.back().sealed &&
        (queue_.back().setting != setting || !(queue_.back().format == format))) {
        // Another format or setting: the block so far may go, and the device thread,
        // waiting for it to fill, must hear so before anything waits for it.
        queue_.back().sealed = true;
        changed_.notify_all();
    }
    if (queuedSamples_ > 0 && queuedSamples_ + samples > kQueueBlocks * block) {
        roomAt_ = kRefillBlocks * block;
        const auto ready = [&] { return queuedSamples_ <= roomAt_ || (stopped_ && stopped_()); };
        std::uint64_t taken = takenEnd_;
        auto stuckAt = Clock::now() + kStuck;
        auto tickAt = tick ? Clock::now() : stuckAt;
        for (;;) {
            if (tick && Clock::now() >= tickAt) {
                lock.unlock();
                const auto wait = tick();
                lock.lock();
                tickAt = Clock::now() + wait;
            }
            if (room_.wait_until(lock, std::min(stuckAt, tickAt), ready)) break;
            if (takenEnd_ != taken) {
                taken = takenEnd_;
                stuckAt = Clock::now() + kStuck;
            } else if (Clock::now() >= stuckAt) {
                return false; // nothing taken for seconds
            }
        }
        if (stopped_ && stopped_()) return true;
    }
    if (queue_.empty() || queue_.back().sealed)
        queue_.push_back(Block{setting, format, {}, 0, false});
    Block& b = queue_.back();
    b.pcm.insert(b.pcm.end(), data, data + samples * frameBytes);
    b.samples += samples;
    queuedSamples_ += samples;
    queuedEnd_ += samples;
    // The device thread wakes for whole blocks only, not for every frame.
    if (b.samples >= block) {
        b.sealed = true;
        changed_.notify_all();
    }
    return true;
}

void Output::drop() {
    std::lock_guard lock(mutex_);
    dropAsked_ = true;
    dropBefore_ = queuedEnd_;
    changed_.notify_all();
}

void Output::release() {
    std::lock_guard lock(mutex_);
    stopped_ = nullptr;
    leased_ = false;
    changed_.notify_all();
}

void Output::wake() {
    std::lock_guard lock(mutex_);
    changed_.notify_all();
    room_.notify_all();
}

std::uint64_t Output::queuedEnd() {
    std::lock_guard lock(mutex_);
    return queuedEnd_;
}

std::uint64_t Output::takenEnd() {
    std::lock_guard lock(mutex_);
    return takenEnd_;
}

std::uint64_t Output::heardEnd() {
    std::lock_guard lock(mutex_);
    return heardNow();
}

std::uint64_t Output::heardNow() const {
    return takenEnd_ - std::min(takenEnd_, unheard_.queued());
}

void Output::waitTaken(std::uint64_t position, const std::function<bool()>& stopped,
                       const std::function<void()>& tick) {
    std::unique_lock lock(mutex_);
    if (!queue_.empty()) queue_.back().sealed = true; // the song's last samples
    changed_.notify_all();
    while (takenEnd_ < position && !stopped()) {
        const std::uint64_t taken = takenEnd_;
        if (!changed_.wait_for(lock, kStuck, [&] { return takenEnd_ != taken || stopped(); }))
            return;
        lock.unlock();
        tick();
        lock.lock();
    }
}

void Output::waitHeard(std::uint64_t position, const std::function<bool()>& stopped,
                       const std::function<std::chrono::milliseconds()>& tick) {
    std::unique_lock lock(mutex_);
    for (;;) {
        // Never past what the device took: a stuck device stops the wait too.
        const std::uint64_t heard = heardNow();
        if (heard >= std::min(position, takenEnd_) || stopped()) return;
        const auto left = std::chrono::duration<double>(static_cast<double>(position - heard) /
                                                        static_cast<double>(unheard_.rate()));
        lock.unlock();
        const auto next = tick();
        lock.lock();
        changed_.wait_for(lock, std::min<std::chrono::duration<double>>(left, next), stopped);
    }
}

void Output::closeForExit() {
    std::unique_lock lock(mutex_);
    exiting_ = true;
    changed_.notify_all();
    changed_.wait_for(lock, kExitWait, [this] { return closedForExit_; });
}

void Output::run() {
    using Clock = std::chrono::steady_clock;
    auto lastPlayed = Clock::now();
    std::unique_lock lock(mutex_);
    for (;;) {
        if (exiting_) {
            // Everything queued, now and later, counts as taken and is never heard.
            while (!queue_.empty()) {
                takenEnd_ += queue_.front().samples;
                queuedSamples_ -= queue_.front().samples;
                queue_.pop_front();
            }
            unheard_.clear();
            if (sink_) {
                lock.unlock();
                sink_->drop();
                sink_.reset();
                lock.lock();
                setting_.clear();
            }
            closedForExit_ = true;
            changed_.notify_all();
            room_.notify_all();
            changed_.wait(lock);
            continue;
        }
        if (dropAsked_) {
            dropAsked_ = false;
            while (!queue_.empty() && takenEnd_ + queue_.front().samples <= dropBefore_) {
                takenEnd_ += queue_.front().samples;
                queuedSamples_ -= queue_.front().samples;
                queue_.pop_front();
            }
            lock.unlock();
            if (sink_) sink_->drop();
            lock.lock();
            unheard_.clear();
            changed_.notify_all();
            room_.notify_all();
            continue;
        }
        if (!queue_.empty() && !queue_.front().sealed) {
            changed_.wait(lock); // a song is still filling it
            continue;
        }
        if (queue_.empty()) {
            const bool idleLive = sink_ && sink_->live();
            if (idleLive && Clock::now() >= lastPlayed + kIdleClose) {
                lock.unlock();
                sink_.reset(); // plays out the tail, long since heard
                lock.lock();
                setting_.clear();
                continue;
            }
            if (sink_) unheard_.set(format_.rate, std::min(takenEnd_, sink_->queued()));
            if (idleLive)
                changed_.wait_until(lock, lastPlayed + kIdleClose);
            else
                changed_.wait(lock);
            continue;
        }
        Block b = std::move(queue_.front());
        queue_.pop_front();
        queuedSamples_ -= b.samples;
        lock.unlock();
        if (!sink_ || b.setting != setting_) {
            sink_.reset(); // plays out the old stream before the new one opens
            sink_ = MakeSink(b.setting, b.format);
            setting_ = b.setting;
        } else if (!(b.format == format_) && !sink_->start(b.format)) {
            sink_ = MakeSink(b.setting, b.format);
        }
        format_ = b.format;
        if (!sink_->play(b.pcm.data(), b.pcm.size())) {
            // The device went away mid-song: go on in paced silence; the device is
            // tried again once the output has been idle and closed.
            sink_ = MakeSink("silent", b.format);
        }
        lastPlayed = Clock::now();
        const std::uint64_t queued = sink_->queued();
        lock.lock();
        takenEnd_ += b.samples;
        unheard_.set(format_.rate, std::min(takenEnd_, queued));
        changed_.notify_all();
        if (queuedSamples_ <= roomAt_) room_.notify_all();
    }
}

} // namespace mp3
