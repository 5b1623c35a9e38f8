#pragma once
// Pieces shared by the files of the Win32 backend (not part of the layer's interface).
#include "serial/SerialPlatform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace lum::serial_os {

// The one place where a system error code becomes an OsError with the system's text.
OsError WinError(DWORD code);
// The OsError of the last failed call of the calling thread (GetLastError).
OsError LastWinError();

struct Signal::Impl {
    HANDLE event = nullptr;  // CreateEventA
};

}  // namespace lum::serial_os
