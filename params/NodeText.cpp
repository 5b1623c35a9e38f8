#include "params/NodeText.h"

#include <algorithm>
#include <cstddef>

namespace lum {

std::string MakeNodeText(const TParam_record& row) {
    std::string text;
    text.reserve(row.Name.size() + row.Value.size() + row.Unit.size() + row.Min.size() + row.Max.size() + 16);
    for (std::string_view part : {row.Name, row.Value, row.Unit, row.Min, row.Max}) {
        text += part;
        text += NodeSeparator;
    }
    text += std::to_string(row.Size);
    text += NodeSeparator;
    text += std::to_string(row.Address);
    text += NodeSeparator;
    text += std::to_string(row.ValueKind);
    return text;
}

namespace {

// Start of field k and its length, or npos when the text has fewer fields.
struct FieldSpan {
    std::size_t begin = std::string_view::npos;
    std::size_t length = 0;
};

FieldSpan FindField(std::string_view text, int k) {
    std::size_t begin = 0;
    for (int i = 0; i < k; ++i) {
        const std::size_t sep = text.find(NodeSeparator, begin);
        if (sep == std::string_view::npos) return {};
        begin = sep + 1;
    }
    const std::size_t end = std::min(text.find(NodeSeparator, begin), text.size());
    return {begin, end - begin};
}

}  // namespace

std::string GetTextField(std::string_view text, int k) {
    if (k < 0) return {};
    const FieldSpan f = FindField(text, k);
    if (f.begin == std::string_view::npos) return {};
    return std::string(text.substr(f.begin, f.length));
}

std::string SetTextField(std::string_view text, int k, std::string_view value) {
    if (k < 0) throw NodeTextError("Номер поля узла не может быть отрицательным: " + std::to_string(k));
    if (value.find(NodeSeparator) != std::string_view::npos) {
        throw NodeTextError("Значение «" + std::string(value) + "» содержит недопустимый символ «;»");
    }
    std::string out(text);
    const auto separators = static_cast<int>(std::count(out.begin(), out.end(), NodeSeparator));
    const int wanted = std::max(TreeColumnCount, k);
    if (separators < wanted) out.append(static_cast<std::size_t>(wanted - separators), NodeSeparator);
    const FieldSpan f = FindField(out, k);
    out.replace(f.begin, f.length, value);
    return out;
}

}  // namespace lum
