#include "common/SystemErrorText.h"

#include <cstring>
#include <mutex>
#include <system_error>

namespace lum {
namespace {

struct Known {
    std::errc code;
    const char* russian;
};

constexpr Known kKnown[] = {
    {std::errc::no_such_file_or_directory, "Нет такого файла или папки"},
    {std::errc::permission_denied, "Доступ запрещён"},
    {std::errc::operation_not_permitted, "Операция не разрешена"},
    {std::errc::file_exists, "Файл уже существует"},
    {std::errc::is_a_directory, "Это папка, а не файл"},
    {std::errc::not_a_directory, "Часть пути не является папкой"},
    {std::errc::no_space_on_device, "На диске нет места"},
    {std::errc::read_only_file_system, "Диск доступен только для чтения"},
    {std::errc::device_or_resource_busy, "Устройство занято"},
    {std::errc::io_error, "Ошибка ввода-вывода"},
    {std::errc::filename_too_long, "Слишком длинное имя файла"},
    {std::errc::too_many_files_open, "Открыто слишком много файлов"},
    {std::errc::no_such_device_or_address, "Нет такого устройства"},
    {std::errc::no_such_device, "Нет такого устройства"},
    {std::errc::invalid_argument, "Недопустимый аргумент"},
    {std::errc::resource_unavailable_try_again, "Ресурс временно недоступен"},
    {std::errc::interrupted, "Операция прервана"},
    {std::errc::inappropriate_io_control_operation, "Устройство не поддерживает эту операцию"},
    {std::errc::timed_out, "Время ожидания истекло"},
    {std::errc::cross_device_link, "Нельзя переместить файл на другой диск"},
    {std::errc::broken_pipe, "Канал закрыт другой стороной"},
    {std::errc::connection_refused, "Соединение отклонено"},
    {std::errc::connection_reset, "Соединение сброшено другой стороной"},
    {std::errc::connection_aborted, "Соединение прервано"},
    {std::errc::host_unreachable, "Узел недоступен"},
    {std::errc::network_unreachable, "Сеть недоступна"},
};

std::string SystemText(int error) {
    static std::mutex lock;  // std::strerror may share one buffer between threads
    std::lock_guard guard(lock);
    return std::strerror(error);
}

}  // namespace

std::string ErrnoText(int error) {
    const std::string system = SystemText(error);
    for (const Known& k : kKnown) {
        if (static_cast<int>(k.code) != error) continue;
        if (system == k.russian) return system;
        return std::string(k.russian) + " (" + system + ")";
    }
    return "Системная ошибка " + std::to_string(error) + " (" + system + ")";
}

}  // namespace lum
