#pragma once
// Naming parameters: the path of a node as the tree shows it (group names and its own
// name joined by "/"), finding a parameter by such a path or by a final part of it, and
// the parameters whose bytes differ between two images.
//
// Pure functions over the tree they are given: the thread that owns the tree.
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "params/Packing.h"

namespace lum {

inline constexpr char kPathSeparator = '/';

// "Параметры сети/Напряжение сети/Нижний порог": the names of the node's groups, top
// first, and its own, joined by "/". std::out_of_range for a bad index.
std::string ParamPath(const IParamTree& tree, std::size_t index);

struct LookupResult {
    std::optional<std::size_t> Index;     // the one parameter named
    std::vector<std::string> Candidates;  // when none or several: paths to choose from
    bool Ambiguous = false;               // several parameters match
};

// Finds the parameter (a node that carries a value: not a group heading) named by
// `query`: its whole path, or a final part of the path that starts after a "/" (the name
// alone when it is unique: "Нижний порог напряжения АКБ ГУ"). A whole path wins over
// final parts. Several matches: Ambiguous with their paths; none: the paths of the
// parameters whose path contains the query's last part, or all parameters when none does.
LookupResult FindParameter(const IParamTree& tree, std::string_view query);

// Puts `text` into the value field of parameter `index` when it passes the edit dialog's
// checks for the row (CheckNewValue with the row's kind, min and max). Nothing when it was
// set, otherwise the message, with the tree unchanged. std::out_of_range for a bad index,
// NodeTextError for a text holding ";".
std::optional<std::string> SetParameterValue(IParamTree& tree, std::size_t index, const std::string& text,
                                             char decimalSeparator);

// A parameter whose bytes differ between two images, with the value text each image
// gives it (as unpacking would show it).
struct ParamDifference {
    std::size_t Index;
    std::string Path;
    std::string First;   // value from the first image (for a write: the value sent)
    std::string Second;  // value from the second image (for a write: the value read back)
};

// The parameters of the tree (nodes with an encoding, read-only rows included) at least
// one of whose bytes differs between the images, in tree order. When `within` is given,
// only bytes inside those ranges count.
std::vector<ParamDifference> DifferingParameters(const IParamTree& tree, const ConfigImage& first,
                                                 const ConfigImage& second);
std::vector<ParamDifference> DifferingParameters(const IParamTree& tree, const ConfigImage& first,
                                                 const ConfigImage& second, std::span<const ImageBlock> within);

// Addresses with a differing byte that no parameter of the tree covers, ascending.
std::vector<std::size_t> UncoveredDifferences(const IParamTree& tree, const ConfigImage& first,
                                              const ConfigImage& second, std::span<const ImageBlock> within);

}  // namespace lum
