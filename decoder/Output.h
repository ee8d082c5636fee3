// The one sound output that all playbacks share, handed from song to song so that
// consecutive songs follow each other in one stream.
//
// A playback leases the output (acquire), plays into it and gives it back (release).
// Only the lease holder touches the sink, so the sink needs no lock of its own; the
// lease itself is guarded by the output's mutex. An output left unleased for about 2 s
// is closed by a helper thread. The object is never destroyed: playback threads are
// not joined and may still be using it while the process exits.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace mp3 {

struct Format {
    long rate = 0;
    int channels = 0;
    bool operator==(const Format&) const = default;
};

// One kind of output: a libout123 device, a WAV file, paced or unpaced silence.
class Sink {
public:
    virtual ~Sink() = default;
    // Starts (or restarts, for a new format) the stream; false when it cannot.
    virtual bool start(const Format& format) = 0;
    // Hands 16-bit interleaved samples over; may block while the device is full.
    // stopped tells a sink that waits for room to give up early.
    virtual bool play(const std::uint8_t* data, std::size_t bytes,
                      const std::function<bool()>& stopped) = 0;
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

class Output {
public:
    static Output& Instance();

    // Waits until this playback holds the lease, or until stopped() holds (then false).
    bool acquire(const std::function<bool()>& stopped);
    // Lease holder only. Makes sure a sink for the setting plays the format.
    void start(const std::string& setting, const Format& format);
    void play(const std::uint8_t* data, std::size_t bytes);
    void drop();
    // Samples (per channel) handed over since the process began, and of those the
    // ones heard so far.
    std::uint64_t written() const { return written_; }
    std::uint64_t heard();
    // Gives the lease back; what is queued plays on for the next song to follow.
    void release();

    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

private:
    Output() = default;
    void closeIdle(); // the helper thread's loop

    static constexpr auto kIdleClose = std::chrono::seconds(2);
    std::mutex mutex_;
    std::condition_variable changed_;
    bool leased_ = false;
    bool closerStarted_ = false;
    std::chrono::steady_clock::time_point releasedAt_;
    // Touched by the lease holder only (or by the closer while it holds the lease).
    std::unique_ptr<Sink> sink_;
    std::string setting_;
    Format format_;
    std::uint64_t written_ = 0;
    std::function<bool()> stopped_;
};

} // namespace mp3
