#pragma once
// Columned tree: nodes carry one text of fields separated by a separator character;
// the first columns show the first fields. Read-only for the user. Main (GUI) thread only.
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

    // Adds a node carrying `text` at depth `level` (1 = top) after the last node.
    QTreeWidgetItem* addNode(int level, const QString& text);
    // The full text of a node (all fields, shown or not).
    static QString nodeText(const QTreeWidgetItem* item);
    void setNodeText(QTreeWidgetItem* item, const QString& text) const;
    // Every node in display order.
    QList<QTreeWidgetItem*> allNodes() const;

private:
    QChar separator_ = ';';
};

}  // namespace lum
