#pragma once
// Numeric display: a value with a number of decimals and a units text, aqua on black;
// in the error state it shows "---" in red bold. Main (GUI) thread only.
#include <QWidget>

namespace lum {

class NumericDisplay : public QWidget {
    Q_OBJECT
public:
    explicit NumericDisplay(QWidget* parent = nullptr);

    void setValue(double v);
    double value() const { return value_; }
    void setPrecision(int decimals);
    int precision() const { return precision_; }
    void setUnitsText(const QString& units);
    QString unitsText() const { return units_; }
    void setErrorActive(bool on);
    bool errorActive() const { return error_; }
    // What the display shows now ("---" in the error state).
    QString displayText() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    double value_ = 0;
    int precision_ = 1;  // widget default
    QString units_;
    bool error_ = false;
};

}  // namespace lum
