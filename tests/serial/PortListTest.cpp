#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "serial/ComPort.h"
#include "serial/PortList.h"
#include "serial/SerialPlatform.h"

namespace lum {
namespace {

// A device-name query over a fixed list, with the platform's contract: a buffer that is too small
// gives 0 and last error 122 (or, with reportNeededSize, the needed size and 122).
class FakeQuery : public IDosDeviceQuery {
  public:
    explicit FakeQuery(std::vector<std::string> names) {
        for (const auto& n : names) list_ += n + '\0';
        list_ += '\0';
    }
    std::uint32_t QueryDosDevice(char* buffer, std::uint32_t size) override {
        sizes.push_back(size);
        if (failWith != 0) {
            lastError_ = failWith;
            return 0;
        }
        if (list_.size() > size) {
            lastError_ = 122;
            return reportNeededSize ? static_cast<std::uint32_t>(list_.size()) : 0;
        }
        std::memcpy(buffer, list_.data(), list_.size());
        return static_cast<std::uint32_t>(list_.size());
    }
    std::uint32_t GetLastError() override { return lastError_; }
    void SetLastError(std::uint32_t code) override { lastError_ = code; }
    std::string ErrorText(std::uint32_t code) override { return code == 5 ? "Access is denied." : "?"; }

    std::vector<std::uint32_t> sizes;
    std::uint32_t failWith = 0;
    bool reportNeededSize = false;

