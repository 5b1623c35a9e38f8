#pragma once
// Port selection without a window system: the list of COM ports present, the token walk over a
// NUL-separated device-name list, the prefix test, and the selector's digit rule.
//
// The device names come from a query with the contract of the platform's device-name query: a caller
// buffer filled with NUL-ended names and one more NUL, the character count returned, and the thread's
// last-error value 122 for a buffer that is too small. IDosDeviceQuery stands for it, so that another
// platform (or a test) can plug in its own.
//
// Threads: any thread; SystemDosDeviceQuery() may be shared.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace lum {

// A list filled under one batch update (BeginUpdate ... EndUpdate).
class IStringList {
  public:
    virtual ~IStringList() = default;
    virtual void BeginUpdate() = 0;
    virtual void EndUpdate() = 0;
    virtual void Clear() = 0;
    virtual void Add(const std::string& item) = 0;
};

class VectorStringList : public IStringList {
  public:
    explicit VectorStringList(std::vector<std::string>& items) : items_(items) {}
    void BeginUpdate() override {}
    void EndUpdate() override {}
    void Clear() override { items_.clear(); }
    void Add(const std::string& item) override { items_.push_back(item); }

  private:
    std::vector<std::string>& items_;
};

class IDosDeviceQuery {
  public:
    virtual ~IDosDeviceQuery() = default;
    // All device names into buffer[0..size): characters stored, or 0 with the last error set.
    virtual std::uint32_t QueryDosDevice(char* buffer, std::uint32_t size) = 0;
    virtual std::uint32_t GetLastError() = 0;
    virtual void SetLastError(std::uint32_t code) = 0;
    // The system's message text for an error code.
    virtual std::string ErrorText(std::uint32_t code) = 0;
};

// The serial ports present on this system as "COMn" (on Linux: the devices of the fixed COM mapping
// that exist; a ttyS device counts only when a UART is behind it).
IDosDeviceQuery& SystemDosDeviceQuery();

// The device-name query failed: the system's text and its error code.
class EOSError : public std::runtime_error {
  public:
    EOSError(std::uint32_t code, const std::string& text) : std::runtime_error(text), code_(code) {}
    std::uint32_t Code() const { return code_; }

  private:
    std::uint32_t code_;
};

// The selector text holds no usable number: "'%s' is not a valid integer value" with its digits.
class EComSelectorError : public std::invalid_argument {
  public:
    using std::invalid_argument::invalid_argument;
};

// Clears `list` and fills it, in the query's order, with every device name that begins with
// `prefix`. The buffer starts at 5120 characters and grows until the names fit. Raises EOSError with
// the system's text when the query fails; the batch update is ended also then.
void ListComPorts(IStringList& list, const std::string& prefix,
                  IDosDeviceQuery& query = SystemDosDeviceQuery());
void ListComPorts(std::vector<std::string>& list, const std::string& prefix,
                  IDosDeviceQuery& query = SystemDosDeviceQuery());

// The NUL-ended name of `text` at the 1-based `position`, which moves past its NUL. Empty (position
// kept) past the end; empty with position 1 when no NUL follows. Raises std::out_of_range
// "aStartPos должен быть больше 0" for a position below 1.
void NextToken(std::string_view text, int& position, std::string& token);

// True when `text` begins with `prefix` under the user's locale, case kept (com1 does not begin with
// COM).
bool StartsWithPrefix(std::string_view prefix, std::string_view text);

// The selector's rule: the decimal digits of `text`, in order, as a number ("COM12" → 12, "COM1 (2)" →
// 12, "COM0" → 0). Raises EComSelectorError for no digits or a number above what an int holds.
int ComNumberFromSelectorText(std::string_view text);

// The device behind "COMn" (for tooltips); "" when the text is not a COM name or the number has none.
std::string ComNameToDevicePath(std::string_view comName);

}  // namespace lum
