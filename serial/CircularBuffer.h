#pragma once
// The output ring of a port: the main thread writes outgoing bytes in, the write thread takes them out
// in contiguous blocks. A full flag tells a full ring from an empty one when both positions are equal.
//
// Threads: not synchronised itself; the port core guards every access with its write lock.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace lum {

class TCircularBuffer {
  public:
    explicit TCircularBuffer(std::size_t size);

    std::size_t Size() const { return storage_.size(); }
    std::size_t Used() const;
    std::size_t Free() const { return Size() - Used(); }
    // Bytes that can be taken in one piece from the read position.
    std::size_t ContiguousBlock() const;
    // Where that piece starts.
    const std::uint8_t* BlockStart() const { return storage_.data() + read_; }

    // Takes n bytes from the read position; false (and nothing taken) when fewer are held.
    bool Remove(std::size_t n);
    // Copies all n bytes in, or nothing: false when n is 0 or more than Free().
    bool Write(const void* data, std::size_t n);
    void Clear();

  private:
    std::vector<std::uint8_t> storage_;
    std::size_t read_ = 0;
    std::size_t write_ = 0;
    bool full_ = false;
};

}  // namespace lum
