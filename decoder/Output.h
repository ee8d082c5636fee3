// The one sound output that all playbacks share, so that consecutive songs follow
// each other in one stream.
//
// A device thread owns the sink (libout123's handles want one thread) and writes it
// in blocks of about 50 ms: big enough to cost little CPU, small enough that a drop
// waits at most about two of the device's own 50 ms cycles.
//
// A playback leases the output (acquire), queues its samples (play, which waits
// while the queue is full) and gives the lease back (release). Its tail stays queued
// for the next song to follow; drop() discards what is queued instead. The device
// closes after about 2 s with nothing to play, so that it stays open from song to
// song. When the process ends through exit, the device is closed first (dropping what
// is queued), waiting at most kExitWait: a process that ends with a live sound stream
// may crash in the system's teardown. The object is never destroyed: playback threads
// are not joined and may still use it while the process exits.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace mp3 {

struct Format {
    long rate = 0;
    int channels = 0;
    bool operator==(const Format&) const = default;
};

// What a device that plays in real time still holds: what was handed over, less what
// the clock says it has played since. An underrun starts the clock again.
class LeadClock {
public:
    using Clock = std::chrono::steady_clock;
    void setRate(long rate) { set(rate, 0); }
    void clear() { set(rate_, 0); }
    // The device holds `samples` now.
    void set(long rate, std::uint64_t samples) {
        rate_ = rate > 0 ? rate : 1;
        pending_ = samples;
        at_ = Clock::now();
    }
    std::uint64_t queued() const {
        const double elapsed = std::chrono::duration<double>(Clock::now() - at_).count();
        const auto played = static_cast<std::uint64_t>(elapsed * static_cast<double>(rate_));
        return pending_ > played ? pending_ - played : 0;
    }
    void add(std::uint64_t samples) { set(rate_, queued() + samples); }
    long rate() const { return rate_; }

private:
    long rate_ = 1;
    std::uint64_t pending_ = 0;
    Clock::time_point at_ = Clock::now();
};

// One kind of output: a libout123 device, a WAV file, paced or unpaced silence.
// Used by the device thread only.
class Sink {
public:
    virtual ~Sink() = default;
    // Starts (or restarts, for a new format) the stream; false when it cannot.
    virtual bool start(const Format& format) = 0;
    // Hands 16-bit interleaved samples over; may block while the device is full.
    virtual bool play(const std::uint8_t* data, std::size_t bytes) = 0;
    // Forgets what is queued and not yet heard.
    virtual void drop() = 0;
    // Samples (per channel) handed over but not yet heard, as well as it can tell.
    virtual std::uint64_t queued() = 0;
    // Whether the sink sounds in real time (and so is closed when idle).
    virtual bool live() const = 0;
};

// The sink that an MP3_OUTPUT setting names: "wav:PATH", "fast", "silent", a libout123
// driver name, or empty for the default device order. A device that does not open
// becomes paced silence.
std::unique_ptr<Sink> MakeSink(const std::string& setting, const Format& format);

// Positions count samples (per channel) of the whole stream since the process began.
class Output {
public:
    static Output& Instance();

    // Waits until this playback holds the lease, or until stopped() holds (then false).
    bool acquire(const std::function<bool()>& stopped);
    // Lease holder only. Queues samples for the setting's sink in that format; waits
    // while the queue is full, but not once stopped() holds. While it waits, tick() is
    // called when the time it asked for has passed; it returns how long until it wants
    // to be called again. False when the device has taken nothing for seconds (a stuck
    // driver): the song gives up.
    bool play(const std::string& setting, const Format& format, const std::uint8_t* data,
              std::size_t bytes, const std::function<std::chrono::milliseconds()>& tick = nullptr);
    // Lease holder only. Discards everything queued so far, here and in the device.
    void drop();
    // Gives the lease back.
    void release();
    // Wakes every playback waiting here, so that it sees a stop at once.
    void wake();

    // The end of what has been queued, of what the device has taken, and of what has
    // been heard.
    std::uint64_t queuedEnd();
    std::uint64_t takenEnd();
    std::uint64_t heardEnd();
    // Waits until the device has taken everything up to position, a stop, or a stuck
    // device; calls tick() after each block the device takes meanwhile.
    void waitTaken(std::uint64_t position, const std::function<bool()>& stopped,
                   const std::function<void()>& tick);
    // Waits until what has been heard reaches position (at most what the device has
    // taken), or a stop; calls tick() when the time it asked for has passed.
    void waitHeard(std::uint64_t position, const std::function<bool()>& stopped,
                   const std::function<std::chrono::milliseconds()>& tick);

    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

private:
    struct Block {
        std::string setting;
        Format format;
        std::vector<std::uint8_t> pcm;
        std::uint64_t samples = 0;
        bool sealed = false; // full, or the song's last: the device may take it
    };

    Output() = default;
    void run(); // the device thread
    // At exit: the device thread closes the device; waits until it has, at most kExitWait.
    void closeForExit();
    // What has been heard by now: what the device has taken, less what it held when the
    // device thread last looked, run down in real time since.
    std::uint64_t heardNow() const;

    static constexpr auto kIdleClose = std::chrono::seconds(2);
    static constexpr auto kExitWait = std::chrono::seconds(2);
    static constexpr auto kBlock = std::chrono::milliseconds(50);
    // A full queue holds this many blocks and takes more once the device has left this
    // few: the playback wakes for a refill only every 600 ms.
    static constexpr std::uint64_t kQueueBlocks = 16;
    static constexpr std::uint64_t kRefillBlocks = 4;
    static constexpr auto kStuck = std::chrono::seconds(5);
    std::mutex mutex_;
    std::condition_variable changed_;
    // A playback waiting for room in a full queue; woken only once there is room, so
    // that it sleeps through the blocks the device takes meanwhile.
    std::condition_variable room_;
    std::uint64_t roomAt_ = 0; // the queue has room at this many samples or fewer
    bool leased_ = false;
    bool threadStarted_ = false;
    bool exiting_ = false;
    bool closedForExit_ = false;
    std::deque<Block> queue_;
    std::uint64_t queuedSamples_ = 0; // in queue_
    std::uint64_t queuedEnd_ = 0;
    std::uint64_t takenEnd_ = 0;
    LeadClock unheard_; // of what the device has taken
    bool dropAsked_ = false;
    std::uint64_t dropBefore_ = 0;  // the drop is of everything queued before this
    std::function<bool()> stopped_; // the lease holder's
    // The device thread's own.
    std::unique_ptr<Sink> sink_;
    std::string setting_;
    Format format_;
};

} // namespace mp3
