#include "cli/Lumctl.h"

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <ostream>

#include "cli/Commands.h"
#include "cli/Errors.h"
#include "cli/MqttCommand.h"
#include "cli/Suggest.h"
#include "lum_version.h"
#include "params/Catalog.h"

namespace lum::cli {

namespace {

const char* kExitCodes =
    "Коды завершения: 0 выполнено; 1 нет контроллера или сбой порта (и сбой вывода); 2 неверные аргументы\n"
    "или файл; 3 проверка (или diff) нашла различие; 130 прервано (Ctrl-C); 141 читатель канала ушел.";

std::string GlobalHelp() {
    return "Общие параметры (до или после команды):\n"
           "  -p, --port PORT          последовательный порт: COMn или путь к устройству;\n"
           "                           сетевой: tcp://УЗЕЛ:ПОРТ или rfc2217://УЗЕЛ:ПОРТ;\n"
           "                           без -p и --demo берется из переменной LUM_PORT\n"
           "  --demo                   встроенный имитатор контроллера вместо порта\n"
           "  --demo-interval MS       период записей состояния имитатора, мс (20…10000, 250)\n"
           "  --model N                модель (каталог): " + ModelCodeList(" или ") + "\n"
           "  --service-password PW    сервисный пароль (motor-hours, serial-number)\n"
           "  --timeout MS             сколько ждать первую запись состояния, мс (100…600000, 5000)\n"
           "  --trace                  кадры в обе стороны на stderr, с метками времени\n"
           "  -q, --quiet              только ошибки и запрошенные данные\n"
           "  -v, --verbose            подробности на stderr: порт, модель, шаги обмена\n"
           "  --version                программа, версия и ревизия\n" +
           std::string(kExitCodes);
}

// A number option's check in Russian: an integer within [low, high].
CLI::Validator IntegerIn(long low, long high) {
    return CLI::Validator(
        [low, high](std::string& text) -> std::string {
            char* end = nullptr;
            errno = 0;
            const long long v = std::strtoll(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0' || errno == ERANGE)
                return "«" + ShortToken(text) + "» не целое число";
            if (v < low || v > high)
                return "«" + text + "» вне пределов " + std::to_string(low) + "…" + std::to_string(high);
            return {};
        },
        "");
}

// --model: one of the known model codes, compared as written (456 is not 200).
CLI::Validator KnownModel() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            char* end = nullptr;
            errno = 0;
            const long long v = std::strtoll(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0' || errno == ERANGE || v < 0 || v > 255 ||
                !IsKnownModel(static_cast<std::uint8_t>(v)))
                return "неизвестная модель «" + ShortToken(text) + "» (" + ModelCodeList(" или ") + ")";
            return {};
        },
        "");
}

CLI::App* Command(CLI::App& app, const char* name, const char* description, const std::string& example) {
    CLI::App* sub = app.add_subcommand(name, description);
    sub->group("Команды");
    sub->set_help_flag("-h,--help", "эта справка");
    sub->footer("Пример:\n  " + example + "\n\n" + GlobalHelp());
    return sub;
}

void Russian(CLI::App& app) {
    auto f = app.get_formatter();
    const std::pair<const char*, const char*> labels[] = {
        {"Usage", "Использование"}, {"OPTIONS", "ПАРАМЕТРЫ"}, {"SUBCOMMAND", "КОМАНДА"},
        {"SUBCOMMANDS", "КОМАНДЫ"}, {"Positionals", "Аргументы"}, {"REQUIRED", "обязательно"},
        {"Excludes", "несовместим с"}, {"Needs", "требует"}, {"Env", "переменная"},
        {"TEXT", "ТЕКСТ"}, {"INT", "ЧИСЛО"}, {"UINT", "ЧИСЛО"}, {"FLOAT", "ЧИСЛО"}};
    for (const auto& [key, text] : labels) f->label(key, text);
    app.option_defaults()->group("Параметры");
    app.set_help_flag("-h,--help", "эта справка");
}

// What the command line said: the values of the commands' options and the commands.
struct Arguments {
    bool json = false, csv = false, follow = false, raw = false, dryRun = false, version = false;
    std::string file, time, number, helpTopic;
    std::optional<std::string> outFile;
    std::vector<std::string> assignments;
    int frames = 0, count = 0;
    CLI::App *ports = nullptr, *status = nullptr, *read = nullptr, *diff = nullptr, *write = nullptr,
             *set = nullptr, *journal = nullptr, *start = nullptr, *stop = nullptr, *motor = nullptr,
             *serial = nullptr, *monitor = nullptr, *show = nullptr, *params = nullptr, *help = nullptr;
    std::vector<CLI::App*> simpleCommands;
    OptionalCommand mqtt;  // none where the tool is built without an MQTT client
};

