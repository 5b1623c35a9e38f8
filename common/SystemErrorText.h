#pragma once
// The texts of the C library's error numbers (errno) as the user reads them: our own Russian text
// with the system's text after it, "Доступ запрещён (Permission denied)"; an error we have no text
// for keeps the system's text alone, after its number. The one place where an errno becomes a text,
// on every system (the Win32 error codes have theirs in serial/win32/). Any thread.
#include <string>

namespace lum {

std::string ErrnoText(int error);

}  // namespace lum
