#pragma once
// The six page classes of the main window, for code that reaches the pages through `TForm1`.
// Main (GUI) thread only.
#include "app/PageDiagrams.h"
#include "app/PageJournal.h"
#include "app/PageMeasurements.h"
#include "app/PageParameters.h"
#include "app/PageService.h"
#include "app/PageTerminal.h"
#include "app/Unit1.h"
