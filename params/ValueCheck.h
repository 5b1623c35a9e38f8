#pragma once
// The checks the edit dialog applies to a value before it goes into the tree, as pure
// functions, so that every front end (the window's dialog, the command-line tool) accepts
// and refuses exactly the same texts, and the texts of the choice kinds.
//
// Pure functions over constant data: any thread.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace lum {

// The dialog's warnings (caption "Warning").
inline constexpr std::string_view kWarnNotNumber = "Значение должно быть числом";
inline constexpr std::string_view kWarnOutOfRange = "Значение вне диапазона";

// The items of a choice kind (2, 3, 4, 6, 7, 8), by byte value; empty for any other kind.
std::span<const std::string_view> ChoiceItems(std::int32_t kind);

// True for the kinds the dialog edits in a list (2, 3, 4, 6, 7, 8).
bool IsChoiceKind(std::int32_t kind);
// True for the kinds the dialog edits in the edit box (1, 5).
bool IsTextEditKind(std::int32_t kind);

// A number as the system's number format reads it: blanks around it allowed, an optional
// sign, digits with at most one decimal separator (`decimalSeparator`, the system's), at
// least one digit, an optional exponent (e or E, optional sign, digits). Nothing for any
// other text.
std::optional<double> ParseLocaleNumber(std::string_view text, char decimalSeparator);

// The edit box's check for a row with limits `min` and `max` (fields 3 and 4): nothing
// when the text may go into the tree as typed, otherwise the warning to show. A row with
// an empty min or max takes any text. A limit that is not a number itself refuses the
// value as out of range.
std::optional<std::string> CheckNumberValue(std::string_view text, std::string_view min, std::string_view max,
                                            char decimalSeparator);

// The first byte a text parameter cannot give back: reading stops at the first byte of
// 123 ("{") or more, so such a character, and every one after it, would be lost.
inline constexpr unsigned char kFirstUnreadableTextByte = 123;

// The check of a text parameter's new value (sizes 16 and 32): at most `size` characters,
// each of code page 1251 below kFirstUnreadableTextByte and not the node separator ";"
// (which the tree cannot hold). Nothing when accepted, otherwise the message naming the
// characters refused, each once, in the order they first occur.
std::optional<std::string> CheckStoredText(std::string_view text, std::size_t size);

// The whole check of a new value for a row of kind `kind` (field 7 as text): the number
// check for kinds 1 and 5; for a choice kind the text must be one of the kind's items
// (the dialog offers nothing else); any other kind (group headings, read-only rows) is
// refused. Nothing when accepted, otherwise the message.
std::optional<std::string> CheckNewValue(std::string_view kind, std::string_view text, std::string_view min,
                                         std::string_view max, char decimalSeparator);

}  // namespace lum
