#pragma once
// The built-in parameter catalogues: one constant table of rows per controller model,
// and the model table that ties the device-version selector, the model code the
// controller reports and the catalogue together.
//
// Everything here is constant data and pure functions: any thread may call anything.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace lum {

// Value kinds of a catalogue row (the last field of a node text).
inline constexpr std::int32_t KindGroup = 0;     // group heading, no value
inline constexpr std::int32_t KindNumber = 1;    // number, telephone number or text, by size
inline constexpr std::int32_t KindOnOff = 2;     // "выкл." / "вкл."
inline constexpr std::int32_t KindLanguage = 3;  // "англ." / "рус."
inline constexpr std::int32_t KindMessageType = 4;  // "только аварии" / "основн. события" / "все события"
inline constexpr std::int32_t KindSignedNumber = 5;  // like KindNumber, a 1-byte value is signed
inline constexpr std::int32_t KindEngineType = 6;  // "бензин" / "дизель" / "сухой контакт"
inline constexpr std::int32_t KindAccessLevel = 7;  // "выкл." / "информир." / "управление"
inline constexpr std::int32_t KindTestLoad = 8;  // "выкл." / "без подключ. нагр." / "с подключ. нагр."
inline constexpr std::int32_t KindReadOnly = 255;  // reported by the controller, shown only

// One catalogue row. Texts are UTF-8.
struct TParam_record {
    std::uint8_t Level;      // depth in the tree: 1 = top level
    std::string_view Name;   // column "Параметр"
    std::string_view Value;  // default value; empty for group headings and read-only rows
    std::string_view Unit;
    std::string_view Min;    // lower limit as decimal text, empty where no range applies
    std::string_view Max;    // upper limit as decimal text, empty where no range applies
    std::uint8_t Size;       // bytes in the configuration memory; 0 for group headings
    std::int32_t Address;    // first byte in the configuration memory; 0 for group headings
    std::int32_t ValueKind;  // one of the Kind... constants
};

// The four catalogues (84, 83, 81 and 84 rows).
extern const std::span<const TParam_record> CatalogPetrolV2;
extern const std::span<const TParam_record> CatalogDieselV2;
extern const std::span<const TParam_record> CatalogDryContactV2;
extern const std::span<const TParam_record> CatalogPetrolV3;

// Model codes the controller reports in its status record.
inline constexpr std::uint8_t ModelPetrolV2 = 200;
inline constexpr std::uint8_t ModelDieselV2 = 201;
inline constexpr std::uint8_t ModelDryContactV2 = 202;
inline constexpr std::uint8_t ModelPetrolV3 = 30;

// The device-version selector: four items, index 0 to 3.
inline constexpr int ModelCount = 4;
// The selector's text before any item is chosen (no trailing space, unlike item 0).
inline constexpr std::string_view SelectorInitialText = "ЛУМ-бензин v2.0";

// The catalogue of a model code; empty for a code no catalogue belongs to.
std::span<const TParam_record> CatalogForModel(std::uint8_t modelCode);

// Selector index (0..3) to model code; nothing for any other index.
std::optional<std::uint8_t> ModelCodeForIndex(int index);

// Model code to selector index; nothing for an unknown code.
std::optional<int> IndexForModelCode(std::uint8_t modelCode);

// True for a code of the model table.
bool IsKnownModel(std::uint8_t modelCode);

// The selector item text of index 0..3 (the first three end with one space);
// empty for any other index.
std::string_view SelectorItemText(int index);

// The model's name as the status shows it (the selector text without its trailing space);
// empty for an unknown code.
std::string_view ModelDisplayName(std::uint8_t modelCode);

// The model codes in table order for help and error texts: "200, 201, 202" then
// lastSeparator (" или ", " и ") and the last code.
std::string ModelCodeList(std::string_view lastSeparator);

// The model code written exactly as decimal text ("201"); nothing for any other text.
std::optional<std::uint8_t> ModelCodeFromText(std::string_view text);

// The selector index whose item text equals text exactly; nothing when no item matches.
std::optional<int> IndexForSelectorText(std::string_view text);

}  // namespace lum
