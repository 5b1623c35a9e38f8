#include "params/ParamLookup.h"

#include <algorithm>

#include "params/NodeText.h"
#include "params/ValueCheck.h"

namespace lum {
namespace {

bool IsParameter(const IParamTree& tree, std::size_t index) {
    const std::string kind = GetNodeField(tree, index, FieldKind);
    return !kind.empty() && kind != "0";
}

bool Within(std::span<const ImageBlock> blocks, std::size_t address) {
    return std::any_of(blocks.begin(), blocks.end(), [&](const ImageBlock& b) {
        return address >= b.Address && address < std::size_t{b.Address} + b.Count;
    });
}

bool Differs(const ConfigImage& a, const ConfigImage& b, const ImageRange& r, std::span<const ImageBlock> within) {
    for (std::size_t x = r.Address; x < r.Address + r.Size; ++x) {
        if (a[x] != b[x] && (within.empty() || Within(within, x))) return true;
    }
    return false;
}

}  // namespace

std::string ParamPath(const IParamTree& tree, std::size_t index) {
    std::string path = GetNodeField(tree, index, FieldName);
    int level = tree.NodeLevel(index);
    for (std::size_t i = index; i-- > 0 && level > 1;) {
        if (tree.NodeLevel(i) == level - 1) {
            path = GetNodeField(tree, i, FieldName) + kPathSeparator + path;
            --level;
        }
    }
    return path;
}

LookupResult FindParameter(const IParamTree& tree, std::string_view query) {
    LookupResult result;
    std::vector<std::size_t> whole;
    std::vector<std::size_t> tail;
    std::vector<std::pair<std::size_t, std::string>> parameters;
    const std::string suffix = kPathSeparator + std::string(query);
    for (std::size_t i = 0; i < tree.NodeCount(); ++i) {
        if (!IsParameter(tree, i)) continue;
        std::string path = ParamPath(tree, i);
        if (path == query) {
            whole.push_back(i);
        } else if (path.size() > suffix.size() && path.ends_with(suffix)) {
            tail.push_back(i);
        }
        parameters.emplace_back(i, std::move(path));
    }
    const std::vector<std::size_t>& found = whole.empty() ? tail : whole;
    if (found.size() == 1 && !query.empty()) {
        result.Index = found.front();
        return result;
    }
    auto pathOf = [&](std::size_t index) {
        return std::find_if(parameters.begin(), parameters.end(), [&](const auto& p) { return p.first == index; })
            ->second;
    };
    if (found.size() > 1) {
        result.Ambiguous = true;
        for (std::size_t i : found) result.Candidates.push_back(pathOf(i));
        return result;
    }
    const std::size_t cut = query.rfind(kPathSeparator);
    const std::string_view last = cut == std::string_view::npos ? query : query.substr(cut + 1);
    for (const auto& [index, path] : parameters) {
        if (!last.empty() && path.find(last) != std::string::npos) result.Candidates.push_back(path);
    }
    if (result.Candidates.empty()) {
        for (const auto& p : parameters) result.Candidates.push_back(p.second);
    }
    return result;
}

std::optional<std::string> SetParameterValue(IParamTree& tree, std::size_t index, const std::string& text,
                                             char decimalSeparator) {
    const std::string kind = GetNodeField(tree, index, FieldKind);
    if (auto warning = CheckNewValue(kind, text, GetNodeField(tree, index, FieldMin),
                                     GetNodeField(tree, index, FieldMax), decimalSeparator)) {
        return warning;
    }
    const std::string size = GetNodeField(tree, index, FieldSize);
    if ((kind == "1" || kind == "5") && (size == "16" || size == "32")) {
        if (auto refused = CheckStoredText(text, size == "16" ? 16 : 32)) return refused;
    }
    SetNodeField(tree, index, FieldValue, text);
    return std::nullopt;
}

std::vector<ParamDifference> DifferingParameters(const IParamTree& tree, const ConfigImage& first,
                                                 const ConfigImage& second) {
    return DifferingParameters(tree, first, second, {});
}

std::vector<ParamDifference> DifferingParameters(const IParamTree& tree, const ConfigImage& first,
                                                 const ConfigImage& second, std::span<const ImageBlock> within) {
    std::vector<ParamDifference> out;
    for (std::size_t i = 0; i < tree.NodeCount(); ++i) {
        const std::optional<ImageRange> range = NodeImageRange(tree, i);
        if (!range || !Differs(first, second, *range, within)) continue;
        out.push_back({i, ParamPath(tree, i), UnpackedValue(tree, i, first).value_or(""),
                       UnpackedValue(tree, i, second).value_or("")});
    }
    return out;
}

std::vector<std::size_t> UncoveredDifferences(const IParamTree& tree, const ConfigImage& first,
                                              const ConfigImage& second, std::span<const ImageBlock> within) {
    std::array<bool, ConfigImageSize> covered{};
    for (std::size_t i = 0; i < tree.NodeCount(); ++i) {
        if (const std::optional<ImageRange> r = NodeImageRange(tree, i)) {
            std::fill_n(covered.begin() + static_cast<std::ptrdiff_t>(r->Address), r->Size, true);
        }
    }
    std::vector<std::size_t> out;
    for (std::size_t a = 0; a < ConfigImageSize; ++a) {
        if (first[a] != second[a] && !covered[a] && (within.empty() || Within(within, a))) out.push_back(a);
    }
    return out;
}

}  // namespace lum
