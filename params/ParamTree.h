#pragma once
// The parameter tree as the configuration code sees it: an ordered list of nodes in
// display order (each node before its children), each with a depth and one node text.
// The columned tree widget of the main window implements IParamTree; ParamTreeModel is
// the plain in-memory tree used by the controller simulator and the tests.
//
// Threads: an IParamTree is not synchronised; one thread uses it at a time (the main
// thread for the window's tree). LoadCatalog, GetNodeField and SetNodeField run on the
// thread that owns the tree.
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "params/Catalog.h"

namespace lum {

class IParamTree {
  public:
    virtual ~IParamTree() = default;

    // Number of nodes.
    virtual std::size_t NodeCount() const = 0;
    // Depth (1 = top level) and text of the node at a flat index 0..NodeCount()-1 in
    // display order; an index outside that range raises std::out_of_range.
    virtual int NodeLevel(std::size_t index) const = 0;
    virtual std::string NodeText(std::size_t index) const = 0;
    // Replaces the whole text of a node; std::out_of_range for a bad index.
    virtual void SetNodeText(std::size_t index, const std::string& text) = 0;
    // Removes every node.
    virtual void Clear() = 0;
    // Appends a node at the end of the display order: level 1 makes it the last top-level
    // node, level n > 1 the last child of the last node of level n - 1. A level below 1,
    // or more than one deeper than the last node's (or above 1 for an empty tree), raises
    // std::invalid_argument and adds nothing.
    virtual void AddNode(int level, const std::string& text) = 0;
};

// Field k of node `index` (empty beyond the end of its text); std::out_of_range for a
// bad index.
std::string GetNodeField(const IParamTree& tree, std::size_t index, int k);

// Replaces field k of node `index`, keeping the other fields (see SetTextField).
// std::out_of_range for a bad index, NodeTextError for a value holding ";".
void SetNodeField(IParamTree& tree, std::size_t index, int k, const std::string& text);

// Appends one node per catalogue row, in row order, each under the last node one level
// up. Does not clear the tree first. A catalogue whose first row is not at level 1 or
// whose level rises by more than one from a row to the next raises std::invalid_argument
// before any node is added.
void LoadCatalog(IParamTree& tree, std::span<const TParam_record> catalog);

// The in-memory tree.
class ParamTreeModel : public IParamTree {
  public:
    std::size_t NodeCount() const override { return nodes_.size(); }
    int NodeLevel(std::size_t index) const override;
    std::string NodeText(std::size_t index) const override;
    void SetNodeText(std::size_t index, const std::string& text) override;
    void Clear() override { nodes_.clear(); }
    void AddNode(int level, const std::string& text) override;

    // Flat index of the parent of a node; nothing for a top-level node.
    std::optional<std::size_t> ParentOf(std::size_t index) const;

  private:
    struct Node {
        int level;
        std::string text;
    };
    const Node& At(std::size_t index) const;
    std::vector<Node> nodes_;
};

}  // namespace lum
