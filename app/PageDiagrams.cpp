// The "Диаграммы" page: the strip chart filling the page. Its grid is set to follow all
// Y axes by the start-up sequence.
#include <QVBoxLayout>

#include "app/FormBuilders.h"
#include "app/Unit1.h"

namespace lum {

void TForm1::BuildDiagramsPage() {
    iPlot1 = Named(new StripChart(TabSheet6), "iPlot1");
    iPlot1->setTitle(QStringLiteral("Временные диаграммы"));
    // The toolbar's picture and CSV files are chosen through the program's dialogs.
    iPlot1->setDialogs(&dialogs_);
    auto* layout = new QVBoxLayout(TabSheet6);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(iPlot1);
}

}  // namespace lum
