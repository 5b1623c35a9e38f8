#pragma once
// The one Windows-1251 codec of the program. The code holds UTF-8; wherever the
// controller sees bytes (text parameters, the serial number) or a length is counted in
// characters, text goes through here. Pure functions, any thread.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace lum {

class EncodingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// UTF-8 to code page 1251. A character without a 1251 byte, or malformed UTF-8,
// raises EncodingError naming the character.
std::string Utf8ToCp1251(std::string_view utf8);

// Code page 1251 to UTF-8. Every byte has a meaning except 0x98, which becomes U+FFFD.
std::string Cp1251ToUtf8(std::string_view cp1251);

// Number of characters of a UTF-8 text (code points); malformed UTF-8 raises EncodingError.
std::size_t Utf8Length(std::string_view utf8);

}  // namespace lum
