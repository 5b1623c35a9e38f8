#include "params/ValueCheck.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string>

#include "common/Cp1251.h"
#include "params/Catalog.h"

namespace lum {
namespace {

constexpr std::array<std::string_view, 2> kOnOff = {"выкл.", "вкл."};
constexpr std::array<std::string_view, 2> kLanguage = {"англ.", "рус."};
constexpr std::array<std::string_view, 3> kMessageType = {"только аварии", "основн. события", "все события"};
constexpr std::array<std::string_view, 3> kEngineType = {"бензин", "дизель", "сухой контакт"};
constexpr std::array<std::string_view, 3> kAccessLevel = {"выкл.", "информир.", "управление"};
constexpr std::array<std::string_view, 3> kTestLoad = {"выкл.", "без подключ. нагр.", "с подключ. нагр."};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::optional<std::int32_t> KindOf(std::string_view kind) {
    std::int32_t k = 0;
    const auto [end, ec] = std::from_chars(kind.data(), kind.data() + kind.size(), k);
    if (ec != std::errc() || end != kind.data() + kind.size() || kind.empty()) return std::nullopt;
    return k;
}

}  // namespace

std::span<const std::string_view> ChoiceItems(std::int32_t kind) {
    switch (kind) {
        case KindOnOff: return kOnOff;
        case KindLanguage: return kLanguage;
        case KindMessageType: return kMessageType;
        case KindEngineType: return kEngineType;
        case KindAccessLevel: return kAccessLevel;
        case KindTestLoad: return kTestLoad;
        default: return {};
    }
}

bool IsChoiceKind(std::int32_t kind) { return !ChoiceItems(kind).empty(); }

bool IsTextEditKind(std::int32_t kind) { return kind == KindNumber || kind == KindSignedNumber; }

std::optional<double> ParseLocaleNumber(std::string_view text, char decimalSeparator) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    // Rewritten into the form std::from_chars reads: point as separator, no plus sign.
    std::string plain;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') plain += '-';
        ++i;
    }
    int digits = 0;
    bool separator = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (IsDigit(c)) {
            plain += c;
            ++digits;
        } else if (c == decimalSeparator && !separator) {
            plain += '.';
            separator = true;
        } else {
            break;
        }
    }
    if (digits == 0) return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        plain += 'e';
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) plain += text[i++];
        int expDigits = 0;
        for (; i < text.size() && IsDigit(text[i]); ++i, ++expDigits) plain += text[i];
        if (expDigits == 0) return std::nullopt;
    }
    if (i != text.size()) return std::nullopt;
    double value = 0;
    const auto [end, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (ec != std::errc() || end != plain.data() + plain.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<std::string> CheckNumberValue(std::string_view text, std::string_view min, std::string_view max,
                                            char decimalSeparator) {
    if (min.empty() || max.empty()) return std::nullopt;
    const std::optional<double> v = ParseLocaleNumber(text, decimalSeparator);
    if (!v) return std::string(kWarnNotNumber);
    const std::optional<double> lo = ParseLocaleNumber(min, decimalSeparator);
    const std::optional<double> hi = ParseLocaleNumber(max, decimalSeparator);
    if (!lo || !hi || *v < *lo || *v > *hi) return std::string(kWarnOutOfRange);
    return std::nullopt;
}

std::optional<std::string> CheckStoredText(std::string_view text, std::size_t size) {
    std::string refused;
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size();) {
        // One character: its lead byte and the continuation bytes after it.
        std::size_t n = 1;
        while (i + n < text.size() && (static_cast<unsigned char>(text[i + n]) & 0xC0) == 0x80) ++n;
        const std::string_view ch = text.substr(i, n);
        i += n;
        ++count;
        bool readsBack = false;
        try {
            const std::string byte = Utf8ToCp1251(ch);
            readsBack = byte.size() == 1 && static_cast<unsigned char>(byte[0]) < kFirstUnreadableTextByte &&
                        byte[0] != ';';
        } catch (const EncodingError&) {
            readsBack = false;
        }
        const std::string named = "«" + std::string(ch) + "»";
        if (!readsBack && refused.find(named) == std::string::npos) refused += (refused.empty() ? "" : ", ") + named;
    }
    if (!refused.empty()) {
        return "Символы " + refused +
               " не сохраняются в памяти устройства (при чтении они пропадут): допустимы латинские буквы, цифры "
               "и знаки, кроме точки с запятой и { | } ~";
    }
    if (count > size) return "Текст длиннее " + std::to_string(size) + " символов";
    return std::nullopt;
}

std::optional<std::string> CheckNewValue(std::string_view kind, std::string_view text, std::string_view min,
                                         std::string_view max, char decimalSeparator) {
    const std::optional<std::int32_t> k = KindOf(kind);
    if (k && IsTextEditKind(*k)) return CheckNumberValue(text, min, max, decimalSeparator);
    if (k && IsChoiceKind(*k)) {
        std::string items;
        for (std::string_view item : ChoiceItems(*k)) {
            if (item == text) return std::nullopt;
            items += items.empty() ? "" : ", ";
            items += "«" + std::string(item) + "»";
        }
        return "Значение должно быть одним из: " + items;
    }
    return std::string("Этот параметр не изменяется");
}

}  // namespace lum
