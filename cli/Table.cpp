#include "cli/Table.h"

#include <algorithm>

#include "common/Cp1251.h"

namespace lum::cli {

std::size_t TextWidth(const std::string& text) {
    try {
        return Utf8Length(text);
    } catch (const EncodingError&) {
        return text.size();
    }
}

std::string PadRight(const std::string& text, std::size_t width) {
    const std::size_t w = TextWidth(text);
    return w >= width ? text : text + std::string(width - w, ' ');
}

std::string Table::Render() const {
    std::vector<std::size_t> widths;
    auto measure = [&](const std::vector<std::string>& row) {
        if (widths.size() < row.size()) widths.resize(row.size(), 0);
        for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], TextWidth(row[i]));
    };
    if (!header_.empty()) measure(header_);
    for (const auto& row : rows_) measure(row);

    std::string out;
    auto line = [&](const std::vector<std::string>& row) {
        std::string text;
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i + 1 < row.size()) {
                text += PadRight(row[i], widths[i]) + "  ";
            } else {
                text += row[i];
            }
        }
        while (!text.empty() && text.back() == ' ') text.pop_back();
        out += text + "\n";
    };
    if (!header_.empty()) line(header_);
    for (const auto& row : rows_) line(row);
    return out;
}

}  // namespace lum::cli
