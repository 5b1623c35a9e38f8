#include "common/AtomicFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace lum {
namespace {

namespace fs = std::filesystem;

struct Folder {
    fs::path dir = fs::temp_directory_path() / ("lum-atomic-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    Folder() { fs::create_directories(dir); }
    ~Folder() {
        std::error_code ignored;
        fs::permissions(dir / "locked", fs::perms::owner_all, ignored);
        fs::remove_all(dir, ignored);
    }
};

TEST(AtomicFile, ReplacesTheFileAndKeepsItsPermissions) {
    Folder f;
    const fs::path file = f.dir / "conf.txt";
    WriteFileAtomically(file.string(), "old");
    // Windows keeps only a read-only flag: what the system made of 0640 is what must stay.
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const fs::perms before = fs::status(file).permissions() & fs::perms::all;
    WriteFileAtomically(file.string(), "new\r\n");
    std::ifstream in(file, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new\r\n");
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, before);
    EXPECT_EQ(std::distance(fs::directory_iterator(f.dir), fs::directory_iterator()), 1);  // no temporary left
}

TEST(AtomicFile, FailuresNameTheUsersFileAndTheReason) {
    Folder f;
    fs::create_directories(f.dir / "locked");
    fs::create_directories(f.dir / "a folder");
    fs::permissions(f.dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    const bool root = std::ofstream(f.dir / "locked" / "probe").is_open();
    const std::pair<fs::path, const char*> cases[] = {
        {f.dir / "missing" / "x.txt", "Нет такого файла или папки (No such file or directory)"},
        {f.dir / "a folder", "Это папка, а не файл (Is a directory)"},
        {f.dir / "locked" / "x.csv", "Доступ запрещён (Permission denied)"},
    };
    for (const auto& [target, reason] : cases) {
        if (root && target.parent_path().filename() == "locked") continue;
        try {
            WriteFileAtomically(target.string(), "data");
            ADD_FAILURE() << target;
        } catch (const FileError& e) {
            EXPECT_EQ(std::string(e.what()), "Не удалось записать файл «" + target.string() + "»: " + reason);
        }
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(f.dir), fs::directory_iterator()), 2);
}

}  // namespace
}  // namespace lum
