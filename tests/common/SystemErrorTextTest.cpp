#include <gtest/gtest.h>

#include <cstring>
#include <system_error>

#include "common/SystemErrorText.h"

namespace lum {
namespace {

// Our Russian text first, the system's own after it; an error without our text keeps its number.
TEST(SystemErrorText, RussianTextThenTheSystemsOwn) {
    const std::pair<std::errc, const char*> cases[] = {
        {std::errc::no_such_file_or_directory, "Нет такого файла или папки"},
        {std::errc::permission_denied, "Доступ запрещён"},
        {std::errc::no_space_on_device, "На диске нет места"},
        {std::errc::device_or_resource_busy, "Устройство занято"},
    };
    for (const auto& [code, russian] : cases) {
        const int e = static_cast<int>(code);
        EXPECT_EQ(ErrnoText(e), std::string(russian) + " (" + std::strerror(e) + ")");
    }
    const int unknown = 4242;
    EXPECT_EQ(ErrnoText(unknown), "Системная ошибка 4242 (" + std::string(std::strerror(unknown)) + ")");
}

}  // namespace
}  // namespace lum
