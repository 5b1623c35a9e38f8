#include "app/TreeListAdapter.h"

#include <stdexcept>

namespace lum {

namespace {
int Depth(const QTreeWidgetItem* item) {
    int depth = 1;
    for (auto* p = item->parent(); p; p = p->parent()) ++depth;
    return depth;
}
}  // namespace

std::size_t TreeListAdapter::NodeCount() const { return static_cast<std::size_t>(tree_.allNodes().size()); }

QTreeWidgetItem* TreeListAdapter::At(std::size_t index) const {
    const auto nodes = tree_.allNodes();
    if (index >= static_cast<std::size_t>(nodes.size()))
        throw std::out_of_range("Нет узла дерева с номером " + std::to_string(index));
    return nodes[static_cast<qsizetype>(index)];
}

int TreeListAdapter::NodeLevel(std::size_t index) const { return Depth(At(index)); }

std::string TreeListAdapter::NodeText(std::size_t index) const {
    return ColumnTree::nodeText(At(index)).toStdString();
}

void TreeListAdapter::SetNodeText(std::size_t index, const std::string& text) {
    tree_.setNodeText(At(index), QString::fromStdString(text));
}

void TreeListAdapter::Clear() { tree_.clear(); }

void TreeListAdapter::AddNode(int level, const std::string& text) {
    const auto nodes = tree_.allNodes();
    const int lastLevel = nodes.isEmpty() ? 0 : Depth(nodes.back());
    if (level < 1 || level > lastLevel + 1)
        throw std::invalid_argument("Узел уровня " + std::to_string(level) + " нельзя добавить после узла уровня " +
                                    std::to_string(lastLevel));
    tree_.addNode(level, QString::fromStdString(text));
}

}  // namespace lum
