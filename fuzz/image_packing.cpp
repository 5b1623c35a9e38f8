// Any 256-byte configuration image unpacked into each catalogue and packed again.
//  - Unpacking never fails and fills every value field with well-formed UTF-8.
//  - The values it shows pack again, and the packed image unpacks into the same texts
//    (what the tree shows is what a write would send); read-only rows are shown but never
//    written, so they are left out of the comparison. Two refusals are allowed, both by
//    rule: a telephone number that does not read back as ten digits (erased or foreign
//    bytes), and a text holding the node separator ";", shown as U+FFFD, which code page
//    1251 cannot carry back.
//  - Bytes that no parameter of the catalogue covers hold 255 after packing.
// Input: one byte choosing the catalogue, then the image (shorter input is padded with 255,
// longer input is cut).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/Cp1251.h"
#include "params/Catalog.h"
#include "params/Packing.h"
#include "params/ParamTree.h"

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

std::vector<std::string> Texts(const lum::IParamTree& tree) {
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < tree.NodeCount(); ++i) texts.push_back(tree.NodeText(i));
    return texts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int index = data[0] % lum::ModelCount;
    lum::ConfigImage image = lum::ErasedImage();
    std::copy_n(data + 1, std::min(size - 1, image.size()), image.begin());
    {
        const auto catalog = lum::CatalogForModel(*lum::ModelCodeForIndex(index));
        lum::ParamTreeModel tree;
        lum::LoadCatalog(tree, catalog);
        lum::UnpackImageToTree(tree, image);
        const std::vector<std::string> first = Texts(tree);
        for (const auto& text : first) Require(lum::Utf8Length(text) <= text.size(), "node text is UTF-8");

        bool refusable = false;
        for (std::size_t i = 0; i < catalog.size(); ++i) {
            const auto& row = catalog[i];
            if (row.ValueKind != lum::KindNumber && row.ValueKind != lum::KindSignedNumber) continue;
            const std::string value = lum::GetNodeField(tree, i, 1);
            if (row.Size == 10) {
                refusable |= value.size() < 10 || !std::all_of(value.begin(), value.begin() + 10,
                                                               [](char c) { return c >= '0' && c <= '9'; });
            }
            refusable |= value.find("\xEF\xBF\xBD") != std::string::npos;
        }
        lum::ConfigImage packed{};
        try {
            lum::PackTreeToImage(tree, packed);
        } catch (const lum::PackError& e) {
            if (!refusable) std::fprintf(stderr, "catalogue %d: %s\n", index, e.what());
            Require(refusable, "unpacked values pack again");
            return 0;
        }
        std::vector<bool> covered(lum::ConfigImageSize, false);
        for (const auto& row : catalog) {
            for (int k = 0; k < row.Size; ++k) {
                const auto at = static_cast<std::size_t>(row.Address + k);
                if (at < covered.size()) covered[at] = true;
            }
        }
        for (std::size_t a = 0; a < packed.size(); ++a) {
            if (!covered[a]) Require(packed[a] == lum::ErasedByte, "uncovered byte stays erased");
        }

        lum::ParamTreeModel again;
        lum::LoadCatalog(again, catalog);
        lum::UnpackImageToTree(again, packed);
        std::vector<std::string> second = Texts(again);
        for (std::size_t i = 0; i < first.size(); ++i) {
            if (catalog[i].ValueKind == lum::KindReadOnly) second[i] = first[i];
            if (second[i] != first[i]) {
                std::fprintf(stderr, "catalogue %d, node %zu: \"%s\" then \"%s\"\n", index, i, first[i].c_str(),
                             second[i].c_str());
            }
        }
        Require(second == first, "second unpack gives the same texts");
    }
    return 0;
}