  private:
    std::string list_;
    std::uint32_t lastError_ = 0;
};

TEST(ListComPorts, KeepsNamesWithThePrefixInTheSystemsOrder) {
    FakeQuery query({"COM3", "COM10", "LPT1", "com7", "NUL"});
    std::vector<std::string> list{"stale"};
    ListComPorts(list, "COM", query);
    EXPECT_EQ(list, (std::vector<std::string>{"COM3", "COM10"}));
    EXPECT_EQ(query.sizes, std::vector<std::uint32_t>{5120});
}

TEST(ListComPorts, GrowsTheBufferUntilALongListFits) {
    std::vector<std::string> names;
    for (int i = 1; i <= 1200; ++i) names.push_back("COM" + std::to_string(i));
    names.push_back("LPT1");
    FakeQuery query(names);
    std::size_t total = 1;
    for (const auto& n : names) total += n.size() + 1;
    ASSERT_GT(total, 8192u);  // 8499 characters
    std::vector<std::string> list;
    ListComPorts(list, "COM", query);
    ASSERT_EQ(list.size(), 1200u);
    EXPECT_EQ(list.front(), "COM1");
    EXPECT_EQ(list.back(), "COM1200");
    EXPECT_EQ(query.sizes, (std::vector<std::uint32_t>{5120, 6144, 7168, 8192, 9216}));
}

TEST(ListComPorts, TakesTheSizeTheQueryAsksFor) {
    std::vector<std::string> names;
    for (int i = 1; i <= 1000; ++i) names.push_back("COM" + std::to_string(i));
    FakeQuery query(names);
    query.reportNeededSize = true;
    std::vector<std::string> list;
    ListComPorts(list, "COM", query);
    EXPECT_EQ(list.size(), 1000u);
    ASSERT_EQ(query.sizes.size(), 2u);
    EXPECT_GT(query.sizes[1], 5120u);
}

TEST(ListComPorts, OtherErrorsRaiseWithTheSystemsText) {
    FakeQuery query({"COM1"});
    query.failWith = 5;
    std::vector<std::string> list{"kept"};
    try {
        ListComPorts(list, "COM", query);
        FAIL() << "no error";
    } catch (const EOSError& e) {
        EXPECT_STREQ(e.what(), "Access is denied.");
        EXPECT_EQ(e.Code(), 5u);
    }
    EXPECT_EQ(list, std::vector<std::string>{"kept"});
}

TEST(ListComPorts, EmptyListAndEmptyQueryResult) {
    FakeQuery none({});
    std::vector<std::string> list{"stale"};
    ListComPorts(list, "COM", none);
    EXPECT_TRUE(list.empty());

    // A query that stores nothing and reports nothing wrong ends the walk too (no endless retry).
    class Silent : public FakeQuery {
      public:
        Silent() : FakeQuery({}) {}
        std::uint32_t QueryDosDevice(char*, std::uint32_t) override { return 0; }
    } silent;
    ListComPorts(list, "COM", silent);
    EXPECT_TRUE(list.empty());
}

TEST(ListComPorts, BatchUpdateEndsAlsoWhenAddingFails) {
    struct Failing : IStringList {
        int begun = 0, ended = 0;
        void BeginUpdate() override { ++begun; }
        void EndUpdate() override { ++ended; }
        void Clear() override {}
        void Add(const std::string&) override { throw std::runtime_error("full"); }
    } list;
    FakeQuery query({"COM1"});
    EXPECT_THROW(ListComPorts(list, "COM", query), std::runtime_error);
    EXPECT_EQ(list.begun, 1);
    EXPECT_EQ(list.ended, 1);
}

TEST(NextToken, WalksNulSeparatedNames) {
    const std::string text("COM1\0COM22\0\0", 12);
    int position = 1;
    std::string token;
    NextToken(text, position, token);
    EXPECT_EQ(token, "COM1");
    EXPECT_EQ(position, 6);
    NextToken(text, position, token);
    EXPECT_EQ(token, "COM22");
    EXPECT_EQ(position, 12);
    NextToken(text, position, token);  // the final NUL: an empty name
    EXPECT_EQ(token, "");
    EXPECT_EQ(position, 13);
    NextToken(text, position, token);  // past the end: empty, position kept
    EXPECT_EQ(token, "");
    EXPECT_EQ(position, 13);
}

TEST(NextToken, NameWithoutNulAndBadPosition) {
    int position = 2;
    std::string token = "x";
    NextToken("COM1", position, token);
    EXPECT_EQ(token, "");
    EXPECT_EQ(position, 1);

    position = 0;
    try {
        NextToken("COM1", position, token);
        FAIL() << "no error";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "aStartPos должен быть больше 0");
    }
}

TEST(StartsWithPrefix, ComparesWithoutFoldingCase) {
    EXPECT_TRUE(StartsWithPrefix("COM", "COM1"));
    EXPECT_TRUE(StartsWithPrefix("COM", "COM"));
    EXPECT_FALSE(StartsWithPrefix("COM", "com1"));
    EXPECT_FALSE(StartsWithPrefix("COM", "CO"));
    EXPECT_FALSE(StartsWithPrefix("COM", "LPT1"));
    EXPECT_TRUE(StartsWithPrefix("", "LPT1"));
}

TEST(SelectorDigits, KeepsEveryDigitInOrder) {
    EXPECT_EQ(ComNumberFromSelectorText("COM12"), 12);
    EXPECT_EQ(ComNumberFromSelectorText("COM1 (2)"), 12);
    EXPECT_EQ(ComNumberFromSelectorText("COM0"), 0);
    EXPECT_EQ(ComNumberFromSelectorText("COM007"), 7);
    EXPECT_EQ(ComNumberFromSelectorText("2147483647"), 2147483647);
}

TEST(SelectorDigits, NoDigitsOrTooManyFail) {
    const auto message = [](const char* text) {
        try {
            ComNumberFromSelectorText(text);
        } catch (const EComSelectorError& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    for (const char* typed : {"C", "CO", "COM", "COM-порт", ""})
        EXPECT_EQ(message(typed), "'' is not a valid integer value") << typed;
    EXPECT_EQ(message("COM2147483648"), "'2147483648' is not a valid integer value");
    EXPECT_EQ(message("COM99999999999999999999"), "'99999999999999999999' is not a valid integer value");
}

TEST(SelectorDigits, Com0IsANumberThatNoPortHas) {
    TComPort port;
    port.SetComNumber(ComNumberFromSelectorText("COM0"));
    try {
        port.Open();
        FAIL() << "opened";
    } catch (const EComPortCoreError& e) {
        EXPECT_STREQ(e.what(), "Invalid port number (COM0)");
    }
    EXPECT_FALSE(port.Connected());
}

TEST(ComDevices, FixedMappingBothWays) {
    const std::pair<int, const char*> pairs[] = {{1, "/dev/ttyS0"},    {32, "/dev/ttyS31"},
                                                 {33, "/dev/ttyUSB0"}, {64, "/dev/ttyUSB31"},
                                                 {65, "/dev/ttyACM0"}, {96, "/dev/ttyACM31"}};
    for (const auto& [number, path] : pairs) {
        EXPECT_EQ(serial_os::ComDevicePath(number), path);
        EXPECT_EQ(serial_os::ComNumberOfDevicePath(path), number);
    }
    for (int none : {-1, 0, 97, 65535}) EXPECT_EQ(serial_os::ComDevicePath(none), "") << none;
    for (const char* none : {"/dev/ttyS32", "/dev/ttyUSB", "/dev/ttyS01", "/dev/pts/3", "/dev/ttyS1x", ""})
        EXPECT_EQ(serial_os::ComNumberOfDevicePath(none), 0) << none;
    EXPECT_EQ(ComNameToDevicePath("COM5"), "/dev/ttyS4");
    EXPECT_EQ(ComNameToDevicePath("COM40"), "/dev/ttyUSB7");
    EXPECT_EQ(ComNameToDevicePath("com5"), "");
    EXPECT_EQ(ComNameToDevicePath("COM"), "");
    EXPECT_EQ(ComNameToDevicePath("COM999999"), "");
}

TEST(ComDevices, SystemListNamesOnlyDevicesThatExist) {
    std::vector<std::string> list;
    ListComPorts(list, "COM");
    for (const auto& name : list) {
        const std::string path = ComNameToDevicePath(name);
        struct stat st;
        EXPECT_EQ(::stat(path.c_str(), &st), 0) << name << " " << path;
    }
}

}  // namespace
}  // namespace lum
