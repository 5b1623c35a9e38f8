// The Windows-1251 codec both ways.
//  - Any bytes read as code page 1251 give well-formed UTF-8 that converts back to the
//    same bytes (0x98, the one byte without a character, becomes U+FFFD and is refused).
//  - Any bytes read as UTF-8 are either refused or well-formed UTF-8 (checked here by a
//    strict decoder of its own) whose characters all lie in code page 1251; the bytes
//    produced convert back to exactly the input, and Utf8Length agrees on the count.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/Cp1251.h"

namespace {

// Strict UTF-8: shortest form, no surrogates, nothing above U+10FFFF. Returns the number
// of characters, or -1 for malformed text.
long StrictLength(std::string_view s) {
    long n = 0;
    for (std::size_t i = 0; i < s.size(); ++n) {
        const auto b = static_cast<unsigned char>(s[i]);
        std::size_t len = 0;
        char32_t min = 0;
        char32_t cp = 0;
        if (b < 0x80) {
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            len = 2, min = 0x80, cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            len = 3, min = 0x800, cp = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            len = 4, min = 0x10000, cp = b & 0x07;
        } else {
            return -1;
        }
        if (i + len > s.size()) return -1;
        for (std::size_t k = 1; k < len; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80) return -1;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
        i += len;
    }
    return n;
}

void Require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    // 1251 -> UTF-8 -> 1251.
    const std::string utf8 = lum::Cp1251ToUtf8(input);
    Require(StrictLength(utf8) == static_cast<long>(input.size()));
    Require(lum::Utf8Length(utf8) == input.size());
    if (input.find('\x98') == std::string_view::npos) {
        Require(lum::Utf8ToCp1251(utf8) == input);
    } else {
        bool refused = false;
        try {
            lum::Utf8ToCp1251(utf8);
        } catch (const lum::EncodingError&) {
            refused = true;
        }
        Require(refused);
    }

    // UTF-8 -> 1251 -> UTF-8.
    const long strict = StrictLength(input);
    try {
        const std::size_t length = lum::Utf8Length(input);
        Require(strict >= 0 && static_cast<long>(length) == strict);
    } catch (const lum::EncodingError&) {
        Require(strict < 0);
    }
    try {
        const std::string bytes = lum::Utf8ToCp1251(input);
        Require(strict >= 0);
        Require(static_cast<long>(bytes.size()) == strict);
        Require(lum::Cp1251ToUtf8(bytes) == input);
    } catch (const lum::EncodingError& e) {
        Require(std::string_view(e.what()).size() > 0);
    }
    return 0;
}
