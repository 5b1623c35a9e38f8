#include "params/ParamTree.h"

#include <stdexcept>

#include "params/NodeText.h"

namespace lum {

std::string GetNodeField(const IParamTree& tree, std::size_t index, int k) {
    return GetTextField(tree.NodeText(index), k);
}

void SetNodeField(IParamTree& tree, std::size_t index, int k, const std::string& text) {
    tree.SetNodeText(index, SetTextField(tree.NodeText(index), k, text));
}

void LoadCatalog(IParamTree& tree, std::span<const TParam_record> catalog) {
    // Each row goes under the last node one level up, so a row may be at most one level
    // deeper than the row before it; check the whole catalogue before touching the tree.
    int previous = 0;
    for (std::size_t i = 0; i < catalog.size(); ++i) {
        const int level = catalog[i].Level;
        if (level < 1 || level > previous + 1) {
            throw std::invalid_argument("Строка " + std::to_string(i) + " каталога «" +
                                        std::string(catalog[i].Name) + "»: недопустимый уровень " +
                                        std::to_string(level));
        }
        previous = level;
    }
    for (const TParam_record& row : catalog) tree.AddNode(row.Level, MakeNodeText(row));
}

const ParamTreeModel::Node& ParamTreeModel::At(std::size_t index) const {
    if (index >= nodes_.size()) {
        throw std::out_of_range("Узел " + std::to_string(index) + " вне дерева параметров из " +
                                std::to_string(nodes_.size()) + " узлов");
    }
    return nodes_[index];
}

int ParamTreeModel::NodeLevel(std::size_t index) const {
    return At(index).level;
}

std::string ParamTreeModel::NodeText(std::size_t index) const {
    return At(index).text;
}

void ParamTreeModel::SetNodeText(std::size_t index, const std::string& text) {
    At(index);
    nodes_[index].text = text;
}

void ParamTreeModel::AddNode(int level, const std::string& text) {
    const int deepest = nodes_.empty() ? 1 : nodes_.back().level + 1;
    if (level < 1 || level > deepest) {
        throw std::invalid_argument("Узел уровня " + std::to_string(level) +
                                    " не может следовать за узлом уровня " +
                                    std::to_string(nodes_.empty() ? 0 : nodes_.back().level));
    }
    nodes_.push_back({level, text});
}

std::optional<std::size_t> ParamTreeModel::ParentOf(std::size_t index) const {
    const int level = At(index).level;
    for (std::size_t i = index; i-- > 0;) {
        if (nodes_[i].level == level - 1) return i;
    }
    return std::nullopt;
}

}  // namespace lum
