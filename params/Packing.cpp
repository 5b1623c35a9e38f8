#include "params/Packing.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/Cp1251.h"
#include "params/NodeText.h"
#include "params/ParamLookup.h"
#include "params/ValueCheck.h"

namespace lum {
namespace {

// The texts of the choice kinds, by byte value.
const std::span<const std::string_view> kOnOff = ChoiceItems(KindOnOff);
const std::span<const std::string_view> kLanguage = ChoiceItems(KindLanguage);
const std::span<const std::string_view> kMessageType = ChoiceItems(KindMessageType);
const std::span<const std::string_view> kEngineType = ChoiceItems(KindEngineType);
const std::span<const std::string_view> kAccessLevel = ChoiceItems(KindAccessLevel);
const std::span<const std::string_view> kTestLoad = ChoiceItems(KindTestLoad);

// Texts and telephone numbers read back stop at (texts) or skip (telephone numbers)
// bytes from here up; 255 is erased memory.
constexpr std::uint8_t kFirstNonText = 123;

// What the configuration code needs of one node.
struct NodeView {
    std::string name;
    std::string value;
    std::string size;
    std::string address;
    std::string kind;
};

NodeView ReadNode(const IParamTree& tree, std::size_t index) {
    const std::string text = tree.NodeText(index);
    return {GetTextField(text, FieldName), GetTextField(text, FieldValue), GetTextField(text, FieldSize),
            GetTextField(text, FieldAddress), GetTextField(text, FieldKind)};
}

// Every node in tree order, each named by its group path ("Параметры GSM модема/Телефонный
// номер 2/Номер абонента"): several rows share a name, a message must say which one.
std::vector<NodeView> ReadAllNodes(const IParamTree& tree) {
    const std::size_t count = tree.NodeCount();
    std::vector<NodeView> nodes;
    nodes.reserve(count);
    std::vector<std::string> groups;  // the names of the groups above, top first
    for (std::size_t i = 0; i < count; ++i) {
        NodeView node = ReadNode(tree, i);
        const int level = tree.NodeLevel(i);
        groups.resize(static_cast<std::size_t>(std::max(0, level - 1)));
        std::string path;
        for (const std::string& g : groups) path += g + kPathSeparator;
        groups.push_back(node.name);
        node.name = path + node.name;
        nodes.push_back(std::move(node));
    }
    return nodes;
}

std::string Quoted(std::string_view s) {
    return "«" + std::string(s) + "»";
}

// A whole decimal number: an optional sign and at least one digit, nothing else.
// Nothing for any other text, or a number beyond 64 bits.
std::optional<std::int64_t> ParseWholeNumber(std::string_view s) {
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty()) return std::nullopt;
    constexpr std::int64_t kLimit = std::numeric_limits<std::int64_t>::max() / 10 - 9;
    std::int64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        if (v > kLimit) return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return negative ? -v : v;
}

// The address field of a node whose value covers `size` bytes, checked against the image.
template <typename Error>
std::size_t CheckedAddress(const NodeView& node, std::size_t size) {
    const std::optional<std::int64_t> a = ParseWholeNumber(node.address);
    if (!a || *a < 0 || static_cast<std::size_t>(*a) + size > ConfigImageSize) {
        throw Error("Параметр " + Quoted(node.name) + ": адрес " + Quoted(node.address) + " и размер " +
                    std::to_string(size) + " выходят за пределы памяти конфигурации");
    }
    return static_cast<std::size_t>(*a);
}

std::optional<std::uint8_t> IndexOf(std::span<const std::string_view> texts, std::string_view value) {
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (texts[i] == value) return static_cast<std::uint8_t>(i);
    }
    return std::nullopt;
}

// ---- packing ---------------------------------------------------------------------

