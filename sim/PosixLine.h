#pragma once
// The simulator's lines on POSIX: a new pseudo-terminal, or a serial device opened raw at
// 9600 baud, 8 data bits, no parity, one stop bit. Raise std::system_error with the OS
// text when the line cannot be opened.
#include <memory>
#include <string>

#include "sim/ControllerCore.h"
#include "sim/LocalClock.h"  // the clock programs on this line start with
#include "sim/SimLine.h"

namespace lum::sim {

class PosixLine : public ISimLine {
  public:
    // A new pseudo-terminal; Path() is its slave, set raw so that nothing echoes back.
    static std::unique_ptr<PosixLine> OpenPty();
    // An existing serial device.
    static std::unique_ptr<PosixLine> OpenDevice(const std::string& path);
    ~PosixLine() override;

    std::string Read(std::chrono::milliseconds maxWait) override;
    void Write(std::string_view bytes) override;
    void Interrupt() override;
    std::string Path() const override { return path_; }

    // The descriptor whose write ends a Read; a signal handler may write one byte to it.
    int InterruptFd() const { return wake_[1]; }
    // Characters dropped because the line did not take them.
    long long DroppedBytes() const { return dropped_; }

  private:
    PosixLine(int fd, std::string path);
    void WaitForWake(int timeoutMs);

    int fd_ = -1;
    int wake_[2] = {-1, -1};
    std::string path_;
    long long dropped_ = 0;
};

// Makes `linkPath` a symbolic link to `target`, replacing an older symbolic link (never a
// file). Raises std::system_error.
void MakeLink(const std::string& linkPath, const std::string& target);

}  // namespace lum::sim