void AddGlobalOptions(CLI::App& app, GlobalOptions& g, Arguments& a) {
    app.fallthrough();
    app.allow_extras();  // an unknown word is reported below, with the nearest command
    app.footer(GlobalHelp() + "\nПример:\n  lumctl --demo status --json\n  lumctl help status");
    app.add_option("-p,--port", g.port, "последовательный порт: COMn, путь к устройству, tcp://УЗЕЛ:ПОРТ или rfc2217://УЗЕЛ:ПОРТ (иначе LUM_PORT)");
    app.add_flag("--demo", g.demo, "встроенный имитатор контроллера вместо порта");
    app.add_option("--model", g.model, "модель (каталог): " + ModelCodeList(" или ") + "; с --demo и модель имитатора")
        ->check(KnownModel())
        ->type_name("N");
    app.add_option("--service-password", g.servicePassword, "сервисный пароль (motor-hours, serial-number)");
    app.add_flag("--trace", g.trace, "кадры в обе стороны на stderr, с метками времени");
    app.add_option("--demo-interval", g.demoInterval, "период записей состояния имитатора, мс (--demo)")
        ->check(IntegerIn(20, 10000))
        ->type_name("МС");
    app.add_option("--timeout", g.statusTimeout, "сколько ждать первую запись состояния, мс")
        ->check(IntegerIn(100, 600000))
        ->type_name("МС");
    auto* quiet = app.add_flag("-q,--quiet", g.quiet, "только ошибки и запрошенные данные");
    app.add_flag("-v,--verbose", g.verbose, "подробности на stderr")->excludes(quiet);
    app.add_flag("--version", a.version, "программа, версия и ревизия");
}

void AddStatusAndConfigurationCommands(CLI::App& app, Arguments& a) {
    a.help = Command(app, "help", "справка по программе или по команде: help [КОМАНДА]", "lumctl help write");
    a.help->prefix_command();  // the word after it is a topic, not a command to run

    a.ports = Command(app, "ports", "последовательные порты: имя COM, устройство, адаптер", "lumctl ports");
    a.ports->add_flag("--json", a.json, "вывод в JSON");

    a.status = Command(app, "status", "записи состояния: напряжения, температуры, режим, индикаторы",
                       "lumctl -p COM3 status --follow --count 10");
    auto* follow = a.status->add_flag("-f,--follow", a.follow, "каждая новая запись, до Ctrl-C; потерянный порт открывается снова");
    a.status->add_option("--count", a.count, "с --follow: завершить после N записей")
        ->check(IntegerIn(1, 1000000000))
        ->type_name("N")
        ->needs(follow);
    a.status->add_flag("--json", a.json, "вывод в JSON (с --follow: объект на строку)");

    a.read = Command(app, "read", "прочитать конфигурацию: таблица параметров, файл или JSON",
                     "lumctl -p COM3 read -o lum.txt");
    a.read->add_option("-o,--output", a.outFile,
                       "сохранить в файл (как окно: 256 чисел; с --json — JSON); «-» — стандартный вывод");
    a.read->add_flag("--json", a.json, "вывод в JSON");

    a.diff = Command(app, "diff", "параметры, которые в файле не такие, как в контроллере",
                     "lumctl -p COM3 diff lum.txt");
    a.diff->add_option("FILE", a.file, "файл конфигурации")->required();
    a.diff->add_flag("--json", a.json, "вывод в JSON");

    a.write = Command(app, "write", "записать файл конфигурации и проверить чтением",
                      "lumctl -p COM3 write lum.txt --dry-run");
    a.write->add_option("FILE", a.file, "файл конфигурации (256 чисел или JSON из read --json)")->required();
    a.write->add_flag("--dry-run", a.dryRun, "показать изменения, ничего не отправлять");
    a.write->add_flag("--json", a.json, "результат в JSON: изменения и чтение обратно");

    a.set = Command(app, "set", "прочитать, изменить названные параметры, записать, проверить",
                    "lumctl -p COM3 set \"Параметры сети/Напряжение сети/Нижний порог=170\"");
    a.set->add_option("ASSIGNMENT", a.assignments, "ПУТЬ=ЗНАЧЕНИЕ; достаточно однозначного имени")->required();
    a.set->add_flag("--dry-run", a.dryRun, "показать изменения, ничего не отправлять");
    a.set->add_flag("--json", a.json, "результат в JSON: изменения и чтение обратно");

    a.params = Command(app, "params", "все параметры каталога модели: путь, вид, пределы, варианты (без контроллера)",
                       "lumctl params --model 201 --json");
    a.params->add_flag("--json", a.json, "вывод в JSON");

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
    for (const auto& [name, description] : simple)
        a.simpleCommands.push_back(Command(app, name, description, std::string("lumctl -p COM3 ") + name));
    a.start = Command(app, "start", "запустить ГУ на время H:MM", "lumctl -p COM3 start 1:30");
    a.start->add_option("TIME", a.time, "время работы ГУ, ч:мм (минуты 0…59)")->required();
    a.stop = Command(app, "stop", "остановить ГУ на время H:MM", "lumctl -p COM3 stop 0:45");
    a.stop->add_option("TIME", a.time, "время ожидания ГУ, ч:мм (минуты 0…59)")->required();
    a.motor = Command(app, "motor-hours", "установить счетчик моточасов (нужен сервисный пароль)",
                      "lumctl -p COM3 --service-password PW motor-hours 1000:05");
    a.motor->add_option("TIME", a.time, "моточасы, ч:мм")->required();
    a.serial = Command(app, "serial-number", "записать серийный номер (нужен сервисный пароль)",
                       "lumctl -p COM3 --service-password PW serial-number 00012345");
    a.serial->add_option("NUMBER", a.number, "ровно 8 символов")->required();

    a.monitor = Command(app, "monitor", "трафик линии с метками времени, каждый кадр с проверкой КС; потерянный порт открывается снова",
                        "lumctl -p COM3 monitor");
    a.monitor->add_flag("--raw", a.raw, "строки как пришли, управляющие символы как <10>, <0D>");
    a.monitor->add_option("--frames", a.frames, "завершить после N кадров (строк с --raw)")
        ->check(IntegerIn(0, 1000000000))
        ->type_name("N");
    a.monitor->add_flag("--json", a.json, "кадр на строку в JSON");

    a.show = Command(app, "show", "расшифровать файл конфигурации без контроллера",
                     "lumctl show lum.txt --model 201");
    a.show->add_option("FILE", a.file, "файл конфигурации")->required();
    a.show->add_flag("--json", a.json, "вывод в JSON");
}