void PackNumber(const NodeView& node, int bytes, bool signedByte, ConfigImage& image) {
    const std::optional<std::int64_t> v = ParseWholeNumber(node.value);
    if (!v) {
        throw PackError("Параметр " + Quoted(node.name) + ": значение " + Quoted(node.value) +
                        " не является целым числом");
    }
    // Only values that read back as themselves are accepted; larger ones would lose
    // their high bits on the way to the controller.
    std::int64_t lo = 0;
    std::int64_t hi = 0;
    switch (bytes) {
        case 1:
            lo = signedByte ? -128 : 0;
            hi = signedByte ? 127 : 255;
            break;
        case 2:
            lo = 0;
            hi = 65535;
            break;
        default:
            lo = std::numeric_limits<std::int32_t>::min();
            hi = std::numeric_limits<std::int32_t>::max();
            break;
    }
    if (*v < lo || *v > hi) {
        throw PackError("Параметр " + Quoted(node.name) + ": значение " + Quoted(node.value) +
                        " вне допустимого диапазона от " + std::to_string(lo) + " до " + std::to_string(hi));
    }
    const std::size_t address = CheckedAddress<PackError>(node, static_cast<std::size_t>(bytes));
    const auto u = static_cast<std::uint32_t>(static_cast<std::int32_t>(*v));
    for (int i = 0; i < bytes; ++i) {
        image[address + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(u >> (8 * (bytes - 1 - i)));
    }
}

void PackTelephone(const NodeView& node, ConfigImage& image) {
    constexpr std::size_t kDigits = 10;
    if (node.value.empty()) {  // an erased number (it reads back empty) stays erased
        const std::size_t address = CheckedAddress<PackError>(node, kDigits);
        std::fill_n(image.begin() + static_cast<std::ptrdiff_t>(address), kDigits, ErasedByte);
        return;
    }
    const bool ok = node.value.size() == kDigits && std::all_of(node.value.begin(), node.value.end(),
                                                                [](char c) { return c >= '0' && c <= '9'; });
    if (!ok) {
        throw PackError("Параметр " + Quoted(node.name) + ": телефонный номер " + Quoted(node.value) +
                        " должен состоять ровно из десяти цифр");
    }
    const std::size_t address = CheckedAddress<PackError>(node, kDigits);
    for (std::size_t i = 0; i < kDigits; ++i)
        image[address + i] = static_cast<std::uint8_t>(node.value[i] - '0');
}

void PackText(const NodeView& node, std::size_t size, ConfigImage& image) {
    std::string bytes;
    try {
        bytes = Utf8ToCp1251(node.value);
    } catch (const EncodingError& e) {
        throw PackError("Параметр " + Quoted(node.name) + ": текст " + Quoted(node.value) +
                        " нельзя передать в устройство: " + e.what());
    }
    if (bytes.size() > size) {
        throw PackError("Параметр " + Quoted(node.name) + ": текст " + Quoted(node.value) + " длиннее " +
                        std::to_string(size) + " символов");
    }
    if (bytes.empty()) return;
    const std::size_t address = CheckedAddress<PackError>(node, size);
    std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(address));
    if (bytes.size() < size) image[address + bytes.size()] = ErasedByte;
}

void PackByte(const NodeView& node, std::optional<std::uint8_t> byte, ConfigImage& image) {
    if (!byte) return;  // a text that is none of the kind's items writes nothing
    image[CheckedAddress<PackError>(node, 1)] = *byte;
}

void PackNode(const NodeView& node, ConfigImage& image) {
    const std::string& k = node.kind;
    const std::string& s = node.size;
    if (k == "1" || k == "5") {
        if (s == "1") return PackNumber(node, 1, k == "5", image);
        if (s == "2") return PackNumber(node, 2, false, image);
        if (s == "4") return PackNumber(node, 4, false, image);
        if (s == "10") return PackTelephone(node, image);
        if (s == "16") return PackText(node, 16, image);
        if (s == "32") return PackText(node, 32, image);
        return;
    }
    if (s != "1") return;
    if (k == "2") return PackByte(node, node.value == kOnOff[0] ? 0 : 1, image);
    if (k == "3") return PackByte(node, node.value == kLanguage[0] ? 0 : 1, image);
    if (k == "4") return PackByte(node, IndexOf(kMessageType, node.value).value_or(2), image);
    if (k == "6") return PackByte(node, IndexOf(kEngineType, node.value), image);
    if (k == "7") return PackByte(node, IndexOf(kAccessLevel, node.value), image);
    if (k == "8") return PackByte(node, IndexOf(kTestLoad, node.value), image);
}

// ---- unpacking ---------------------------------------------------------------------

std::uint32_t BigEndian(const ConfigImage& image, std::size_t address, int bytes) {
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | image[address + static_cast<std::size_t>(i)];
    return v;
}

// Code page 1251 bytes read from the image, as a value field. A ";" would split the node
// text and move its size, address and kind, so it is shown as U+FFFD, which packing
// refuses rather than writing something else back.
std::string TextFromBytes(const std::string& cp1251) {
    const std::string utf8 = Cp1251ToUtf8(cp1251);
    std::string out;
    out.reserve(utf8.size());
    for (char c : utf8) {
        if (c == NodeSeparator) {
            out += "\xEF\xBF\xBD";
        } else {
            out += c;
        }
    }
    return out;
}

std::string UnpackText(const NodeView& node, std::size_t size, const ConfigImage& image) {
    const std::size_t address = CheckedAddress<UnpackError>(node, size);
    std::string bytes;
    for (std::size_t i = 0; i < size && image[address + i] < kFirstNonText; ++i) {
        bytes += static_cast<char>(image[address + i]);
    }
    return TextFromBytes(bytes);
}

std::string UnpackTelephone(const NodeView& node, const ConfigImage& image) {
    const std::size_t address = CheckedAddress<UnpackError>(node, 10);
    std::string bytes;
    for (std::size_t i = 0; i < 10; ++i) {
        const std::uint8_t b = image[address + i];
        if (b < kFirstNonText) bytes += static_cast<char>(b + '0');
    }
    return TextFromBytes(bytes);
}

std::string ItemOrEmpty(std::span<const std::string_view> texts, std::uint8_t byte) {
    return byte < texts.size() ? std::string(texts[byte]) : std::string();
}

