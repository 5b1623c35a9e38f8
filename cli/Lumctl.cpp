#include "cli/Lumctl.h"

#include <CLI/CLI.hpp>
#include <ostream>

#include "cli/Commands.h"
#include "cli/Errors.h"
#include "params/Catalog.h"

namespace lum::cli {

namespace {

const char* kExitCodes =
    "Коды завершения: 0 выполнено; 1 нет контроллера или сбой порта; 2 неверные аргументы или файл;\n"
    "3 проверка (или diff) нашла различие; 130 прервано (Ctrl-C).";

CLI::App* Command(CLI::App& app, const char* name, const char* description, const std::string& example) {
    CLI::App* sub = app.add_subcommand(name, description);
    sub->footer("Пример:\n  " + example);
    return sub;
}

}  // namespace

int RunLumctl(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CLI::App app{"lumctl: контроллеры ЛУМ из командной строки (состояние, параметры, журналы, сервисные команды)",
                 "lumctl"};
    app.fallthrough();
    app.require_subcommand(1);
    app.footer(std::string("PORT: имя COMn или путь к устройству (/dev/ttyUSB0).\n") + kExitCodes +
               "\nПример:\n  lumctl --demo status --json");

    GlobalOptions g;
    app.add_option("-p,--port", g.port, "последовательный порт: COMn или путь к устройству");
    app.add_flag("--demo", g.demo, "встроенный имитатор контроллера вместо порта");
    app.add_option("--model", g.model, "модель (каталог): " + ModelCodeList(" или ") + "; с --demo и модель имитатора");
    app.add_option("--service-password", g.servicePassword, "сервисный пароль (motor-hours, serial-number)");
    app.add_flag("--trace", g.trace, "кадры в обе стороны на stderr, с метками времени");
    app.add_option("--demo-interval", g.demoInterval, "период записей состояния имитатора, мс (--demo)")
        ->check(CLI::Range(20, 10000));
    app.add_option("--timeout", g.statusTimeout, "сколько ждать первую запись состояния, мс")
        ->check(CLI::Range(100, 600000));

    bool json = false, csv = false, follow = false, raw = false;
    std::string file, outFile, time, number;
    std::vector<std::string> assignments;
    int frames = 0;

    auto* ports = Command(app, "ports", "последовательные порты: имя COM, устройство, адаптер", "lumctl ports");
    ports->add_flag("--json", json, "вывод в JSON");

    auto* status = Command(app, "status", "записи состояния: напряжения, температуры, режим, индикаторы",
                           "lumctl -p COM3 status --follow");
    status->add_flag("-f,--follow", follow, "каждая новая запись, до Ctrl-C");
    status->add_flag("--json", json, "вывод в JSON (с --follow: объект на строку)");

    auto* read = Command(app, "read", "прочитать конфигурацию: таблица параметров, файл или JSON",
                         "lumctl -p COM3 read -o lum.txt");
    read->add_option("-o,--output", outFile, "сохранить в файл (как окно: 256 чисел; с --json — JSON)");
    read->add_flag("--json", json, "вывод в JSON");

    auto* diff = Command(app, "diff", "параметры, которые в файле не такие, как в контроллере",
                         "lumctl -p COM3 diff lum.txt");
    diff->add_option("FILE", file, "файл конфигурации")->required();
    diff->add_flag("--json", json, "вывод в JSON");

    auto* write = Command(app, "write", "записать файл конфигурации и проверить чтением",
                          "lumctl -p COM3 write lum.txt");
    write->add_option("FILE", file, "файл конфигурации (256 чисел или JSON из read --json)")->required();

    auto* set = Command(app, "set", "прочитать, изменить названные параметры, записать, проверить",
                        "lumctl -p COM3 set \"Параметры сети/Напряжение сети/Нижний порог=170\"");
    set->add_option("ASSIGNMENT", assignments, "ПУТЬ=ЗНАЧЕНИЕ; достаточно однозначного имени")->required();

    auto* journal = Command(app, "journal", "журнал событий и журнал аварий", "lumctl -p COM3 journal --csv > j.csv");
    auto* jsonOpt = journal->add_flag("--json", json, "вывод в JSON");
    journal->add_flag("--csv", csv, "вывод в CSV")->excludes(jsonOpt);

    const std::pair<const char*, const char*> simple[] = {
        {"clock-sync", "установить часы контроллера по часам ПК"},
        {"auto", "режим Авто"},
        {"semi-auto", "режим Полу-авто"},
        {"sms-test", "тест SMS"},
        {"gprs-test", "тест GPRS"},
        {"modem-restart", "перезагрузка модема"},
    };
    std::vector<CLI::App*> simpleCommands;
    for (const auto& [name, description] : simple)
        simpleCommands.push_back(Command(app, name, description, std::string("lumctl -p COM3 ") + name));
    auto* start = Command(app, "start", "запустить ГУ на время H:MM", "lumctl -p COM3 start 1:30");
    start->add_option("TIME", time, "время работы ГУ, ч:мм")->required();
    auto* stop = Command(app, "stop", "остановить ГУ на время H:MM", "lumctl -p COM3 stop 0:45");
    stop->add_option("TIME", time, "время ожидания ГУ, ч:мм")->required();
    auto* motor = Command(app, "motor-hours", "установить счетчик моточасов (нужен сервисный пароль)",
                          "lumctl -p COM3 --service-password PW motor-hours 1000:05");
    motor->add_option("TIME", time, "моточасы, ч:мм")->required();
    auto* serial = Command(app, "serial-number", "записать серийный номер (нужен сервисный пароль)",
                           "lumctl -p COM3 --service-password PW serial-number 00012345");
    serial->add_option("NUMBER", number, "ровно 8 символов")->required();

    auto* monitor = Command(app, "monitor", "трафик линии с метками времени, каждый кадр с проверкой КС",
                            "lumctl -p COM3 monitor");
    monitor->add_flag("--raw", raw, "строки как пришли, управляющие символы как <10>, <0D>");
    monitor->add_option("--frames", frames, "завершить после N кадров (строк с --raw)")->check(CLI::NonNegativeNumber);

    auto* show = Command(app, "show", "расшифровать файл конфигурации без контроллера",
                         "lumctl show lum.txt --model 201");
    show->add_option("FILE", file, "файл конфигурации")->required();
    show->add_flag("--json", json, "вывод в JSON");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e, out, err);
        return code == 0 ? ExitDone : ExitBadArguments;
    }

    try {
        Context ctx(g, out, err);
        if (ports->parsed()) return CmdPorts(ctx, json);
        if (status->parsed()) return CmdStatus(ctx, follow, json);
        if (read->parsed()) return CmdRead(ctx, outFile, json);
        if (diff->parsed()) return CmdDiff(ctx, file, json);
        if (write->parsed()) return CmdWrite(ctx, file);
        if (set->parsed()) return CmdSet(ctx, assignments);
        if (journal->parsed()) return CmdJournal(ctx, {json, csv});
        if (start->parsed()) return CmdService(ctx, "start", time);
        if (stop->parsed()) return CmdService(ctx, "stop", time);
        if (motor->parsed()) return CmdMotorHours(ctx, time);
        if (serial->parsed()) return CmdSerialNumber(ctx, number);
        if (monitor->parsed()) return CmdMonitor(ctx, raw, frames);
        if (show->parsed()) return CmdShow(ctx, file, json);
        for (auto* sub : simpleCommands)
            if (sub->parsed()) return CmdService(ctx, sub->get_name(), {});
        return ExitBadArguments;
    } catch (const CliError& e) {
        out << std::flush;
        err << "lumctl: " << e.what() << "\n";
        return e.Code();
    } catch (const std::exception& e) {
        out << std::flush;
        err << "lumctl: " << e.what() << "\n";
        return ExitNoController;
    }
}

}  // namespace lum::cli
