// lumctl on Windows: SetConsoleCtrlHandler for Ctrl-C, the arguments from
// GetCommandLineW/CommandLineToArgvW, the console's output code page set to UTF-8,
// WriteFile for standard output, files in place opened by their UTF-16 names, _isatty; the
// COM port's friendly name is not looked up (the description stays empty).
#include "cli/Platform.h"

#include <io.h>
#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include <algorithm>

#include <cstdio>
#include <cstdlib>

namespace lum::cli {
namespace {

BOOL WINAPI OnConsoleCtrl(DWORD type) {
    if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT || type == CTRL_CLOSE_EVENT) {
        RequestInterrupt();
        return TRUE;
    }
    return FALSE;
}

std::string Utf8(const wchar_t* text, int length) {
    if (length == 0) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), size, nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string& text) {
    if (text.empty()) return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

// The system's text for an error code (the one place lumctl maps Windows errors).
std::string SystemText(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string out = n > 0 ? Utf8(text, static_cast<int>(n)) : "ошибка " + std::to_string(error);
    if (text) LocalFree(text);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ' || out.back() == '.'))
        out.pop_back();
    return out;
}

bool WriteAll(HANDLE handle, std::string_view data, DWORD& error) {
    while (!data.empty()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1u << 20));
        if (!WriteFile(handle, data.data(), chunk, &written, nullptr) || written == 0) {
            error = GetLastError();
            return false;
        }
        data.remove_prefix(written);
    }
    return true;
}

}  // namespace

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> args;
    for (int i = 0; i < count; ++i) args.push_back(Utf8(wide[i], static_cast<int>(wcslen(wide[i]))));
    LocalFree(wide);
    return args;
}

void PrepareConsole() {
    SetConsoleOutputCP(CP_UTF8);
}

bool WriteStdout(std::string_view data, std::string& reason, bool& closedPipe) {
    DWORD error = 0;
    if (WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), data, error)) return true;
    closedPipe = error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE;
    reason = SystemText(error);
    return false;
}

bool StdoutReaderGone() {
    return false;  // seen at the next write
}

void EndForClosedPipe() {
    std::_Exit(1);
}

bool WriteInPlace(const std::string& path, std::string_view data, std::string& reason) {
    const HANDLE handle = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        reason = SystemText(GetLastError());
        return false;
    }
    DWORD error = 0;
    const bool written = WriteAll(handle, data, error);
    CloseHandle(handle);
    if (!written) reason = SystemText(error);
    return written;
}

std::string PortOpenReason(int systemError) {
    switch (static_cast<DWORD>(systemError)) {
        case ERROR_FILE_NOT_FOUND: case ERROR_PATH_NOT_FOUND: case ERROR_BAD_UNIT: return "не найден";
        case ERROR_ACCESS_DENIED: case ERROR_SHARING_VIOLATION: return "занят другой программой";
        case ERROR_INVALID_FUNCTION: case ERROR_NOT_SUPPORTED: case ERROR_INVALID_HANDLE:
            return "не последовательный порт";
        default: return {};
    }
}

void InstallInterruptHandler() {
    SetConsoleCtrlHandler(OnConsoleCtrl, TRUE);
}

std::tm LocalTime(std::time_t t) {
    std::tm tm{};
    localtime_s(&tm, &t);
    return tm;
}

bool StdoutIsTerminal() {
    return _isatty(_fileno(stdout)) != 0;
}

bool StderrIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

std::string PortDescription(const std::string&) {
    return {};
}

}  // namespace lum::cli
