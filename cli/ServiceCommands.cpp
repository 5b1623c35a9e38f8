// journal and the one-shot service commands, through service/ (frames, entry checks,
// password, the journal reading loop, CSV).
#include <algorithm>
#include <ctime>
#include <ostream>

#include "cli/Commands.h"
#include "cli/Errors.h"
#include "cli/Json.h"
#include "cli/Platform.h"
#include "cli/Suggest.h"
#include "link/FrameCodec.h"
#include "params/Transfer.h"
#include "service/Commands.h"
#include "service/Journal.h"

namespace lum::cli {

namespace {

// Records in a row that every try failed for, after which the controller counts as gone.
constexpr int kSilentRecordsGiveUp = 3;

nlohmann::json EntriesJson(const std::vector<JournalEntry>& entries) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& e : entries) {
        const auto text = EventText(e.journal, e.record[4]);
        list.push_back({{"index", e.index},
                        {"time", JournalTimeText(e.record)},
                        {"date", JournalDateText(e.record)},
                        {"code", e.record[4]},
                        {"text", text ? std::string(*text) : std::string()}});
    }
    return list;
}

// A request built from the command line; input the controller must not get is refused
// before the port is opened.
ServiceRequest Build(const std::function<ServiceRequest()>& build) {
    try {
        return build();
    } catch (const ConversionError& e) {
        throw CliError(ExitBadArguments, e.what());
    } catch (const InputRefused& e) {
        throw CliError(ExitBadArguments, e.what());
    }
}

// Sends the request right after the controller's next frame; `refresh` (if any) renews its
// data at that moment. The session drains the port when it closes, so the frame has gone out
// before the program ends.
void Send(Context& ctx, ServiceRequest& request, std::function<void(ServiceRequest&)> refresh = {}) {
    Session& s = ctx.Open();
    Transactions& tx = s.Link().Tx;
    if (refresh) tx.BeforeCommandFrame = [&] { refresh(request); };
    const SendResult r = SendServiceRequest(tx, request);
    tx.BeforeCommandFrame = nullptr;
    s.Check();
    RequireDone(SendOutcomeOf(r));
}

// H:MM as the command line takes it: digits only, minutes 0..59. The hours' range is the
// request's own check.
void RequireHoursMinutes(const std::string& time) {
    const auto colon = time.find(':');
    const auto digits = [](std::string_view t) {
        return !t.empty() && t.find_first_not_of("0123456789") == std::string_view::npos;
    };
    const std::string_view text(time);
    if (colon == std::string::npos || !digits(text.substr(0, colon)) || !digits(text.substr(colon + 1)) ||
        text.size() - colon - 1 > 2 || std::stoi(time.substr(colon + 1)) > 59)
        throw CliError(ExitBadArguments, "«" + ShortToken(time) + "»: нужно время Ч:ММ, минуты 0…59");
}

// A configuration write of the service page, read back until two copies agree.
int SendAndVerify(Context& ctx, ServiceRequest request, ServiceWrite what, const std::string& value) {
    Send(ctx, request);
    Session& s = ctx.Open();
    auto op = s.Link().Tx.Begin();
    OperationBlockLink link(op);
    std::vector<std::uint8_t> back(request.count);
    ServiceReadBack checked;
    checked.read = ReadBlockAgreed(link, request.address, request.count, back, checked.failure);
    checked.equal = back == request.data;
    s.Check();
    const Outcome said = ServiceWriteOutcome(what, value, checked);
    RequireDone(said);
    ctx.Info() << said.text << "\n";
    return ExitDone;
}

void RequirePassword(Context& ctx) {
    if (!PasswordMatches(ctx.Options().servicePassword))
        throw CliError(ExitBadArguments, "нужен верный сервисный пароль: --service-password PW");
}

}  // namespace

