#include "sim/SimOptions.h"

#include <charconv>
#include <cmath>

#include "params/Catalog.h"

namespace lum::sim {
namespace {

long long Integer(const std::string& option, const std::string& text, long long min, long long max) {
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < min || value > max) {
        throw UsageError(option + ": ожидается целое число от " + std::to_string(min) + " до " +
                         std::to_string(max) + ", получено \"" + text + "\"");
    }
    return value;
}

double Rate(const std::string& option, const std::string& text) {
    std::size_t used = 0;
    double value = -1;
    try {
        value = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (text.empty() || used != text.size() || !std::isfinite(value) || value < 0.0 || value > 1.0) {
        throw UsageError(option + ": ожидается вероятность от 0 до 1, получено \"" + text + "\"");
    }
    return value;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw UsageError(a + ": нет значения");
            return args[++i];
        };
        if (a == "--help" || a == "-h") {
            line.help = true;
        } else if (a == "--version") {
            line.version = true;
        } else if (a == "--model") {
            const auto model = Integer(a, value(), 0, 255);
            if (!IsKnownModel(static_cast<std::uint8_t>(model))) {
                throw UsageError("--model: известны модели " + ModelCodeList(" и ") + ", получено " +
                                 std::to_string(model));
            }
            line.options.model = static_cast<std::uint8_t>(model);
        } else if (a == "--interval") {
            line.options.interval = std::chrono::milliseconds(Integer(a, value(), 10, 600000));
        } else if (a == "--window") {
            line.options.listenWindow = std::chrono::milliseconds(Integer(a, value(), 1, 60000));
        } else if (a == "--listen-after-status") {
            line.options.listenAfterStatus = true;
        } else if (a == "--noise") {
            line.options.noise = Rate(a, value());
        } else if (a == "--drop") {
            line.options.drop = Rate(a, value());
        } else if (a == "--ignore-writes") {
            line.options.ignoreWritesAt = static_cast<std::uint16_t>(Integer(a, value(), 0, 255));
        } else if (a == "--chunked") {
            line.options.chunked = true;
        } else if (a == "--silent") {
            line.options.silent = true;
        } else if (a == "--seed") {
            line.options.seed = static_cast<std::uint64_t>(Integer(a, value(), 0, 0x7FFFFFFFFFFFFFFFLL));
            line.seedGiven = true;
        } else if (a == "--events") {
            line.options.eventRecords = static_cast<int>(Integer(a, value(), 0, kEventJournalSize));
        } else if (a == "--alarms") {
            line.options.alarmRecords = static_cast<int>(Integer(a, value(), 0, kAlarmJournalSize));
        } else if (a == "--link") {
            line.link = value();
            if (line.link.empty()) throw UsageError("--link: пустой путь");
        } else if (a == "--device") {
            line.device = value();
            if (line.device.empty()) throw UsageError("--device: пустой путь");
        } else {
            throw UsageError("неизвестный параметр \"" + a + "\" (см. --help)");
        }
    }
    if (!line.link.empty() && !line.device.empty()) {
        throw UsageError("--link и --device вместе не используются: --link именует псевдотерминал");
    }
    return line;
}

std::string HelpText() {
    return "controller-sim: имитатор контроллера автозапуска генератора.\n"
           "Говорит протоколом кадров на псевдотерминале (печатает путь к нему) или на заданном\n"
           "устройстве: каждые --interval мс посылает запись состояния, отвечает на чтение и запись\n"
           "памяти настроек, на запросы журналов и выполняет служебные команды.\n"
           "\n"
           "Параметры:\n"
           "  --model N       модель: " + ModelCodeList(" или ") + " (по умолчанию 200)\n" +
           "  --interval MS   период записи состояния, мс (по умолчанию 1000)\n"
           "  --window MS     окно приёма запроса после своего кадра, мс (по умолчанию 250)\n"
           "  --listen-after-status  принимать запрос только после записи состояния, один за окно\n"
           "                  (не отвечать на запрос, посланный сразу за ответом)\n"
           "  --link PATH     создать символическую ссылку PATH на псевдотерминал\n"
           "  --device PATH   работать на устройстве PATH (9600 8N1) вместо псевдотерминала\n"
           "  --events N      записей в журнале событий (0..105, по умолчанию 40)\n"
           "  --alarms N      записей в журнале аварий (0..50, по умолчанию 8)\n"
           "Имитация сбоев:\n"
           "  --noise RATE    вероятность искажения каждого посылаемого символа (0..1)\n"
           "  --drop RATE     вероятность пропустить запрос (0..1)\n"
           "  --ignore-writes ADDR  не выполнять запись блока, начинающегося с адреса ADDR (0..255)\n"
           "  --chunked       посылать кадры случайными мелкими частями, иногда два кадра за раз\n"
           "  --silent        ничего не посылать\n"
           "  --seed N        зерно случайных чисел: прогон с тем же зерном повторяется\n"
           "  --version       программа, версия и ревизия\n"
           "  --help          эта справка\n";
}

}  // namespace lum::sim
