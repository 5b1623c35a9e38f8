// Windows: Qt's FreeType font engine draws the window's text.
//
// The pages are set in Tahoma 10 pixels high. At that size a Tahoma carries bitmaps of its own for
// each letter (wine's Tahoma, which the program registers from wine's font folder, does). Qt's
// default engine on Windows draws through GDI and cuts each letter to the box of its outline: under
// wine a letter whose bitmap stands higher than that box lost its top rows (the bold "ч" of
// "Счетчик моточасов" came out as a dash). The FreeType engine takes the box from the bitmap it
// draws, as on Linux, so the window looks the same on both systems.
#include <QByteArray>

#include "app/Application.h"

namespace lum {

void PrepareQtPlatform() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "windows:fontengine=freetype");
}

}  // namespace lum
