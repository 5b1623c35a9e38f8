// The pieces of lumctl that are plain logic: table alignment with Cyrillic text, the
// monitor's frame lines, port names, and the configuration files it accepts.
#include <gtest/gtest.h>
#include <unistd.h>

#include "cli/Configuration.h"
#include "cli/Errors.h"
#include "cli/Session.h"
#include "cli/Table.h"
#include "cli/Traffic.h"
#include "link/FrameCodec.h"
#include "params/ConfigFile.h"

namespace lum::cli {
namespace {

TEST(CliTable, ColumnsAlignByCharactersNotBytes) {
    Table t({"Параметр", "Значение"});
    t.Add({"Нижний порог", "180"});
    t.Add({"Час", "12"});
    EXPECT_EQ(t.Render(),
              "Параметр      Значение\n"
              "Нижний порог  180\n"
              "Час           12\n");
    Table empty;
    EXPECT_EQ(empty.Render(), "");
    EXPECT_EQ(TextWidth("\xFF\xFE"), 2u);  // not UTF-8: counted in bytes
}

TEST(CliTraffic, AFrameLineCarriesItsFieldsAndTheCheckVerdict) {
    const auto at = std::chrono::system_clock::time_point{};
    const std::string wire = BuildReadFrame(0x40, 64);
    const std::string line = FormatSent("<<" + wire, at);
    EXPECT_NE(line.find("->  01 05 0040 40"), std::string::npos) << line;
    EXPECT_NE(line.find("КС верна  чтение"), std::string::npos) << line;

    LinkState s;
    const std::uint8_t frame[] = {0x01, 0x15, 0x00, 0x00, 0x01, 0xC8, 0x00};
    std::copy(std::begin(frame), std::end(frame), s.RxFrame.begin());
    s.RxFrameLength = sizeof frame;
    s.RxFrameCheckOk = false;
    const std::string bad = FormatReceived(s, at);
    EXPECT_NE(bad.find("<-  01 15 0000 01  C8 | 00  ОШИБКА КС"), std::string::npos) << bad;

    EXPECT_NE(FormatRawLine("\x10" "01\r", at).find("<10>01<0D>"), std::string::npos);
}

TEST(CliPorts, ComNamesAndPathsAreToldApart) {
    const PortTarget com = ResolvePort("COM35");
    EXPECT_EQ(com.comNumber, 35);
    EXPECT_EQ(com.devicePath, "/dev/ttyUSB2");
    EXPECT_EQ(ResolvePort("com1").comNumber, 1);
    const PortTarget path = ResolvePort("/dev/pts/7");
    EXPECT_EQ(path.comNumber, -1);
    EXPECT_EQ(path.devicePath, "/dev/pts/7");
    EXPECT_EQ(ResolvePort("COM1x").comNumber, -1);  // not a COM name: a path
    try {
        ResolvePort("");
        FAIL();
    } catch (const CliError& e) {
        EXPECT_EQ(e.Code(), ExitBadArguments);
    }
}

std::string WriteTemp(const std::string& name, const std::string& text) {
    const std::string path = ::testing::TempDir() + "cli-" + std::to_string(getpid()) + "-" + name;
    WriteFileAtomically(path, text);
    return path;
}

int CodeOf(const std::string& path) {
    try {
        LoadConfiguration(path);
    } catch (const CliError& e) {
        return e.Code();
    }
    return 0;
}

TEST(CliConfigurationFile, TheToolsFileAndTheJsonOfReadAreAccepted) {
    ConfigImage image = DefaultImageForModel(201);
    const std::string text = WriteTemp("plain.txt", FormatConfigFile(image));
    const ConfigurationFile plain = LoadConfiguration(text);
    EXPECT_EQ(plain.Image, image);
    EXPECT_FALSE(plain.Model);

    const ParamTreeModel tree = TreeFromImage(201, image);
    const std::string json = WriteTemp("read.json", ConfigurationJson(201, image, tree).dump());
    const ConfigurationFile fromJson = LoadConfiguration(json);
    EXPECT_EQ(fromJson.Image, image);
    EXPECT_EQ(fromJson.Model, 201);

    // Broken files: exit code 2, whatever is wrong.
    EXPECT_EQ(CodeOf(WriteTemp("short.json", R"({"model": 200, "image": [1, 2, 3]})")), ExitBadArguments);
    std::string outOfRange = R"({"image": [)";
    for (int i = 0; i < 255; ++i) outOfRange += "0,";
    EXPECT_EQ(CodeOf(WriteTemp("big.json", outOfRange + "256]}")), ExitBadArguments);
    EXPECT_EQ(CodeOf(WriteTemp("model.json", R"({"model": 7, "image": []})")), ExitBadArguments);
    EXPECT_EQ(CodeOf(WriteTemp("broken.json", "{ not json")), ExitBadArguments);
    EXPECT_EQ(CodeOf(::testing::TempDir() + "cli-no-such-file"), ExitBadArguments);
}

TEST(CliConfigurationFile, AWriteSendsThePackedCatalogueNotStrayBytes) {
    ConfigImage source = DefaultImageForModel(200);
    source[1] = 7;    // motor hours: not written by a configuration write
    source[16] = 9;   // no parameter here
    source[72] = 5;   // engine type: no such item, unpacks empty
    const ConfigImage sent = NormalisedImage(200, source);
    EXPECT_EQ(sent[1], 255);
    EXPECT_EQ(sent[16], 255);
    EXPECT_EQ(sent[72], 255);
    EXPECT_EQ(sent[37], source[37]);
    const Changes changes = WriteChanges(CatalogTree(200), source, sent);
    ASSERT_EQ(changes.Parameters.size(), 1u);
    EXPECT_EQ(changes.Parameters[0].Path, "Тип двигателя электрогенератора");
    EXPECT_EQ(changes.Bytes, std::vector<std::size_t>{16});  // byte 1 lies outside the write blocks
}

}  // namespace
}  // namespace lum::cli
