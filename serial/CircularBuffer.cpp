#include "serial/CircularBuffer.h"

#include <algorithm>
#include <cstring>

namespace lum {

TCircularBuffer::TCircularBuffer(std::size_t size) : storage_(size) {}

std::size_t TCircularBuffer::Used() const {
    if (full_) return Size();
    return write_ >= read_ ? write_ - read_ : write_ + Size() - read_;
}

std::size_t TCircularBuffer::ContiguousBlock() const {
    if (full_) return Size() - read_;
    return write_ >= read_ ? write_ - read_ : Size() - read_;
}

bool TCircularBuffer::Remove(std::size_t n) {
    if (Used() < n) return false;
    if (n == 0) return true;
    read_ = (read_ + n) % Size();
    full_ = false;
    return true;
}

bool TCircularBuffer::Write(const void* data, std::size_t n) {
    if (n < 1 || Free() < n) return false;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    const std::size_t first = std::min(n, Size() - write_);
    std::memcpy(storage_.data() + write_, bytes, first);
    if (first < n) std::memcpy(storage_.data(), bytes + first, n - first);
    write_ = (write_ + n) % Size();
    if (write_ == read_) full_ = true;
    return true;
}

void TCircularBuffer::Clear() {
    read_ = 0;
    write_ = 0;
    full_ = false;
}

}  // namespace lum
