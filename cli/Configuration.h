#pragma once
// The configuration as lumctl shows and moves it: the catalogue tree of a model filled
// from an image, its table and JSON, the files it reads (the tool's 256-value file, or
// the JSON that `read --json` prints), and the differences between two images.
//
// Pure functions apart from the files named: any thread.
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "params/ParamLookup.h"
#include "params/Packing.h"
#include "params/ParamTree.h"

namespace lum::cli {

// The catalogue of `model` in a fresh tree (default values).
ParamTreeModel CatalogTree(std::uint8_t model);
// The catalogue of `model` with the values `image` gives (unpacked as after a read).
ParamTreeModel TreeFromImage(std::uint8_t model, const ConfigImage& image);

// The parameter table: the tree's rows indented by depth, with value, unit and limits.
std::string ParametersTable(const IParamTree& tree);
// One object per parameter (group headings left out): path, name, value, unit, min, max,
// address, size, kind, read_only.
nlohmann::json ParametersJson(const IParamTree& tree);
// {"model", "model_name", "image": [256 bytes], "parameters": [...]}
nlohmann::json ConfigurationJson(std::uint8_t model, const ConfigImage& image, const IParamTree& tree);

// A configuration file as read: its image and, for a JSON file, the model it was read from.
struct ConfigurationFile {
    ConfigImage Image{};
    std::optional<std::uint8_t> Model;
};
// The tool's 256-value file, or the JSON of `read --json` (recognised by its leading "{").
// CliError(2) naming the file, the line and the token.
ConfigurationFile LoadConfiguration(const std::string& path);

// The image a write of `source` sends for `model`: unpacked into the catalogue and packed
// again, as the window writes an opened file (255 where no parameter lies). CliError(2)
// naming the parameter when a value cannot be packed.
ConfigImage NormalisedImage(std::uint8_t model, const ConfigImage& source);

// The parameters whose bytes a write changes (inside the write blocks), then any byte
// there no parameter covers, as table rows and as JSON.
struct Changes {
    std::vector<ParamDifference> Parameters;
    std::vector<std::size_t> Bytes;
    bool Empty() const { return Parameters.empty() && Bytes.empty(); }
};
Changes WriteChanges(const IParamTree& tree, const ConfigImage& from, const ConfigImage& to);
std::string ChangesTable(const Changes& changes, const std::string& fromCaption, const std::string& toCaption,
                         const ConfigImage& from, const ConfigImage& to);
nlohmann::json ChangesJson(const Changes& changes, const char* fromKey, const char* toKey, const ConfigImage& from,
                           const ConfigImage& to);

}  // namespace lum::cli
