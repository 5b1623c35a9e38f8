#include "cli/Configuration.h"

#include "cli/Errors.h"
#include "cli/Output.h"
#include "cli/Suggest.h"
#include "cli/StatusOutput.h"
#include "cli/Table.h"
#include "params/Catalog.h"
#include "params/ConfigFile.h"
#include "params/NodeText.h"

namespace lum::cli {

ParamTreeModel CatalogTree(std::uint8_t model) {
    ParamTreeModel tree;
    LoadCatalog(tree, CatalogForModel(model));
    return tree;
}

ParamTreeModel TreeFromImage(std::uint8_t model, const ConfigImage& image) {
    ParamTreeModel tree = CatalogTree(model);
    UnpackImageToTree(tree, image);
    return tree;
}

namespace {

std::int32_t KindOf(const IParamTree& tree, std::size_t i) {
    try {
        return std::stoi(GetNodeField(tree, i, FieldKind));
    } catch (const std::exception&) {
        return -1;
    }
}

int IntField(const IParamTree& tree, std::size_t i, int field) {
    try {
        return std::stoi(GetNodeField(tree, i, field));
    } catch (const std::exception&) {
        return 0;
    }
}

}  // namespace

std::string ParametersTable(const IParamTree& tree) {
    Table t({"Параметр", "Значение", "Ед.", "Мин.", "Макс."});
    for (std::size_t i = 0; i < tree.NodeCount(); ++i) {
        const std::string indent(2 * static_cast<std::size_t>(tree.NodeLevel(i) - 1), ' ');
        t.Add({indent + GetNodeField(tree, i, FieldName), GetNodeField(tree, i, FieldValue),
               GetNodeField(tree, i, FieldUnit), GetNodeField(tree, i, FieldMin), GetNodeField(tree, i, FieldMax)});
    }
    return t.Render();
}

nlohmann::json ParametersJson(const IParamTree& tree) {
    nlohmann::json list = nlohmann::json::array();
    for (std::size_t i = 0; i < tree.NodeCount(); ++i) {
        const std::int32_t kind = KindOf(tree, i);
        if (kind == KindGroup) continue;
        list.push_back({{"path", ParamPath(tree, i)},
                        {"name", GetNodeField(tree, i, FieldName)},
                        {"value", GetNodeField(tree, i, FieldValue)},
                        {"unit", GetNodeField(tree, i, FieldUnit)},
                        {"min", GetNodeField(tree, i, FieldMin)},
                        {"max", GetNodeField(tree, i, FieldMax)},
                        {"address", IntField(tree, i, FieldAddress)},
                        {"size", IntField(tree, i, FieldSize)},
                        {"kind", kind},
                        {"read_only", kind == KindReadOnly}});
    }
    return list;
}

nlohmann::json ConfigurationJson(std::uint8_t model, const ConfigImage& image, const IParamTree& tree) {
    return {{"model", model},
            {"model_name", ModelName(model)},
            {"image", std::vector<int>(image.begin(), image.end())},
            {"parameters", ParametersJson(tree)}};
}

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// A JSON number that is exactly an integer in [low, high] (a huge one is not wrapped).
std::optional<long long> IntegerIn(const nlohmann::json& v, long long low, long long high) {
    if (v.is_number_unsigned()) {
        const auto u = v.get<std::uint64_t>();
        if (u <= static_cast<std::uint64_t>(high) && static_cast<long long>(u) >= low) return static_cast<long long>(u);
        return std::nullopt;
    }
    if (v.is_number_integer()) {
        const auto n = v.get<std::int64_t>();
        if (n >= low && n <= high) return n;
    }
    return std::nullopt;
}

ConfigurationFile FromJson(const std::string& path, const std::string& text) {
    ConfigurationFile file;
    nlohmann::json json;
    try {
        json = nlohmann::json::parse(text);
    } catch (const nlohmann::json::parse_error& e) {
        throw CliError(ExitBadArguments, path + ": неверный JSON около байта " + std::to_string(e.byte));
    }
    if (!json.is_object() || !json.contains("image"))
        throw CliError(ExitBadArguments, path + ": нет ключа «image» (256 чисел)");
    const auto& image = json.at("image");
    if (!image.is_array() || image.size() != ConfigImageSize)
        throw CliError(ExitBadArguments, path + ": «image» должен содержать 256 чисел");
    for (std::size_t i = 0; i < ConfigImageSize; ++i) {
        const auto v = IntegerIn(image[i], 0, 255);
        if (!v)
            throw CliError(ExitBadArguments, path + ": «image»[" + std::to_string(i) + "] = " +
                                                 ShortToken(image[i].dump()) + " не число 0..255");
        file.Image[i] = static_cast<std::uint8_t>(*v);
    }
    if (json.contains("model")) {
        const auto model = IntegerIn(json.at("model"), 0, 255);
        if (!model || !IsKnownModel(static_cast<std::uint8_t>(*model)))
            throw CliError(ExitBadArguments,
                           path + ": неизвестная модель " + ShortToken(json.at("model").dump()) + " (" +
                               ModelCodeList(" или ") + ")");
        file.Model = static_cast<std::uint8_t>(*model);
    }
    return file;
}

}  // namespace

ConfigurationFile LoadConfiguration(const std::string& path) {
    std::string text = ReadInputFile(path);
    if (text.starts_with(kByteOrderMark)) text.erase(0, kByteOrderMark.size());
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first != std::string::npos && text[first] == '{') return FromJson(path, text);
    ConfigurationFile file;
    try {
        file.Image = ParseConfigFile(text);
    } catch (const ConfigFileError& e) {
        throw CliError(ExitBadArguments, path + ": " + ShortQuoted(e.what()));
    }
    return file;
}

ConfigImage NormalisedImage(std::uint8_t model, const ConfigImage& source) {
    ParamTreeModel tree = TreeFromImage(model, source);
    ConfigImage image = ErasedImage();
    try {
        PackTreeToImage(tree, image);
    } catch (const PackError& e) {
        throw CliError(ExitBadArguments, std::string("значение нельзя записать: ") + e.what());
    }
    return image;
}

Changes WriteChanges(const IParamTree& tree, const ConfigImage& from, const ConfigImage& to) {
    return {DifferingParameters(tree, from, to, WriteBlocks), UncoveredDifferences(tree, from, to, WriteBlocks)};
}

std::string ChangesTable(const Changes& changes, const std::string& fromCaption, const std::string& toCaption,
                         const ConfigImage& from, const ConfigImage& to) {
    Table t({"Параметр", fromCaption, toCaption});
    for (const auto& d : changes.Parameters) t.Add({d.Path, d.First, d.Second});
    for (const auto a : changes.Bytes)
        t.Add({"байт " + std::to_string(a) + " (вне параметров)", std::to_string(from[a]), std::to_string(to[a])});
    return t.Render();
}

nlohmann::json ChangesJson(const Changes& changes, const char* fromKey, const char* toKey, const ConfigImage& from,
                           const ConfigImage& to) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& d : changes.Parameters) list.push_back({{"path", d.Path}, {fromKey, d.First}, {toKey, d.Second}});
    for (const auto a : changes.Bytes)
        list.push_back({{"address", a}, {fromKey, std::to_string(from[a])}, {toKey, std::to_string(to[a])}});
    return list;
}

}  // namespace lum::cli
