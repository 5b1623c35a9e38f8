#pragma once
// The parameter tree widget `TreeList1` as the configuration code sees it (IParamTree).
// Main (GUI) thread only.
#include "params/ParamTree.h"
#include "widgets/ColumnTree.h"

namespace lum {

class TreeListAdapter : public IParamTree {
public:
    explicit TreeListAdapter(ColumnTree& tree) : tree_(tree) {}

    std::size_t NodeCount() const override;
    int NodeLevel(std::size_t index) const override;
    std::string NodeText(std::size_t index) const override;
    void SetNodeText(std::size_t index, const std::string& text) override;
    void Clear() override;
    void AddNode(int level, const std::string& text) override;

private:
    QTreeWidgetItem* At(std::size_t index) const;
    ColumnTree& tree_;
};

}  // namespace lum
