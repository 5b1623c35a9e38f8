#include "params/ConfigFile.h"

#include "common/SystemErrorText.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace lum {
namespace {

constexpr std::size_t kValuesPerLine = 16;
constexpr std::size_t kValueWidth = 4;

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string ErrnoText() { return lum::ErrnoText(errno); }

}  // namespace

std::string FormatConfigFile(const ConfigImage& image) {
    std::string out;
    out.reserve(ConfigImageSize * kValueWidth + 2 * (ConfigImageSize / kValuesPerLine));
    for (std::size_t a = 0; a < ConfigImageSize; ++a) {
        std::string v = std::to_string(image[a]);
        v.resize(kValueWidth, ' ');
        out += v;
        if (a % kValuesPerLine == kValuesPerLine - 1) out += "\r\n";
    }
    return out;
}

ConfigImage ParseConfigFile(std::string_view text) {
    ConfigImage image{};
    std::size_t count = 0;
    std::size_t line = 1;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (IsSeparator(c)) {
            // CR LF, a lone LF and a lone CR each end one line.
            if (c == '\n' || (c == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) ++line;
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && !IsSeparator(text[end])) ++end;
        const std::string token(text.substr(i, end - i));
        i = end;
        const bool negative = token[0] == '-';
        const std::size_t digitsFrom = (negative || token[0] == '+') ? 1 : 0;
        const bool integer = token.size() > digitsFrom &&
                             token.find_first_not_of("0123456789", digitsFrom) == std::string::npos;
        if (!integer) {
            throw ConfigFileError("Строка " + std::to_string(line) + ": «" + token +
                                  "» не является целым десятичным числом");
        }
        // The value without its sign and leading zeros; more than three digits is out of range.
        const std::size_t first = std::min(token.find_first_not_of('0', digitsFrom), token.size());
        const std::string significant = token.substr(first);
        const int value = significant.size() > 3 ? 1000 : (significant.empty() ? 0 : std::stoi(significant));
        if (value > 255 || (negative && value != 0)) {
            throw ConfigFileError("Строка " + std::to_string(line) + ": значение «" + token +
                                  "» вне диапазона 0–255");
        }
        if (count == ConfigImageSize) {
            throw ConfigFileError("Строка " + std::to_string(line) + ": «" + token +
                                  "» — лишнее значение, в файле конфигурации их должно быть ровно 256");
        }
        image[count++] = static_cast<std::uint8_t>(value);
    }
    if (count != ConfigImageSize) {
        throw ConfigFileError("В файле " + std::to_string(count) +
                              " значений, а в файле конфигурации их должно быть ровно 256");
    }
    return image;
}

std::string ConfigFilePath(const std::string& dialogName) { return WithSuffix(dialogName, ".txt"); }

std::string TitleAfterSave(const std::string& dialogName) { return dialogName; }

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    if (!in) throw ConfigFileError("Не удалось открыть файл «" + path + "»: " + ErrnoText());
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw ConfigFileError("Не удалось прочитать файл «" + path + "»");
    return content;
}

void SaveConfigFile(const std::string& path, const ConfigImage& image) {
    WriteFileAtomically(path, FormatConfigFile(image));
}

ConfigImage LoadConfigFile(const std::string& path) {
    const std::string text = ReadWholeFile(path);
    try {
        return ParseConfigFile(text);
    } catch (const ConfigFileError& e) {
        throw ConfigFileError("Файл «" + path + "»: " + e.what());
    }
}

}  // namespace lum
