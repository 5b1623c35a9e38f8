// lumctl on Windows: SetConsoleCtrlHandler for Ctrl-C, _isatty, the COM port's friendly
// name is not looked up (the description stays empty).
#include "cli/Platform.h"

#include <io.h>
#include <windows.h>

#include <cstdio>

namespace lum::cli {
namespace {

BOOL WINAPI OnConsoleCtrl(DWORD type) {
    if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT || type == CTRL_CLOSE_EVENT) {
        RequestInterrupt();
        return TRUE;
    }
    return FALSE;
}

}  // namespace

void InstallInterruptHandler() {
    SetConsoleCtrlHandler(OnConsoleCtrl, TRUE);
    SetConsoleOutputCP(CP_UTF8);
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
