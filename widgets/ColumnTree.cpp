#include "widgets/ColumnTree.h"

#include <QMouseEvent>

#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <functional>

namespace lum {

namespace {
constexpr int kTextRole = Qt::UserRole + 1;

// Fixed-height rows with optional lines between the columns and below each row.
class GridDelegate : public QStyledItemDelegate {
public:
    explicit GridDelegate(ColumnTree* tree) : QStyledItemDelegate(tree), tree_(tree) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        s.setHeight(tree_->rowHeight());
        return s;
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        if (!tree_->gridLines()) return;
        painter->save();
        painter->setPen(QColor(192, 192, 192));
        const QRect r = option.rect;
        painter->drawLine(r.topRight(), r.bottomRight());
        painter->drawLine(r.bottomLeft(), r.bottomRight());
        painter->restore();
    }

private:
    ColumnTree* tree_;
};
}  // namespace

ColumnTree::ColumnTree(QWidget* parent) : QTreeWidget(parent) {
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setItemDelegate(new GridDelegate(this));
    header()->setSectionResizeMode(QHeaderView::Interactive);
    header()->setStretchLastSection(false);
    // The selection keeps its colours when the focus goes elsewhere.
    QPalette p = palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
        p.setColor(QPalette::Inactive, role, p.color(QPalette::Active, role));
    setPalette(p);
}

void ColumnTree::setColumns(const QStringList& captions, const QList<int>& widths) {
    setColumnCount(captions.size());
    setHeaderLabels(captions);
    for (int i = 0; i < widths.size() && i < captions.size(); ++i) setColumnWidth(i, widths[i]);
}

void ColumnTree::setRowHeight(int pixels) {
    rowHeight_ = pixels;
    doItemsLayout();
}

void ColumnTree::setHeaderHeight(int pixels) { header()->setFixedHeight(pixels); }

void ColumnTree::setGridLines(bool on) {
    gridLines_ = on;
    viewport()->update();
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

void ColumnTree::mousePressEvent(QMouseEvent* e) {
    if (!itemAt(e->position().toPoint())) {
        e->accept();  // nothing under the pointer: the selection stays as it is
        return;
    }
    QTreeWidget::mousePressEvent(e);
}

void ColumnTree::mouseDoubleClickEvent(QMouseEvent* e) {
    QTreeWidget::mouseDoubleClickEvent(e);
    emit nodeDoubleClicked();
}

QTreeWidgetItem* ColumnTree::nodeAt(int index) const {
    const auto nodes = allNodes();
    return index >= 0 && index < nodes.size() ? nodes[index] : nullptr;
}

int ColumnTree::indexOf(const QTreeWidgetItem* item) const {
    if (!item) return -1;
    return static_cast<int>(allNodes().indexOf(const_cast<QTreeWidgetItem*>(item)));
}

}  // namespace lum