// The value a node shows for the image, or nothing for a node without an encoding.
std::optional<std::string> UnpackNode(const NodeView& node, const ConfigImage& image) {
    const std::string& k = node.kind;
    const std::string& s = node.size;
    if (k == "1" || k == "5") {
        if (s == "1") {
            const std::uint8_t b = image[CheckedAddress<UnpackError>(node, 1)];
            return std::to_string(k == "5" ? static_cast<int>(static_cast<std::int8_t>(b))
                                           : static_cast<int>(b));
        }
        if (s == "2") return std::to_string(BigEndian(image, CheckedAddress<UnpackError>(node, 2), 2));
        if (s == "4") {
            const std::uint32_t u = BigEndian(image, CheckedAddress<UnpackError>(node, 4), 4);
            return std::to_string(static_cast<std::int32_t>(u));
        }
        if (s == "10") return UnpackTelephone(node, image);
        if (s == "16") return UnpackText(node, 16, image);
        if (s == "32") return UnpackText(node, 32, image);
        return std::nullopt;
    }
    if (k == "255") {
        if (s == "2") return std::to_string(BigEndian(image, CheckedAddress<UnpackError>(node, 2), 2));
        const std::optional<std::int64_t> size = ParseWholeNumber(s);
        return UnpackText(
            node, size && *size > 0 ? static_cast<std::size_t>(std::min<std::int64_t>(*size, 256)) : 0,
            image);
    }
    if (s != "1") return std::nullopt;
    auto byte = [&] { return image[CheckedAddress<UnpackError>(node, 1)]; };
    if (k == "2") return std::string(kOnOff[byte() == 0 ? 0 : 1]);
    if (k == "3") return std::string(kLanguage[byte() == 0 ? 0 : 1]);
    if (k == "4") return std::string(kMessageType[std::min<std::uint8_t>(byte(), 2)]);
    if (k == "6") return ItemOrEmpty(kEngineType, byte());
    if (k == "7") return ItemOrEmpty(kAccessLevel, byte());
    if (k == "8") return ItemOrEmpty(kTestLoad, byte());
    return std::nullopt;
}

}  // namespace

std::optional<std::string> UnpackedValue(const IParamTree& tree, std::size_t index, const ConfigImage& image) {
    return UnpackNode(ReadNode(tree, index), image);
}

std::optional<ImageRange> NodeImageRange(const IParamTree& tree, std::size_t index) {
    const NodeView node = ReadNode(tree, index);
    const std::optional<std::int64_t> size = ParseWholeNumber(node.size);
    const std::optional<std::int64_t> address = ParseWholeNumber(node.address);
    if (!size || !address || *size <= 0 || *address < 0 || *address + *size > static_cast<std::int64_t>(ConfigImageSize))
        return std::nullopt;
    const std::string& k = node.kind;
    const std::string& s = node.size;
    const bool encoded = ((k == "1" || k == "5") && (s == "1" || s == "2" || s == "4" || s == "10" || s == "16" ||
                                                     s == "32")) ||
                         k == "255" || (s == "1" && !ChoiceItems(static_cast<std::int32_t>(
                                                          ParseWholeNumber(k).value_or(0))).empty());
    if (!encoded) return std::nullopt;
    return ImageRange{static_cast<std::size_t>(*address), static_cast<std::size_t>(*size)};
}

ConfigImage ErasedImage() {
    ConfigImage image;
    image.fill(ErasedByte);
    return image;
}

void PackTreeToImage(const IParamTree& tree, ConfigImage& image) {
    const std::size_t count = tree.NodeCount();
    if (count == 0) throw PackError("Дерево параметров пусто: не выбрана модель устройства");
    ConfigImage packed = ErasedImage();
    for (const NodeView& node : ReadAllNodes(tree)) PackNode(node, packed);
    image = packed;
}

void UnpackImageToTree(IParamTree& tree, const ConfigImage& image) {
    const std::size_t count = tree.NodeCount();
    if (count == 0) throw UnpackError("Дерево параметров пусто: не выбрана модель устройства");
    std::vector<std::pair<std::size_t, std::string>> values;
    values.reserve(count);
    const std::vector<NodeView> nodes = ReadAllNodes(tree);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (auto v = UnpackNode(nodes[i], image)) values.emplace_back(i, std::move(*v));
    }
    for (const auto& [index, value] : values) SetNodeField(tree, index, FieldValue, value);
}

ConfigImage DefaultImageForModel(std::uint8_t modelCode) {
    const std::span<const TParam_record> catalog = CatalogForModel(modelCode);
    if (catalog.empty()) {
        throw std::invalid_argument("Нет каталога параметров для модели с кодом " +
                                    std::to_string(modelCode));
    }
    ParamTreeModel tree;
    LoadCatalog(tree, catalog);
    ConfigImage image = ErasedImage();
    PackTreeToImage(tree, image);
    return image;
}

std::uint16_t ImageWord(const ConfigImage& image, std::size_t address) {
    if (address + 1 >= ConfigImageSize) {
        throw std::out_of_range("Адрес " + std::to_string(address) + " вне памяти конфигурации");
    }
    return static_cast<std::uint16_t>(BigEndian(image, address, 2));
}

}  // namespace lum
