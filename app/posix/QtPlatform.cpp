// Linux: Qt's defaults (the platform from the session, FreeType for the text).
#include "app/Application.h"

namespace lum {

void PrepareQtPlatform() {}

}  // namespace lum
