#include "serial/PortList.h"

#include <climits>
#include <locale>

#include "serial/SerialPlatform.h"

namespace lum {

namespace {

class SystemQuery : public IDosDeviceQuery {
  public:
    std::uint32_t QueryDosDevice(char* buffer, std::uint32_t size) override {
        return serial_os::QueryDeviceNames(buffer, size);
    }
    std::uint32_t GetLastError() override { return serial_os::GetLastError(); }
    void SetLastError(std::uint32_t code) override { serial_os::SetLastError(code); }
    std::string ErrorText(std::uint32_t code) override { return serial_os::ErrorText(code); }
};

// Ends a batch update when the scope ends, also on an error.
struct UpdateScope {
    IStringList& list;
    explicit UpdateScope(IStringList& l) : list(l) { list.BeginUpdate(); }
    ~UpdateScope() { list.EndUpdate(); }
};

const std::locale& UserLocale() {
    static const std::locale locale = [] {
        try {
            return std::locale("");
        } catch (const std::runtime_error&) {
            return std::locale::classic();  // the environment names a locale that is not installed
        }
    }();
    return locale;
}

}  // namespace

IDosDeviceQuery& SystemDosDeviceQuery() {
    static SystemQuery query;
    return query;
}

void ListComPorts(IStringList& list, const std::string& prefix, IDosDeviceQuery& query) {
    std::uint32_t size = 5120;
    std::string buffer;
    std::uint32_t count = 0;
    for (;;) {
        buffer.assign(size, '\0');
        query.SetLastError(0);
        count = query.QueryDosDevice(buffer.data(), size);
        const std::uint32_t error = query.GetLastError();
        if (count != 0 && error == serial_os::kErrorInsufficientBuffer) {
            size = count;
            count = 0;
        }
        if (error != 0 && error != serial_os::kErrorInsufficientBuffer)
            throw EOSError(error, query.ErrorText(error));
        if (count == 0 && error == serial_os::kErrorInsufficientBuffer) size += 1024;
        // Nothing stored and nothing wrong: there are no names at all.
        if (count != 0 || error == 0) break;
    }
    buffer.resize(std::min<std::size_t>(count, buffer.size()));

    int position = 1;
    std::string token;
    NextToken(buffer, position, token);
    UpdateScope update(list);
    list.Clear();
    while (!token.empty()) {
        if (StartsWithPrefix(prefix, token)) list.Add(token);
        NextToken(buffer, position, token);
    }
}

void ListComPorts(std::vector<std::string>& list, const std::string& prefix, IDosDeviceQuery& query) {
    VectorStringList items(list);
    ListComPorts(items, prefix, query);
}

void NextToken(std::string_view text, int& position, std::string& token) {
    if (position < 1) throw std::out_of_range("aStartPos должен быть больше 0");
    const auto start = static_cast<std::size_t>(position - 1);
    if (text.size() < static_cast<std::size_t>(position)) {
        token.clear();
        return;
    }
    const auto nul = text.find('\0', start);
    if (nul == std::string_view::npos) {
        token.clear();
        position = 1;
        return;
    }
    token.assign(text.substr(start, nul - start));
    position = static_cast<int>(nul + 2);
}

bool StartsWithPrefix(std::string_view prefix, std::string_view text) {
    if (text.size() < prefix.size()) return false;
    const auto& collate = std::use_facet<std::collate<char>>(UserLocale());
    const std::string_view head = text.substr(0, prefix.size());
    return collate.compare(prefix.data(), prefix.data() + prefix.size(), head.data(),
                           head.data() + head.size()) == 0;
}

int ComNumberFromSelectorText(std::string_view text) {
    std::string digits;
    for (char c : text) {
        if (c >= '0' && c <= '9') digits += c;
    }
    const auto fail = [&digits]() -> int {
        throw EComSelectorError("'" + digits + "' is not a valid integer value");
    };
    if (digits.empty()) return fail();
    long long value = 0;
    for (char c : digits) {
        value = value * 10 + (c - '0');
        if (value > INT_MAX) return fail();
    }
    return static_cast<int>(value);
}

std::string ComNameToDevicePath(std::string_view comName) {
    if (comName.size() < 4 || comName.substr(0, 3) != "COM") return {};
    const std::string_view digits = comName.substr(3);
    if (digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string_view::npos) return {};
    return serial_os::ComDevicePath(std::stoi(std::string(digits)));
}

}  // namespace lum
