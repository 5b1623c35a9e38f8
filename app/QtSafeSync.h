#pragma once
// Binds the serial layer's main-thread delivery (SafeSync) to the Qt event loop: a queued
// delivery request posts an event to the main thread, whose handler serves the queue; an
// error escaping a delivery (a vanished device, an error of a worker thread) goes to the
// dialogs service's error box. Main thread only; install once, after the application
// object exists.
#include "common/Dialogs.h"

namespace lum {

void InstallQtSafeSync(IDialogs& dialogs);
// Undoes InstallQtSafeSync (before the application object goes away).
void UninstallQtSafeSync();

}  // namespace lum
