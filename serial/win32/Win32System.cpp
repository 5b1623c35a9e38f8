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

namespace {

// The system's message for `code` in `language` (0: the system's choice), as UTF-8; "" when it has
// none in that language.
std::string SystemMessage(DWORD code, DWORD language) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, language, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string result;
    if (length != 0 && text != nullptr) {
        const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
        result.resize(static_cast<std::size_t>(n));
        ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), result.data(), n, nullptr, nullptr);
    }
    if (text != nullptr) ::LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == ' '))
        result.pop_back();
    return result;
}

// Our Russian texts of the errors a serial port or a file meets, for systems without Russian messages.
struct Known {
    DWORD code;
    const char* russian;
};
constexpr Known kKnown[] = {
    {ERROR_FILE_NOT_FOUND, "Не удается найти указанный файл."},
    {ERROR_PATH_NOT_FOUND, "Не удается найти указанный путь."},
    {ERROR_ACCESS_DENIED, "Отказано в доступе."},
    {ERROR_INVALID_HANDLE, "Неверный дескриптор."},
    {ERROR_NOT_READY, "Устройство не готово."},
    {ERROR_BAD_COMMAND, "Устройство не опознает команду."},
    {ERROR_GEN_FAILURE, "Присоединенное к системе устройство не работает."},
    {ERROR_SHARING_VIOLATION, "Процесс не может получить доступ к файлу, так как этот файл занят другим процессом."},
    {ERROR_INVALID_PARAMETER, "Параметр задан неверно."},
    {ERROR_DISK_FULL, "Недостаточно места на диске."},
    {ERROR_SEM_TIMEOUT, "Превышен таймаут семафора."},
    {ERROR_INSUFFICIENT_BUFFER, "Область данных, переданная системному вызову, слишком мала."},
    {ERROR_ALREADY_EXISTS, "Невозможно создать файл, так как он уже существует."},
    {ERROR_OPERATION_ABORTED, "Операция ввода/вывода была прервана из-за завершения потока команд или по запросу приложения."},
    {ERROR_IO_DEVICE, "Запрос не был выполнен из-за ошибки устройства ввода/вывода."},
    {ERROR_DEVICE_NOT_CONNECTED, "Устройство не подключено."},
    // Winsock (network ports)
    {10054, "Удаленный хост принудительно разорвал существующее подключение."},     // WSAECONNRESET
    {10060, "Попытка установить соединение была безуспешной: время ожидания истекло."},  // WSAETIMEDOUT
    {10061, "Подключение не установлено, т.к. конечный компьютер отверг запрос на подключение."},  // WSAECONNREFUSED
    {10065, "Узел недоступен."},                                                  // WSAEHOSTUNREACH
    {11001, "Узел не найден."},                                                   // WSAHOST_NOT_FOUND
};

}  // namespace

// The one place where a Win32 error code becomes the text the user reads: the system's Russian
// message where it has one, else our Russian text with the system's after it.
std::string ErrorText(std::uint32_t code) {
    const std::string russian = SystemMessage(code, MAKELANGID(LANG_RUSSIAN, SUBLANG_RUSSIAN_RUSSIA));
    if (!russian.empty()) return russian;
    const std::string system = SystemMessage(code, 0);
    const std::string after = system.empty() ? std::string() : " (" + system + ")";
    for (const Known& k : kKnown) {
        if (k.code == code) return std::string(k.russian) + after;
    }
    return "Системная ошибка " + std::to_string(code) + after;
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
