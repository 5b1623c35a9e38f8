#pragma once
// The page "Диаграммы": the strip chart of the status records. Main (GUI) thread only.
#include <QObject>

#include "widgets/StripChart.h"

namespace lum {

class IDialogs;

class DiagramsPage : public QObject {
    Q_OBJECT
  public:
    // Builds the chart filling `sheet`; its picture and CSV files are chosen through `dialogs`.
    DiagramsPage(QWidget* sheet, IDialogs& dialogs);

    StripChart* iPlot1;
};

}  // namespace lum
