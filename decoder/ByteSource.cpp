#include "ByteSource.h"

#include "Os.h"

#include <algorithm>

namespace mp3 {

std::span<const std::uint8_t> MemorySource::read(std::uint64_t pos, std::size_t n) {
    if (pos >= bytes_.size()) return {};
    return bytes_.subspan(pos, std::min<std::uint64_t>(n, bytes_.size() - pos));
}

std::span<const std::uint8_t> FileSource::read(std::uint64_t pos, std::size_t n) {
    if (pos >= size_) return {};
    n = static_cast<std::size_t>(std::min<std::uint64_t>(n, size_ - pos));
    if (pos < windowPos_ || pos + n > windowPos_ + windowSize_) {
        // A read that goes on from the window (a frame or so past it) takes a large one;
        // a probe elsewhere in the file (the header's table of contents) only what it needs.
        const bool onward = windowSize_ == 0
                                ? pos == 0
                                : pos >= windowPos_ && pos <= windowPos_ + windowSize_ + kProbe;
        const std::size_t want = std::max(onward ? windowBytes_ : kProbe, n);
        if (windowCapacity_ < want) {
            window_.reset(new std::uint8_t[want]);
            windowCapacity_ = want;
        }
        windowSize_ = os::ReadAt(fd_, pos, window_.get(), want);
        windowPos_ = pos;
    }
    const std::size_t offset = static_cast<std::size_t>(pos - windowPos_);
    const std::size_t avail = windowSize_ - offset;
    return {window_.get() + offset, std::min(n, avail)};
}

} // namespace mp3
