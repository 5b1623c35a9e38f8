#pragma once
// Whether the parameter tree holds values the user would lose: the value fields as they
// stood at the last catalogue load, read, open, save or verified write (the baseline),
// compared with the tree now.
//
// Threads: the thread that owns the tree (the main thread for the window's tree).
#include <cstddef>
#include <string>
#include <vector>

#include "params/ParamTree.h"

namespace lum {

class EditTracker {
  public:
    // Takes the tree's values as the baseline: nothing is edited now.
    void MarkClean(const IParamTree& tree);
    // True when a value field differs from the baseline, or the tree has other nodes
    // than it had then. An empty tree holds nothing to lose.
    bool Edited(const IParamTree& tree) const;
    // Flat indices of the nodes whose value differs from the baseline (all nodes when
    // the tree's shape changed), in tree order.
    std::vector<std::size_t> EditedNodes(const IParamTree& tree) const;

  private:
    std::vector<std::string> baseline_;
};

}  // namespace lum
