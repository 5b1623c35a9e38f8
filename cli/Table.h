#pragma once
// Aligned text tables for lumctl's human output: columns as wide as their widest cell,
// counted in characters (the texts are UTF-8 Russian), two spaces between columns, the
// last column not padded. Pure, any thread.
#include <string>
#include <vector>

namespace lum::cli {

class Table {
  public:
    explicit Table(std::vector<std::string> header = {}) : header_(std::move(header)) {}
    void Add(std::vector<std::string> row) { rows_.push_back(std::move(row)); }
    bool Empty() const { return rows_.empty(); }
    // The header (when given) and the rows, each line ended by "\n".
    std::string Render() const;

  private:
    std::vector<std::string> header_;
    std::vector<std::vector<std::string>> rows_;
};

// Characters of a UTF-8 text (bytes when it is not valid UTF-8).
std::size_t TextWidth(const std::string& text);
// The text padded with spaces to `width` characters.
std::string PadRight(const std::string& text, std::size_t width);

}  // namespace lum::cli
