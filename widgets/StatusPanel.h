#pragma once
// Status bar panel: a sunken label whose plain text is drawn from cached pictures of its
// pieces (each digit on its own, each run of other characters whole), so a text that changes
// with every frame (a counter) costs a few picture copies per repaint instead of laying the
// text out and shaping it anew. It reads and lays out as the QLabel it is (text(), frame,
// left and vertically centred); rich text is not drawn. Main (GUI) thread only.
#include <QHash>
#include <QLabel>
#include <QPixmap>

namespace lum {

class StatusPanel : public QLabel {
    Q_OBJECT
public:
    explicit StatusPanel(QWidget* parent = nullptr);

    // How many pieces of text have been drawn anew since the panel was made (a counter's
    // repaint draws none once its digits and its caption are kept).
    int piecesDrawn() const { return piecesDrawn_; }

protected:
    void paintEvent(QPaintEvent* e) override;
    void changeEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    struct Piece {
        QPixmap pixmap;
        int advance = 0;
    };
    const Piece& piece(const QString& text, const QColor& background);
    QHash<QString, Piece> pieces_;
    int piecesDrawn_ = 0;
};

}  // namespace lum
