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

// What the command line said: the values of the commands' options and the commands.
struct Arguments {
    bool json = false, csv = false, follow = false, raw = false;
    std::string file, outFile, time, number;
    std::vector<std::string> assignments;
    int frames = 0;
    CLI::App *ports = nullptr, *status = nullptr, *read = nullptr, *diff = nullptr, *write = nullptr,
             *set = nullptr, *journal = nullptr, *start = nullptr, *stop = nullptr, *motor = nullptr,
             *serial = nullptr, *monitor = nullptr, *show = nullptr;
    std::vector<CLI::App*> simpleCommands;
};

void AddGlobalOptions(CLI::App& app, GlobalOptions& g) {
    app.fallthrough();
    app.require_subcommand(1);
    app.footer(std::string("PORT: имя COMn или путь к устройству (/dev/ttyUSB0).\n") + kExitCodes +
               "\nПример:\n  lumctl --demo status --json");
    app.add_option("-p,--port", g.port, "последовательный порт: COMn или путь к устройству");
    app.add_flag("--demo", g.demo, "встроенный имитатор контроллера вместо порта");
    app.add_option("--model", g.model, "модель (каталог): " + ModelCodeList(" или ") + "; с --demo и модель имитатора");
    app.add_option("--service-password", g.servicePassword, "сервисный пароль (motor-hours, serial-number)");
    app.add_flag("--trace", g.trace, "кадры в обе стороны на stderr, с метками времени");
    app.add_option("--demo-interval", g.demoInterval, "период записей состояния имитатора, мс (--demo)")
        ->check(CLI::Range(20, 10000));
    app.add_option("--timeout", g.statusTimeout, "сколько ждать первую запись состояния, мс")
        ->check(CLI::Range(100, 600000));

}

void AddStatusAndConfigurationCommands(CLI::App& app, Arguments& a) {
    a.ports = Command(app, "ports", "последовательные порты: имя COM, устройство, адаптер", "lumctl ports");
    a.ports->add_flag("--json", a.json, "вывод в JSON");

    a.status = Command(app, "status", "записи состояния: напряжения, температуры, режим, индикаторы",
                       "lumctl -p COM3 status --follow");
    a.status->add_flag("-f,--follow", a.follow, "каждая новая запись, до Ctrl-C");
    a.status->add_flag("--json", a.json, "вывод в JSON (с --follow: объект на строку)");

    a.read = Command(app, "read", "прочитать конфигурацию: таблица параметров, файл или JSON",
                     "lumctl -p COM3 read -o lum.txt");
    a.read->add_option("-o,--output", a.outFile, "сохранить в файл (как окно: 256 чисел; с --json — JSON)");
    a.read->add_flag("--json", a.json, "вывод в JSON");

    a.diff = Command(app, "diff", "параметры, которые в файле не такие, как в контроллере",
                     "lumctl -p COM3 diff lum.txt");
    a.diff->add_option("FILE", a.file, "файл конфигурации")->required();
    a.diff->add_flag("--json", a.json, "вывод в JSON");

    a.write = Command(app, "write", "записать файл конфигурации и проверить чтением",
                      "lumctl -p COM3 write lum.txt");
    a.write->add_option("FILE", a.file, "файл конфигурации (256 чисел или JSON из read --json)")->required();

    a.set = Command(app, "set", "прочитать, изменить названные параметры, записать, проверить",
                    "lumctl -p COM3 set \"Параметры сети/Напряжение сети/Нижний порог=170\"");
    a.set->add_option("ASSIGNMENT", a.assignments, "ПУТЬ=ЗНАЧЕНИЕ; достаточно однозначного имени")->required();

    a.journal = Command(app, "journal", "журнал событий и журнал аварий", "lumctl -p COM3 journal --csv > j.csv");
    auto* jsonOpt = a.journal->add_flag("--json", a.json, "вывод в JSON");
    a.journal->add_flag("--csv", a.csv, "вывод в CSV")->excludes(jsonOpt);

}

void AddServiceAndTrafficCommands(CLI::App& app, Arguments& a) {
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
        a.simpleCommands.push_back(Command(app, name, description, std::string("lumctl -p COM3 ") + name));
    a.start = Command(app, "start", "запустить ГУ на время H:MM", "lumctl -p COM3 start 1:30");
    a.start->add_option("TIME", a.time, "время работы ГУ, ч:мм")->required();
    a.stop = Command(app, "stop", "остановить ГУ на время H:MM", "lumctl -p COM3 stop 0:45");
    a.stop->add_option("TIME", a.time, "время ожидания ГУ, ч:мм")->required();
    a.motor = Command(app, "motor-hours", "установить счетчик моточасов (нужен сервисный пароль)",
                      "lumctl -p COM3 --service-password PW motor-hours 1000:05");
    a.motor->add_option("TIME", a.time, "моточасы, ч:мм")->required();
    a.serial = Command(app, "serial-number", "записать серийный номер (нужен сервисный пароль)",
                       "lumctl -p COM3 --service-password PW serial-number 00012345");
    a.serial->add_option("NUMBER", a.number, "ровно 8 символов")->required();

    a.monitor = Command(app, "monitor", "трафик линии с метками времени, каждый кадр с проверкой КС",
                        "lumctl -p COM3 monitor");
    a.monitor->add_flag("--raw", a.raw, "строки как пришли, управляющие символы как <10>, <0D>");
    a.monitor->add_option("--frames", a.frames, "завершить после N кадров (строк с --raw)")->check(CLI::NonNegativeNumber);

    a.show = Command(app, "show", "расшифровать файл конфигурации без контроллера",
                     "lumctl show lum.txt --model 201");
    a.show->add_option("FILE", a.file, "файл конфигурации")->required();
    a.show->add_flag("--json", a.json, "вывод в JSON");
}

int Dispatch(Context& ctx, const Arguments& a) {
    if (a.ports->parsed()) return CmdPorts(ctx, a.json);
    if (a.status->parsed()) return CmdStatus(ctx, a.follow, a.json);
    if (a.read->parsed()) return CmdRead(ctx, a.outFile, a.json);
    if (a.diff->parsed()) return CmdDiff(ctx, a.file, a.json);
    if (a.write->parsed()) return CmdWrite(ctx, a.file);
    if (a.set->parsed()) return CmdSet(ctx, a.assignments);
    if (a.journal->parsed()) return CmdJournal(ctx, {a.json, a.csv});
    if (a.start->parsed()) return CmdService(ctx, "start", a.time);
    if (a.stop->parsed()) return CmdService(ctx, "stop", a.time);
    if (a.motor->parsed()) return CmdMotorHours(ctx, a.time);
    if (a.serial->parsed()) return CmdSerialNumber(ctx, a.number);
    if (a.monitor->parsed()) return CmdMonitor(ctx, a.raw, a.frames);
    if (a.show->parsed()) return CmdShow(ctx, a.file, a.json);
    for (auto* sub : a.simpleCommands)
        if (sub->parsed()) return CmdService(ctx, sub->get_name(), {});
    return ExitBadArguments;
}

}  // namespace

int RunLumctl(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CLI::App app{"lumctl: контроллеры ЛУМ из командной строки (состояние, параметры, журналы, сервисные команды)",
                 "lumctl"};
    GlobalOptions g;
    Arguments a;
    AddGlobalOptions(app, g);
    AddStatusAndConfigurationCommands(app, a);
    AddServiceAndTrafficCommands(app, a);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e, out, err);
        return code == 0 ? ExitDone : ExitBadArguments;
    }

    try {
        Context ctx(g, out, err);
        return Dispatch(ctx, a);
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
