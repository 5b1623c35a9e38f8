#pragma once
// Strip chart: titled plot of time channels. Main (GUI) thread only.
#include <QWidget>

namespace lum {

class StripChart : public QWidget {
    Q_OBJECT
public:
    explicit StripChart(QWidget* parent = nullptr);

    void setTitle(const QString& title);
    QString title() const { return title_; }
    // Which Y axis the grid of the data view follows ("<All>" for all of them).
    void setGridYAxisName(const QString& name);
    QString gridYAxisName() const { return gridYAxisName_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString title_;
    QString gridYAxisName_;
};

}  // namespace lum
