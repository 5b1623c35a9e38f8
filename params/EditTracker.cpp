#include "params/EditTracker.h"

#include "params/NodeText.h"

namespace lum {

void EditTracker::MarkClean(const IParamTree& tree) {
    baseline_.clear();
    const std::size_t count = tree.NodeCount();
    baseline_.reserve(count);
    for (std::size_t i = 0; i < count; ++i) baseline_.push_back(GetNodeField(tree, i, FieldValue));
}

std::vector<std::size_t> EditTracker::EditedNodes(const IParamTree& tree) const {
    std::vector<std::size_t> out;
    const std::size_t count = tree.NodeCount();
    if (count == 0) return out;
    for (std::size_t i = 0; i < count; ++i) {
        if (count != baseline_.size() || GetNodeField(tree, i, FieldValue) != baseline_[i]) out.push_back(i);
    }
    return out;
}

bool EditTracker::Edited(const IParamTree& tree) const {
    const std::size_t count = tree.NodeCount();
    if (count == 0) return false;
    if (count != baseline_.size()) return true;
    for (std::size_t i = 0; i < count; ++i) {
        if (GetNodeField(tree, i, FieldValue) != baseline_[i]) return true;
    }
    return false;
}

}  // namespace lum
