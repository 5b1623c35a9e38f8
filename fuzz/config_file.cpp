// The configuration file reader on any text.
//  - A text is either refused with ConfigFileError naming the fault, or gives an image.
//  - An accepted text holds exactly 256 decimal values 0..255: written out again in the
//    file layout it reads back to the same image, and the layout is 16 lines of 64
//    characters, each ended by CR LF.
//  - Every image's file text is accepted (checked with the input's first 256 bytes).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "params/ConfigFile.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

void RequireLayout(const std::string& text) {
    Require(text.size() == 16 * 66);
    for (std::size_t line = 0; line < 16; ++line) {
        Require(text.compare(line * 66 + 64, 2, "\r\n") == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const lum::ConfigImage image = lum::ParseConfigFile(text);
        const std::string again = lum::FormatConfigFile(image);
        RequireLayout(again);
        Require(lum::ParseConfigFile(again) == image);
    } catch (const lum::ConfigFileError& e) {
        Require(std::string_view(e.what()).size() > 0);
    }

    lum::ConfigImage bytes = lum::ErasedImage();
    std::copy_n(data, std::min(size, bytes.size()), bytes.begin());
    const std::string file = lum::FormatConfigFile(bytes);
    RequireLayout(file);
    Require(lum::ParseConfigFile(file) == bytes);
    return 0;
}
