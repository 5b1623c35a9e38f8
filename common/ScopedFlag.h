#pragma once
// Sets a flag for the life of a scope and clears it at the end, also when an exception
// passes. Any thread, on a flag that thread owns.

namespace lum {

class ScopedFlag {
public:
    explicit ScopedFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~ScopedFlag() { flag_ = false; }
    ScopedFlag(const ScopedFlag&) = delete;
    ScopedFlag& operator=(const ScopedFlag&) = delete;

private:
    bool& flag_;
};

}  // namespace lum
