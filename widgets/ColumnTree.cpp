#include "widgets/ColumnTree.h"

#include <QHeaderView>

namespace lum {

namespace {
constexpr int kTextRole = Qt::UserRole + 1;
}

ColumnTree::ColumnTree(QWidget* parent) : QTreeWidget(parent) {
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
}

void ColumnTree::setColumns(const QStringList& captions, const QList<int>& widths) {
    setColumnCount(captions.size());
    setHeaderLabels(captions);
    for (int i = 0; i < widths.size() && i < captions.size(); ++i) setColumnWidth(i, widths[i]);
}

QTreeWidgetItem* ColumnTree::addNode(int level, const QString& text) {
    QTreeWidgetItem* parentItem = nullptr;
    if (level > 1 && topLevelItemCount() > 0) {
        parentItem = topLevelItem(topLevelItemCount() - 1);
        for (int depth = 2; depth < level && parentItem->childCount() > 0; ++depth)
            parentItem = parentItem->child(parentItem->childCount() - 1);
    }
    auto* item = parentItem ? new QTreeWidgetItem(parentItem) : new QTreeWidgetItem(this);
    setNodeText(item, text);
    return item;
}

QString ColumnTree::nodeText(const QTreeWidgetItem* item) { return item->data(0, kTextRole).toString(); }

void ColumnTree::setNodeText(QTreeWidgetItem* item, const QString& text) const {
    item->setData(0, kTextRole, text);
    const QStringList fields = text.split(separator_);
    for (int c = 0; c < columnCount(); ++c) item->setText(c, c < fields.size() ? fields[c] : QString());
}

QList<QTreeWidgetItem*> ColumnTree::allNodes() const {
    QList<QTreeWidgetItem*> out;
    std::function<void(QTreeWidgetItem*)> walk = [&](QTreeWidgetItem* it) {
        out.push_back(it);
        for (int i = 0; i < it->childCount(); ++i) walk(it->child(i));
    };
    for (int i = 0; i < topLevelItemCount(); ++i) walk(topLevelItem(i));
    return out;
}

}  // namespace lum
