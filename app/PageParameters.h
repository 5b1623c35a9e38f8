#pragma once
// The page "Параметры": the parameter tree, the edit dialog, reading and writing the
// configuration, configuration files. Main (GUI) thread only.
#include <QObject>
#include <QProgressBar>
#include <QPushButton>
#include <cstdint>

#include "app/StopControl.h"
#include "params/Packing.h"
#include "params/Transfer.h"
#include "widgets/ColumnTree.h"

namespace lum {

class TForm1;

class ParametersPage : public QObject {
    Q_OBJECT
  public:
    // Builds the page's controls on `sheet`; the window gives the link, the dialogs, the
    // edit dialog and the status bar.
    ParametersPage(QWidget* sheet, TForm1& form);

    // The configuration image the tree was last read into, opened from or written from.
    ConfigImage Image{};

    ColumnTree* TreeList1;
    QPushButton *Button1, *Button2, *Button3, *Button4;
    QProgressBar* ProgressBar1;
    // "Стоп" (and Esc) while a read or a write runs.
    StopControl* TransferStop;
    void Button1Click();  // "Сохранить": SaveConfigurationFile
    void Button2Click();  // "Открыть": OpenConfigurationFile
    void Button3Click();  // "Записать": WriteConfiguration, with the read-back check
    void Button4Click();  // "Прочитать": ReadConfiguration
    void TreeList1DblClick();  // EditParameter: the selected row in the edit dialog

    // Empties the tree; fills it from the catalogue of a model.
    void ClearTree();
    void LoadCatalog(std::uint8_t modelCode);
    // The measurement gauges' limit marks from Image (shown through the window).
    void ApplyGaugeThresholds();
    // The system's decimal separator, as the edit dialog's number check uses it.
    static char DecimalSeparator();

  private:
    void SetUpTree();
    // The transfer's options: progress on ProgressBar1 (for `shown`), the stop token.
    TransferOptions Options(TransferStage shown);
    TForm1& form_;
};

}  // namespace lum
