// The "Диаграммы" page: the strip chart filling the page, its grid following all Y axes.
#include "app/PageDiagrams.h"

#include <QVBoxLayout>

#include "app/BusyControls.h"
#include "app/FormBuilders.h"
#include "common/Dialogs.h"

namespace lum {

DiagramsPage::DiagramsPage(QWidget* sheet, IDialogs& dialogs) : QObject(sheet) {
    iPlot1 = Named(new StripChart(sheet), "iPlot1");
    iPlot1->setTitle(QStringLiteral("Временные диаграммы"));
    // The toolbar's picture and CSV files are chosen through the program's dialogs.
    iPlot1->setDialogs(&dialogs);
    iPlot1->setGridYAxisName(QStringLiteral("<All>"));
    // The chart's toolbar works on what is drawn, not on the link.
    BusyControls::MarkNeedsNoLink(iPlot1);
    auto* layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(iPlot1);
}

}  // namespace lum
