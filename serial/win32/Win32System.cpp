// Signals, errors, thread priority, the COM names and the device-name query of the Win32 backend.
#include <cstring>
#include <string>
#include <system_error>

#include "serial/win32/Win32Common.h"

namespace lum::serial_os {

// ---- errors ------------------------------------------------------------------

OsError WinError(DWORD code) {
    return OsError{static_cast<int>(code), ErrorText(code)};
}

OsError LastWinError() {
    return WinError(::GetLastError());
}

std::uint32_t GetLastError() {
    return ::GetLastError();
}

void SetLastError(std::uint32_t code) {
    ::SetLastError(code);
}

std::string ErrorText(std::uint32_t code) {
    char* text = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result;
    if (length != 0 && text != nullptr) result.assign(text, length);
    if (text != nullptr) ::LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == ' '))
        result.pop_back();
    if (result.empty()) result = "System error " + std::to_string(code);
    return result;
}

// ---- signals -------------------------------------------------------------------

Signal::Signal(Mode mode) : impl_(std::make_unique<Impl>()) {
    impl_->event = ::CreateEventA(nullptr, mode == Mode::ManualReset, FALSE, nullptr);
    if (impl_->event == nullptr)
        throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), "CreateEventA");
}

Signal::~Signal() {
    ::CloseHandle(impl_->event);
}

void Signal::Set() {
    ::SetEvent(impl_->event);
}

void Signal::Reset() {
    ::ResetEvent(impl_->event);
}

int WaitForSignals(std::span<Signal* const> signals, std::optional<std::chrono::milliseconds> timeout) {
    HANDLE handles[MAXIMUM_WAIT_OBJECTS];
    const DWORD count = static_cast<DWORD>(signals.size());
    for (DWORD i = 0; i < count; ++i) handles[i] = signals[i]->impl().event;
    const DWORD limit = timeout ? static_cast<DWORD>(timeout->count()) : INFINITE;
    const DWORD r = ::WaitForMultipleObjects(count, handles, FALSE, limit);
    if (r == WAIT_TIMEOUT) return kWaitTimeout;
    if (r >= WAIT_OBJECT_0 && r < WAIT_OBJECT_0 + count) return static_cast<int>(r - WAIT_OBJECT_0);
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                            "WaitForMultipleObjects");
}

// ---- thread priority -------------------------------------------------------------

bool SetCurrentThreadPriority(TThreadPriority priority) {
    static constexpr int kPriority[] = {THREAD_PRIORITY_IDLE,         THREAD_PRIORITY_LOWEST,
                                        THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_NORMAL,
                                        THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST,
                                        THREAD_PRIORITY_TIME_CRITICAL};
    return ::SetThreadPriority(::GetCurrentThread(), kPriority[static_cast<int>(priority)]) != 0;
}

// ---- COM numbers and devices ---------------------------------------------------------

std::string ComDevicePath(int number) {
    if (number <= 0) return {};
    // Only COM1 to COM9 have the short name everywhere; higher numbers need the device namespace.
    const std::string name = "COM" + std::to_string(number);
    return number <= 9 ? name : "\\\\.\\" + name;
}

int ComNumberOfDevicePath(const std::string& path) {
    std::string name = path;
    if (name.rfind("\\\\.\\", 0) == 0) name.erase(0, 4);
    if (name.size() < 4 || name.size() > 6) return 0;
    for (int i = 0; i < 3; ++i) {
        if ((name[i] & ~0x20) != "COM"[i]) return 0;
    }
    const std::string digits = name.substr(3);
    if (digits.find_first_not_of("0123456789") != std::string::npos || digits[0] == '0') return 0;
    return std::stoi(digits);
}

std::uint32_t QueryDeviceNames(char* buffer, std::uint32_t size) {
    // The serial ports present, as the system registers them: one value per port, its data "COMn".
    // (A query of all MS-DOS device names also names ports that are gone, and wine lists none.)
    std::string list;
    HKEY key = nullptr;
    const LONG opened =
        ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key);
    if (opened == ERROR_SUCCESS) {
        for (DWORD i = 0;; ++i) {
            char name[256];
            char data[256];
            DWORD nameLength = sizeof name;
            DWORD dataLength = sizeof data - 1;
            DWORD type = 0;
            const LONG r = ::RegEnumValueA(key, i, name, &nameLength, nullptr, &type,
                                           reinterpret_cast<BYTE*>(data), &dataLength);
            if (r == ERROR_NO_MORE_ITEMS) break;
            if (r == ERROR_MORE_DATA) continue;  // not a port name
            if (r != ERROR_SUCCESS) {
                ::RegCloseKey(key);
                ::SetLastError(static_cast<DWORD>(r));
                return 0;
            }
            if (type != REG_SZ) continue;
            data[dataLength] = '\0';
            if (data[0] != '\0') list += std::string(data) + '\0';
        }
        ::RegCloseKey(key);
    } else if (opened != ERROR_FILE_NOT_FOUND) {  // no key: no serial port
        ::SetLastError(static_cast<DWORD>(opened));
        return 0;
    }
    list += '\0';
    if (list.size() > size) {
        ::SetLastError(kErrorInsufficientBuffer);
        return 0;
    }
    std::memcpy(buffer, list.data(), list.size());
    return static_cast<std::uint32_t>(list.size());
}

}  // namespace lum::serial_os
