// Prints the text on the Windows clipboard as UTF-8 (a helper of the window test under wine: a
// message box copies its caption, text and buttons there on Ctrl+C). Exit code 1 when there is none.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <string>

int main() {
    bool open = false;
    for (int i = 0; i < 50 && !open; ++i) {  // another process may hold the clipboard for a moment
        open = ::OpenClipboard(nullptr) != 0;
        if (!open) ::Sleep(100);
    }
    if (!open) return 1;
    std::string text;
    if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* wide = static_cast<const wchar_t*>(::GlobalLock(data))) {
            const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
            if (n > 1) {
                text.resize(static_cast<std::size_t>(n - 1));
                ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), n, nullptr, nullptr);
            }
            ::GlobalUnlock(data);
        }
    }
    ::CloseClipboard();
    std::fwrite(text.data(), 1, text.size(), stdout);
    return text.empty() ? 1 : 0;
}