int CmdJournal(Context& ctx, OutputFormat format) {
    Session& s = ctx.Open();
    s.WaitForStatus(std::chrono::milliseconds(ctx.Options().statusTimeout));
    auto op = s.Link().Tx.Begin();
    TransactionsJournalReader reader(op);
    JournalCallbacks callbacks;
    // A controller that answers none of three records in a row has gone: stop asking.
    int lastUnread = 0, silentRecords = 0;
    callbacks.progress = [&](int listed, int unread) {
        silentRecords = unread > lastUnread ? silentRecords + 1 : 0;
        lastUnread = unread;
        ctx.Progress(JournalProgressText(listed), listed * 100 / (kEventJournalRecords + kAlarmJournalRecords));
    };
    callbacks.stop = [&] { return Interrupted() || silentRecords >= kSilentRecordsGiveUp; };
    const JournalReading reading = ReadJournals(reader, callbacks);
    ctx.EndProgress();
    op.Release();
    s.Check();
    JournalReading said = reading;
    said.lineSilent = reading.lineSilent || (reading.stopped && !Interrupted());  // given up as silent
    RequireDone(JournalOutcome(said));

    if (format.csv) {
        ctx.Out() << JournalCsv(reading.events, reading.alarms);
    } else if (format.json) {
        ctx.Out() << JsonText({{"events", EntriesJson(reading.events)},
                                {"alarms", EntriesJson(reading.alarms)},
                                {"unread", reading.unread},
                                {"alarms_read", reading.alarmsRead}});
    } else {
        auto list = [&](const char* caption, const std::vector<JournalEntry>& entries) {
            ctx.Out() << caption << "\n";
            if (entries.empty()) ctx.Out() << "  -пусто-\n";
            for (const auto& e : entries) ctx.Out() << "  " << e.line << "\n";
        };
        list("Журнал событий", reading.events);
        list("Журнал аварий", reading.alarms);
    }
    if (reading.unread > 0) ctx.Err() << JournalUnreadText(reading.unread) << "\n";
    return ExitDone;
}

PreparedCommand PrepareService(const std::string& name, const std::string& time) {
    struct Simple {
        const char* name;
        ServiceCommand command;
        const char* caption;
    };
    static const Simple simple[] = {
        {"auto", ServiceCommand::AutoMode, "Режим Авто"},
        {"semi-auto", ServiceCommand::SemiAutoMode, "Режим Полу-авто"},
        {"sms-test", ServiceCommand::SmsTest, "Тест SMS"},
        {"gprs-test", ServiceCommand::GprsTest, "Тест GPRS"},
        {"modem-restart", ServiceCommand::ModemRestart, "Перезагрузка модема"},
    };
    PreparedCommand p;
    const auto now = [] { return ClockSyncRequest(LocalDateTimeFromTm(LocalTime(std::time(nullptr)))); };
    if (name == "clock-sync") {
        p.request = now();
        p.refresh = [now](ServiceRequest& r) {  // the PC clock as the frame goes out, in the same buffer
            const ServiceRequest fresh = now();
            std::copy(fresh.data.begin(), fresh.data.end(), r.data.begin());
        };
        p.caption = "Синхронизация системного времени";
    } else if (name == "start" || name == "stop") {
        RequireHoursMinutes(time);
        p.request = Build([&] {
            const HoursMinutesText hm = SplitHoursMinutes(time);
            return name == "start" ? StartRequest(hm.hours, hm.minutes) : StopRequest(hm.hours, hm.minutes);
        });
        p.caption = name == "start" ? "Старт ГУ на " + time : "Стоп ГУ на " + time;
    } else {
        for (const auto& s : simple) {
            if (name == s.name) p.request = CommandRequest(s.command), p.caption = s.caption;
        }
        if (p.caption.empty()) throw CliError(ExitBadArguments, "неизвестная команда " + name);
    }
    return p;
}

void SendPrepared(Context& ctx, PreparedCommand& command) {
    Send(ctx, command.request, command.refresh);
}

int CmdService(Context& ctx, const std::string& name, const std::string& time) {
    PreparedCommand command = PrepareService(name, time);
    SendPrepared(ctx, command);
    ctx.Info() << "Команда отправлена: " << command.caption << ".\n";
    return ExitDone;
}

int CmdMotorHours(Context& ctx, const std::string& time) {
    RequirePassword(ctx);
    RequireHoursMinutes(time);
    const ServiceRequest request = Build([&] {
        const HoursMinutesText hm = SplitHoursMinutes(time);
        return MotorHoursRequest(hm.hours, hm.minutes);
    });
    return SendAndVerify(ctx, request, ServiceWrite::MotorHours, time);
}

int CmdSerialNumber(Context& ctx, const std::string& number) {
    RequirePassword(ctx);
    const ServiceRequest request = Build([&] { return SerialNumberRequest(number); });
    return SendAndVerify(ctx, request, ServiceWrite::SerialNumber, number);
}

}  // namespace lum::cli