int Dispatch(Context& ctx, const Arguments& a) {
    const WriteOptions w{a.dryRun, a.json};
    if (a.ports->parsed()) return CmdPorts(ctx, a.json);
    if (a.status->parsed()) return CmdStatus(ctx, a.follow, a.json, a.count);
    if (a.read->parsed()) return CmdRead(ctx, a.outFile, a.json);
    if (a.diff->parsed()) return CmdDiff(ctx, a.file, a.json);
    if (a.write->parsed()) return CmdWrite(ctx, a.file, w);
    if (a.set->parsed()) return CmdSet(ctx, a.assignments, w);
    if (a.params->parsed()) return CmdParams(ctx, a.json);
    if (a.journal->parsed()) return CmdJournal(ctx, {a.json, a.csv});
    if (a.start->parsed()) return CmdService(ctx, "start", a.time);
    if (a.stop->parsed()) return CmdService(ctx, "stop", a.time);
    if (a.motor->parsed()) return CmdMotorHours(ctx, a.time);
    if (a.serial->parsed()) return CmdSerialNumber(ctx, a.number);
    if (a.monitor->parsed()) return CmdMonitor(ctx, a.raw, a.frames, a.json);
    if (a.show->parsed()) return CmdShow(ctx, a.file, a.json);
    for (auto* sub : a.simpleCommands)
        if (sub->parsed()) return CmdService(ctx, sub->get_name(), {});
    if (a.mqtt.app && a.mqtt.app->parsed()) return a.mqtt.run(ctx);
    return ExitBadArguments;
}

std::vector<std::string> CommandNames(const CLI::App& app) {
    std::vector<std::string> names;
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; }))
        names.push_back(sub->get_name());
    return names;
}

std::vector<std::string> OptionNames(const CLI::App& app) {
    std::vector<std::string> names;
    for (const CLI::Option* opt : app.get_options()) {
        for (const auto& n : opt->get_lnames()) names.push_back("--" + n);
        for (const auto& n : opt->get_snames()) names.push_back("-" + n);
    }
    return names;
}

std::string WithSuggestions(std::string text, const std::vector<std::string>& near) {
    if (near.empty()) return text;
    text += "; возможно, имелось в виду:";
    for (const auto& n : near) text += " " + n;
    return text;
}

// The part of a library message after its last ": " (the names it lists).
std::string Tail(const std::string& message) {
    const auto colon = message.rfind(": ");
    return colon == std::string::npos ? message : message.substr(colon + 2);
}

