// Configuration files: the exact layout, the strict reading, the ".txt" rule and the
// atomic save.
#include "params/ConfigFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <numeric>
#include <string>

#include "params/NodeText.h"

namespace lum {
namespace {

namespace fs = std::filesystem;

ConfigImage Ramp() {
    ConfigImage m;
    std::iota(m.begin(), m.end(), std::uint8_t{0});
    return m;
}

// A fresh empty folder for one test, removed afterwards.
class TempDir {
  public:
    TempDir() {
        path_ = fs::temp_directory_path() /
                ("lum-configfile-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    std::size_t Entries() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(path_), {})); }

  private:
    fs::path path_;
};

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(ConfigFileFormat, SixteenLinesOfSixtyFourCharactersAndCrLf) {
    const std::string text = FormatConfigFile(Ramp());
    ASSERT_EQ(text.size(), 16u * 66u);
    for (std::size_t line = 0; line < 16; ++line) {
        EXPECT_EQ(text.substr(line * 66 + 64, 2), "\r\n") << line;
        EXPECT_EQ(text.substr(line * 66, 64).find_first_of("\r\n"), std::string::npos) << line;
    }
    EXPECT_EQ(text.substr(0, 16), "0   1   2   3   ");
    EXPECT_EQ(text.substr(66 * 6 + 4 * 4, 8), "100 101 ");
    EXPECT_EQ(text.substr(66 * 15 + 60, 6), "255 \r\n");
}

TEST(ConfigFileFormat, SavedAfterStartUpByteForByte) {
    ParamTreeModel tree;
    LoadCatalog(tree, CatalogPetrolV2);
    ConfigImage image{};
    PackTreeToImage(tree, image);
    const std::string text = FormatConfigFile(image);
    // Line 0: 255 at 0..3, 0 0 0 0 (counter start), 100 (service period), 0 (off), 1 (on), 15, 5, 1, 0, 5, 255, 255.
    EXPECT_EQ(text.substr(0, 66),
              "255 255 255 255 0   0   0   0   100 0   1   15  5   1   0   5   \r\n");
    // Line 2 from 32: generator thresholds 180, 260, then the mains' 180, 260, big-endian.
    EXPECT_EQ(text.substr(66 * 2, 32), "0   180 1   4   0   180 1   4   ");
    // Line 11: 176..191: 255 throughout (no parameter, counters, serial number).
    std::string erasedLine;
    for (int i = 0; i < 16; ++i) erasedLine += "255 ";
    EXPECT_EQ(text.substr(66 * 11, 66), erasedLine + "\r\n");
    EXPECT_EQ(ParseConfigFile(text), image);
}

TEST(ConfigFileParse, AcceptsAnyBlanksTabsAndLineEnds) {
    const ConfigImage want = Ramp();
    std::string text;
    for (std::size_t a = 0; a < 256; ++a) text += std::to_string(want[a]) + (a % 5 == 0 ? "\t" : a % 7 == 0 ? "\n" : "  ");
    EXPECT_EQ(ParseConfigFile(text), want);
    EXPECT_EQ(ParseConfigFile(FormatConfigFile(want) + "\r\n  \r\n"), want);
}

// The error message of parsing `text`, or empty when it parsed.
std::string ErrorOf(const std::string& text) {
    try {
        ParseConfigFile(text);
    } catch (const ConfigFileError& e) {
        return e.what();
    }
    return {};
}

TEST(ConfigFileParse, BadTokenNamesLineAndToken) {
    std::string text = FormatConfigFile(Ramp());
    text.replace(66 * 3 + 8, 2, "4x");  // line 4, third value "50" -> "4x"
    const std::string e = ErrorOf(text);
    EXPECT_NE(e.find("Строка 4"), std::string::npos) << e;
    EXPECT_NE(e.find("«4x»"), std::string::npos) << e;
    EXPECT_NE(ErrorOf(FormatConfigFile(Ramp()).replace(0, 1, "1.5")), "");
    EXPECT_NE(ErrorOf(FormatConfigFile(Ramp()).replace(0, 1, "-")), "");
}

TEST(ConfigFileParse, ValuesOutsideAByteAreRefused) {
    std::string text = FormatConfigFile(Ramp());
    text.replace(66 * 15 + 60, 3, "256");
    const std::string e = ErrorOf(text);
    EXPECT_NE(e.find("Строка 16"), std::string::npos) << e;
    EXPECT_NE(e.find("«256»"), std::string::npos) << e;
    EXPECT_NE(ErrorOf(FormatConfigFile(Ramp()).replace(0, 1, "-1")), "");
    EXPECT_NE(ErrorOf(FormatConfigFile(Ramp()).replace(0, 1, "99999999999999999999")), "");
    // Leading zeros and a sign on zero still name a byte.
    EXPECT_EQ(ParseConfigFile(FormatConfigFile(Ramp()).replace(0, 1, "-0000"))[0], 0);
    EXPECT_EQ(ParseConfigFile(FormatConfigFile(Ramp()).replace(4, 1, "+001"))[1], 1);
}

TEST(ConfigFileParse, ExactlyTwoHundredFiftySixValues) {
    std::string short255 = FormatConfigFile(Ramp());
    short255.resize(66 * 15 + 60);  // drops the last value and the final line end
    EXPECT_NE(ErrorOf(short255).find("255 значений"), std::string::npos) << ErrorOf(short255);
    const std::string e = ErrorOf(FormatConfigFile(Ramp()) + "7\r\n");
    EXPECT_NE(e.find("Строка 17"), std::string::npos) << e;
    EXPECT_NE(ErrorOf(""), "");
}

TEST(ConfigFileName, TxtAppendedOnlyWhenMissing) {
    EXPECT_EQ(ConfigFilePath("/home/u/conf"), "/home/u/conf.txt");
    EXPECT_EQ(ConfigFilePath("/home/u/conf.txt"), "/home/u/conf.txt");
    EXPECT_EQ(ConfigFilePath("C:\\cfg\\A.TXT"), "C:\\cfg\\A.TXT");
    EXPECT_EQ(ConfigFilePath("conf.txt.bak"), "conf.txt.bak.txt");
    EXPECT_EQ(ConfigFilePath("txt"), "txt.txt");
    EXPECT_EQ(TitleAfterSave("/home/u/conf.txt"), "/home/u/conf.txt");
    EXPECT_EQ(TitleAfterSave("/home/u/conf"), "/home/u/conf");
}

TEST(ConfigFileSave, WritesThroughATemporaryAndReplacesTheTarget) {
    TempDir dir;
    const std::string path = dir.File("conf.txt");
    {
        std::ofstream old(path, std::ios::binary);
        old << "old content";
    }
    SaveConfigFile(path, Ramp());
    EXPECT_EQ(Slurp(path), FormatConfigFile(Ramp()));
    EXPECT_EQ(dir.Entries(), 1u);  // no temporary left behind
    EXPECT_EQ(LoadConfigFile(path), Ramp());
}

TEST(ConfigFileSave, TheOldFileIsReplacedWholeNotOverwritten) {
    // A second name for the old file keeps the old content: the new file is a new file,
    // complete before it takes the name, never the old one rewritten in place.
    TempDir dir;
    const std::string path = dir.File("conf.txt");
    SaveConfigFile(path, ErasedImage());
    fs::create_hard_link(path, dir.File("old-link"));
    SaveConfigFile(path, Ramp());
    EXPECT_EQ(LoadConfigFile(path), Ramp());
    EXPECT_EQ(LoadConfigFile(dir.File("old-link")), ErasedImage());
}

TEST(ConfigFileSave, FailureLeavesTheOldFileAndNoTemporary) {
    TempDir dir;
    // The target is a non-empty folder: the rename over it fails.
    const std::string path = dir.File("taken");
    fs::create_directories(fs::path(path) / "inner");
    EXPECT_THROW(SaveConfigFile(path, Ramp()), FileError);
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(dir.Entries(), 1u);
    // A folder that does not exist.
    EXPECT_THROW(SaveConfigFile(dir.File("missing/conf.txt"), Ramp()), FileError);
}

TEST(ConfigFileLoad, MissingFileAndBadContentNameTheFile) {
    TempDir dir;
    try {
        LoadConfigFile(dir.File("absent.txt"));
        FAIL() << "no error";
    } catch (const ConfigFileError& e) {
        EXPECT_NE(std::string(e.what()).find("absent.txt"), std::string::npos);
    }
    const std::string path = dir.File("bad.txt");
    WriteFileAtomically(path, "1 2 x");
    try {
        LoadConfigFile(path);
        FAIL() << "no error";
    } catch (const ConfigFileError& e) {
        EXPECT_NE(std::string(e.what()).find("bad.txt"), std::string::npos);
        EXPECT_NE(std::string(e.what()).find("«x»"), std::string::npos);
    }
}

}  // namespace
}  // namespace lum
