#pragma once
// The node text: every node of the parameter tree carries one text, the eight fields of
// its catalogue row joined by ";" (name, value, unit, min, max, size, address, kind).
// Fields are addressed 0 to 7; after loading only the value field (1) changes.
//
// Pure functions: any thread.
#include <stdexcept>
#include <string>
#include <string_view>

#include "params/Catalog.h"

namespace lum {

inline constexpr char NodeSeparator = ';';

// Field indices of a node text.
inline constexpr int FieldName = 0;
inline constexpr int FieldValue = 1;
inline constexpr int FieldUnit = 2;
inline constexpr int FieldMin = 3;
inline constexpr int FieldMax = 4;
inline constexpr int FieldSize = 5;
inline constexpr int FieldAddress = 6;
inline constexpr int FieldKind = 7;
inline constexpr int NodeFieldCount = 8;

// The tree shows fields 0 to 4, one per column.
inline constexpr int TreeColumnCount = 5;

// Raised when a field would be set to a text holding the separator, or a field index is
// negative: either would shift the fields after it (the size, address and kind).
class NodeTextError : public std::invalid_argument {
  public:
    using std::invalid_argument::invalid_argument;
};

// The node text of a catalogue row: Size, Address and ValueKind as decimal numbers.
std::string MakeNodeText(const TParam_record& row);

// Field k: the text between the k-th and the (k+1)-th separator; the last field runs to
// the end. A field beyond the end, or a negative k, reads as empty text.
std::string GetTextField(std::string_view text, int k);

// The text with field k replaced and every other field and separator kept. A text with
// fewer than TreeColumnCount separators first gets separators appended up to that many,
// and further ones when field k lies beyond them. Raises NodeTextError for a negative k
// or a value holding ";".
std::string SetTextField(std::string_view text, int k, std::string_view value);

}  // namespace lum