// A parser error in Russian, naming what the library named.
std::string RussianParseError(const CLI::ParseError& e, const CLI::App& app) {
    const std::string m = e.what();
    const std::string name = e.get_name();
    if (name == "RequiredError") {
        const auto is = m.find(" is required");
        return "не хватает аргумента " + (is == std::string::npos ? m : m.substr(0, is));
    }
    if (name == "ValidationError" || name == "ConversionError") return ShortToken(m);
    if (name == "ExcludesError") {
        const auto at = m.find(" excludes ");
        return at == std::string::npos ? m : m.substr(0, at) + " нельзя вместе с " + m.substr(at + 10);
    }
    if (name == "RequiresError") {
        const auto at = m.find(" requires ");
        return at == std::string::npos ? m : m.substr(0, at) + " только вместе с " + m.substr(at + 10);
    }
    if (name == "ArgumentMismatch") return "неверное число значений: " + ShortToken(m);
    if (name == "ExtrasError") {
        const std::string word = Tail(m);
        const CLI::App* in = &app;
        for (const CLI::App* sub : app.get_subcommands()) in = sub;
        return WithSuggestions("лишний аргумент «" + ShortToken(word) + "»", NearMatches(word, OptionNames(*in)));
    }
    return ShortToken(m);
}

std::string VersionText() {
    return std::string("lumctl ") + LUM_VERSION + " (ревизия " + LUM_GIT_REVISION + ")\n";
}

}  // namespace

int RunLumctl(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CLI::App app{"lumctl: контроллеры ЛУМ из командной строки (состояние, параметры, журналы, сервисные команды)",
                 "lumctl"};
    Russian(app);
    GlobalOptions g;
    Arguments a;
    AddGlobalOptions(app, g, a);
    AddStatusAndConfigurationCommands(app, a);
    AddServiceAndTrafficCommands(app, a);
    a.mqtt = AddMqttCommand({[&app](const char* name, const char* description, const std::string& example) {
                                 return Command(app, name, description, example);
                             },
                             IntegerIn});
    // `help COMMAND`: taken before parsing, so that the command's own arguments are not asked for.
    const std::vector<std::string> names = CommandNames(app);
    auto isCommand = [&](const char* word) { return std::find(names.begin(), names.end(), word) != names.end(); };
    for (int i = 1; i + 1 < argc && !(isCommand(argv[i]) && std::string(argv[i]) != "help"); ++i) {
        if (std::string(argv[i]) == "help" && isCommand(argv[i + 1])) {
            out << app.get_subcommand(argv[i + 1])->help("lumctl");
            return ExitDone;
        }
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        const CLI::App* sub = nullptr;
        for (const CLI::App* s : app.get_subcommands()) sub = s;
        out << (sub ? sub->help("lumctl") : app.help());
        return ExitDone;
    } catch (const CLI::ParseError& e) {
        err << "lumctl: " << RussianParseError(e, app) << "\n(справка: lumctl help)\n";
        return ExitBadArguments;
    }
    if (a.version) {
        out << VersionText();
        return ExitDone;
    }
    const std::vector<std::string> extras = app.remaining();
    if (a.help->parsed()) {
        const std::vector<std::string> words = a.help->remaining();
        if (!words.empty()) a.helpTopic = words.front();
        if (a.helpTopic.empty() && !extras.empty()) a.helpTopic = extras.front();
        if (a.helpTopic.empty()) {
            out << app.help();
            return ExitDone;
        }
        if (!isCommand(a.helpTopic.c_str())) {
            err << "lumctl: "
                << WithSuggestions("нет команды «" + ShortToken(a.helpTopic) + "»", NearMatches(a.helpTopic, names))
                << "\n";
            return ExitBadArguments;
        }
        out << app.get_subcommand(a.helpTopic)->help("lumctl");
        return ExitDone;
    }
    if (!extras.empty()) {
        const std::string& word = extras.front();
        const bool option = !word.empty() && word[0] == '-';
        err << "lumctl: "
            << WithSuggestions((option ? "неизвестный параметр «" : "неизвестная команда «") + ShortToken(word) + "»",
                               NearMatches(word, option ? OptionNames(app) : CommandNames(app)))
            << "\n(справка: lumctl help)\n";
        return ExitBadArguments;
    }
    if (app.get_subcommands().empty()) {
        err << "lumctl: нужна команда (список: lumctl help)\n";
        return ExitBadArguments;
    }
    if (a.outFile && a.outFile->empty()) {
        err << "lumctl: -o: пустое имя файла\n";
        return ExitBadArguments;
    }
    if (g.demo && !g.port.empty()) {
        err << "lumctl: --demo нельзя вместе с -p: имитатор заменяет порт\n";
        return ExitBadArguments;
    }
    if (!g.demo && g.port.empty()) {
        if (const char* env = std::getenv("LUM_PORT")) g.port = env;
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
