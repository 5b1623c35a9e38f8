#pragma once
// Columned tree: nodes carry one text of fields separated by a separator character;
// the first columns show the first fields. Read-only for the user: whole rows are
// selected (one at a time), the selection stays visible when the tree loses the focus,
// and no text is edited in place. Main (GUI) thread only.
#include <QTreeWidget>

namespace lum {

class ColumnTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit ColumnTree(QWidget* parent = nullptr);

    void setSeparator(QChar c) { separator_ = c; }
    QChar separator() const { return separator_; }
    // Column captions and widths; the shown columns are the first fields of each node text.
    void setColumns(const QStringList& captions, const QList<int>& widths);

    // Height of every row, in pixels.
    void setRowHeight(int pixels);
    int rowHeight() const { return rowHeight_; }
    // Height of the header row, in pixels.
    void setHeaderHeight(int pixels);
    // Lines between the columns and below each row.
    void setGridLines(bool on);
    bool gridLines() const { return gridLines_; }

    // Adds a node carrying `text` at depth `level` (1 = top) after the last node.
    QTreeWidgetItem* addNode(int level, const QString& text);
    // The full text of a node (all fields, shown or not).
    static QString nodeText(const QTreeWidgetItem* item);
    void setNodeText(QTreeWidgetItem* item, const QString& text) const;
    // Every node in display order.
    QList<QTreeWidgetItem*> allNodes() const;
    // The node at a flat index in display order; nullptr outside 0 .. count - 1.
    QTreeWidgetItem* nodeAt(int index) const;
    // Flat index of a node in display order; -1 for nullptr or a node of another tree.
    int indexOf(const QTreeWidgetItem* item) const;

signals:
    // A double click anywhere in the tree's area, on a row or below the last one.
    void nodeDoubleClicked();

protected:
    // A press below the last row keeps the selection: the double click that it may begin
    // edits the selected row.
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    QChar separator_ = ';';
    int rowHeight_ = 14;
    bool gridLines_ = true;
};

}  // namespace lum
