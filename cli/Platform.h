#pragma once
// The few things lumctl needs of the operating system, built by one file per system
// (cli/posix/ or cli/win32/): Ctrl-C, the arguments and the console in UTF-8, standard
// output written and checked, files written in place, whether a stream is a terminal,
// and a short description of the adapter behind a serial device.
//
// Threads: InstallInterruptHandler and PrepareConsole once, at start, on the main thread;
// Interrupted and RequestInterrupt on any thread (the handler itself only sets a flag);
// WriteStdout from one thread at a time; the rest any thread.
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace lum::cli {

// Ctrl-C (and a termination request) sets the interrupt flag instead of ending the process;
// the commands look at the flag between steps and stop cleanly.
void InstallInterruptHandler();
bool Interrupted();
void RequestInterrupt();

// The local date and time of a moment (localtime_r / localtime_s).
std::tm LocalTime(std::time_t t);

// The arguments in UTF-8: on Windows taken from the system as UTF-16 (the ANSI argv loses
// every letter outside the code page), elsewhere argv as it is.
std::vector<std::string> Utf8Arguments(int argc, char** argv);
// The console shows UTF-8 (Windows: its output code page); nothing to do elsewhere.
void PrepareConsole();

// Writes all of `data` to standard output. On failure: false, the system's reason, and
// `closedPipe` when the reader of a pipe has gone.
bool WriteStdout(std::string_view data, std::string& reason, bool& closedPipe);
// Standard output is a pipe whose reader has gone (seen without writing).
bool StdoutReaderGone();
// Ends the program as a closed pipe ends a shell command (POSIX: SIGPIPE, status 141).
[[noreturn]] void EndForClosedPipe();

// Writes `data` in place to an existing file that is not a regular one (a device, a FIFO),
// the path in UTF-8; false and the system's reason when opening or writing fails.
bool WriteInPlace(const std::string& path, std::string_view data, std::string& reason);

// Why a serial device could not be opened, from the system's error code: "не найден",
// "занят другой программой", "не последовательный порт", "нет доступа"; "" for another code.
std::string PortOpenReason(int systemError);

bool StdoutIsTerminal();
bool StderrIsTerminal();

// The adapter behind a serial device as the system names it ("FT232R USB UART", "16550A"),
// or "" when the system says nothing.
std::string PortDescription(const std::string& devicePath);

}  // namespace lum::cli
