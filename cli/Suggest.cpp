#include "cli/Suggest.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "params/Catalog.h"
#include "params/NodeText.h"
#include "params/ParamLookup.h"

namespace lum::cli {

namespace {

constexpr std::size_t kTokenLetters = 60;

// Code points of UTF-8 text, Latin and Cyrillic capitals made small; a stray byte stands
// for itself.
std::vector<char32_t> Letters(std::string_view text) {
    std::vector<char32_t> out;
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        char32_t c = b;
        std::size_t n = 1;
        if (b >= 0xC0 && b < 0xE0 && i + 1 < text.size()) {
            c = ((b & 0x1Fu) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3Fu), n = 2;
        } else if (b >= 0xE0 && b < 0xF0 && i + 2 < text.size()) {
            c = ((b & 0x0Fu) << 12) | ((static_cast<unsigned char>(text[i + 1]) & 0x3Fu) << 6) |
                (static_cast<unsigned char>(text[i + 2]) & 0x3Fu),
            n = 3;
        }
        if (c >= U'A' && c <= U'Z') c += 0x20;
        if (c >= 0x410 && c <= 0x42F) c += 0x20;
        if (c == 0x401) c = 0x451;
        out.push_back(c);
        i += n;
    }
    return out;
}

std::size_t Distance(const std::vector<char32_t>& a, const std::vector<char32_t>& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// A typo changes few letters: at most a third of the word, and at least 2 allowed.
std::size_t Allowed(std::size_t letters) {
    return std::max<std::size_t>(2, letters / 3);
}

struct Scored {
    std::size_t distance;
    std::size_t order;
    std::string text;
};

std::vector<std::string> Best(std::vector<Scored> scored, std::size_t limit) {
    std::sort(scored.begin(), scored.end(), [](const Scored& x, const Scored& y) {
        return x.distance != y.distance ? x.distance < y.distance : x.order < y.order;
    });
    std::vector<std::string> out;
    for (auto& s : scored) {
        if (out.size() == limit) break;
        if (std::find(out.begin(), out.end(), s.text) == out.end()) out.push_back(std::move(s.text));
    }
    return out;
}

}  // namespace

std::vector<std::string> NearMatches(std::string_view word, const std::vector<std::string>& candidates,
                                     std::size_t limit) {
    const auto w = Letters(word);
    std::vector<Scored> scored;
    for (std::size_t k = 0; k < candidates.size(); ++k) {
        const std::size_t d = Distance(w, Letters(candidates[k]));
        if (d <= Allowed(w.size())) scored.push_back({d, k, candidates[k]});
    }
    return Best(std::move(scored), limit);
}

std::vector<std::string> NearParameterPaths(const IParamTree& tree, std::string_view name) {
    const auto w = Letters(name);
    std::vector<Scored> scored;
    for (std::size_t i = 0; i < tree.NodeCount(); ++i) {
        if (GetNodeField(tree, i, FieldKind) == std::to_string(KindGroup)) continue;
        const std::string path = ParamPath(tree, i);
        const std::size_t d =
            std::min(Distance(w, Letters(path)), Distance(w, Letters(GetNodeField(tree, i, FieldName))));
        if (d <= Allowed(w.size())) scored.push_back({d, i, path});
    }
    return Best(std::move(scored), 5);
}

std::string ShortToken(std::string_view text) {
    std::string out;
    std::size_t letters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if ((b & 0xC0) != 0x80 && letters++ == kTokenLetters) {
            out += "…";
            break;
        }
        if (b < 0x20 || b == 0x7F) {
            char code[8];
            std::snprintf(code, sizeof code, "<%02X>", b);
            out += code;
        } else {
            out += static_cast<char>(b);
        }
    }
    return out;
}

std::string ShortQuoted(std::string_view message) {
    constexpr std::string_view open = "«", close = "»";
    std::string out;
    std::size_t at = 0;
    for (std::size_t start; (start = message.find(open, at)) != std::string_view::npos;) {
        const std::size_t inner = start + open.size();
        const std::size_t end = message.find(close, inner);
        if (end == std::string_view::npos) break;
        out.append(message.substr(at, inner - at));
        out += ShortToken(message.substr(inner, end - inner));
        at = end;
    }
    out.append(message.substr(at));
    return out;
}

}  // namespace lum::cli
