#pragma once
// The few things lumctl needs of the operating system, built by one file per system
// (cli/posix/ or cli/win32/): Ctrl-C, whether a stream is a terminal, and a short
// description of the adapter behind a serial device.
//
// Threads: InstallInterruptHandler once, at start, on the main thread; Interrupted and
// RequestInterrupt on any thread (the handler itself only sets a flag); the rest any thread.
#include <ctime>
#include <string>

namespace lum::cli {

// Ctrl-C (and a termination request) sets the interrupt flag instead of ending the process;
// the commands look at the flag between steps and stop cleanly.
void InstallInterruptHandler();
bool Interrupted();
void RequestInterrupt();

// The local date and time of a moment (localtime_r / localtime_s).
std::tm LocalTime(std::time_t t);

bool StdoutIsTerminal();
bool StderrIsTerminal();

// The adapter behind a serial device as the system names it ("FT232R USB UART", "16550A"),
// or "" when the system says nothing.
std::string PortDescription(const std::string& devicePath);

}  // namespace lum::cli
