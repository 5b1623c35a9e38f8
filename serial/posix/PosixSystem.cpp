// Signals, errors, thread priority, the COM number mapping and the device-name query of the POSIX
// backend.
#include <fcntl.h>
#include <netdb.h>
#include <linux/serial.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>
#include <system_error>

#include "common/SystemErrorText.h"
#include "serial/posix/PosixCommon.h"

namespace lum::serial_os {

// ---- errors ------------------------------------------------------------------

// The one place where an errno becomes an OsError: our Russian text with the system's after it.
OsError ErrnoError(int code) {
    return OsError{code, ErrnoText(code)};
}

OsError LastErrnoError() {
    return ErrnoError(errno);
}

OsError ResolverError(int code) {
    const std::string system = ::gai_strerror(code);
    if (code == EAI_NONAME || code == EAI_NODATA || code == EAI_FAIL || code == EAI_AGAIN)
        return OsError{code, "Узел не найден (" + system + ")"};
    return OsError{code, "Ошибка поиска узла (" + system + ")"};
}

namespace {
thread_local std::uint32_t t_lastError = 0;
}

std::uint32_t GetLastError() {
    return t_lastError;
}
void SetLastError(std::uint32_t code) {
    t_lastError = code;
}

std::string ErrorText(std::uint32_t code) {
    // The device-name query reports a short buffer with the code the callers know it by; the system's
    // own number 122 means something else here.
    if (code == kErrorInsufficientBuffer)
        return "Область данных, переданная системному вызову, слишком мала (The data area passed to a system call is too small.)";
    return ErrnoError(static_cast<int>(code)).text;
}

// ---- signals -------------------------------------------------------------------

Signal::Signal(Mode mode) : impl_(std::make_unique<Impl>()) {
    impl_->autoReset = mode == Mode::AutoReset;
    impl_->fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (impl_->fd < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
}

Signal::~Signal() {
    ::close(impl_->fd);
}

void Signal::Set() {
    const std::uint64_t one = 1;
    // A full counter (EAGAIN) is still "set"; nothing else can fail on a valid eventfd.
    while (::write(impl_->fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void Signal::Reset() {
    std::uint64_t value;
    while (::read(impl_->fd, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

bool TakeSignal(Signal::Impl& s) {
    std::uint64_t value;
    for (;;) {
        if (::read(s.fd, &value, sizeof value) == static_cast<ssize_t>(sizeof value)) return true;
        if (errno != EINTR) return false;
    }
}

int PollUntil(std::vector<pollfd>& fds, std::optional<std::chrono::steady_clock::time_point> deadline) {
    using clock = std::chrono::steady_clock;
    for (;;) {
        int timeoutMs = -1;
        if (deadline) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - clock::now());
            timeoutMs = left.count() > 0 ? static_cast<int>(left.count()) : 0;
        }
        const int n = ::poll(fds.data(), fds.size(), timeoutMs);
        if (n >= 0 || errno != EINTR) return n;
    }
}

int WaitForSignals(std::span<Signal* const> signals, std::optional<std::chrono::milliseconds> timeout) {
    std::optional<std::chrono::steady_clock::time_point> deadline;
    if (timeout) deadline = std::chrono::steady_clock::now() + *timeout;
    std::vector<pollfd> fds;
    for (Signal* s : signals) fds.push_back(pollfd{s->impl().fd, POLLIN, 0});
    for (;;) {
        for (auto& f : fds) f.revents = 0;
        const int n = PollUntil(fds, deadline);
        if (n < 0) throw std::system_error(errno, std::generic_category(), "poll");
        if (n == 0) return kWaitTimeout;
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (!(fds[i].revents & POLLIN)) continue;
            Signal::Impl& s = signals[i]->impl();
            if (!s.autoReset || TakeSignal(s)) return static_cast<int>(i);
        }
        // Another waiter took an auto-reset signal first: wait on.
    }
}

// ---- thread priority -------------------------------------------------------------

bool SetCurrentThreadPriority(TThreadPriority priority) {
    // Linux keeps a nice value per thread; raising it above normal needs the right to do so.
    static constexpr int kNice[] = {19, 10, 5, 0, -5, -10, -20};
    const int nice = kNice[static_cast<int>(priority)];
    return ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), nice) == 0;
}

// ---- COM numbers and devices ---------------------------------------------------------

namespace {

struct DeviceFamily {
    const char* prefix;
    int firstNumber;
};
constexpr DeviceFamily kFamilies[] = {{"/dev/ttyS", 1}, {"/dev/ttyUSB", 33}, {"/dev/ttyACM", 65}};
constexpr int kPerFamily = 32;

bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

// A ttyS node exists for every possible UART; it is a port only when the kernel found one behind it.
bool IsRealUart(int index) {
    std::ifstream type("/sys/class/tty/ttyS" + std::to_string(index) + "/type");
    int value = 0;
    if (type >> value) return value != 0;
    const std::string path = "/dev/ttyS" + std::to_string(index);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    serial_struct info{};
    const bool real = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    ::close(fd);
    return real;
}

}  // namespace

std::string ComDevicePath(int number) {
    for (const auto& f : kFamilies) {
        if (number >= f.firstNumber && number < f.firstNumber + kPerFamily)
            return f.prefix + std::to_string(number - f.firstNumber);
    }
    return {};
}

int ComNumberOfDevicePath(const std::string& path) {
    for (const auto& f : kFamilies) {
        const std::string prefix = f.prefix;
        if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string digits = path.substr(prefix.size());
        if (digits.size() > 2 || digits.find_first_not_of("0123456789") != std::string::npos) return 0;
        if (digits.size() == 2 && digits[0] == '0') return 0;
        const int index = std::stoi(digits);
        return index < kPerFamily ? f.firstNumber + index : 0;
    }
    return 0;
}

std::uint32_t QueryDeviceNames(char* buffer, std::uint32_t size) {
    std::string list;
    for (int i = 0; i < kPerFamily; ++i) {
        if (Exists("/dev/ttyS" + std::to_string(i)) && IsRealUart(i))
            list += "COM" + std::to_string(kFamilies[0].firstNumber + i) + '\0';
    }
    for (const auto& f : {kFamilies[1], kFamilies[2]}) {
        for (int i = 0; i < kPerFamily; ++i) {
            if (Exists(f.prefix + std::to_string(i)))
                list += "COM" + std::to_string(f.firstNumber + i) + '\0';
        }
    }
    list += '\0';
    if (list.size() > size) {
        SetLastError(kErrorInsufficientBuffer);
        return 0;
    }
    std::memcpy(buffer, list.data(), list.size());
    return static_cast<std::uint32_t>(list.size());
}

}  // namespace lum::serial_os
