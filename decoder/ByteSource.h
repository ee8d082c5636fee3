// Random-access bytes for the frame scanner: a file or, for tests and fuzzing, memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace mp3 {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const = 0;
    // Up to n bytes at pos, fewer near the end (none past it). Valid until the next call.
    virtual std::span<const std::uint8_t> read(std::uint64_t pos, std::size_t n) = 0;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::uint64_t size() const override { return bytes_.size(); }
    std::span<const std::uint8_t> read(std::uint64_t pos, std::size_t n) override;

private:
    std::span<const std::uint8_t> bytes_;
};

// Reads through a window at positions; never maps the file, so a file truncated while it
// is scanned only ends the scan early. Does not own the descriptor.
class FileSource final : public ByteSource {
public:
    // window: how much one read fetches at least when it goes on from the last.
    FileSource(int fd, std::uint64_t size, std::size_t window = kWindow)
        : fd_(fd), size_(size), windowBytes_(window) {}
    std::uint64_t size() const override { return size_; }
    std::span<const std::uint8_t> read(std::uint64_t pos, std::size_t n) override;

private:
    static constexpr std::size_t kWindow = 256 * 1024;
    static constexpr std::size_t kProbe = 4 * 1024;
    int fd_;
    std::uint64_t size_;
    std::size_t windowBytes_;
    std::unique_ptr<std::uint8_t[]> window_; // not zeroed: reads fill what is used
    std::size_t windowCapacity_ = 0;
    std::size_t windowSize_ = 0;
    std::uint64_t windowPos_ = 0;
};

} // namespace mp3
