#include "terminal/LinkHealth.h"

namespace lum {
namespace {

// "0,4 с" under ten seconds, "12 с" under a minute, "5 мин 03 с" from a minute.
std::string Elapsed(std::chrono::milliseconds d) {
    const long long ms = d.count() < 0 ? 0 : d.count();
    if (ms < 10'000) {
        const long long tenths = ms / 100;
        return std::to_string(tenths / 10) + "," + std::to_string(tenths % 10) + " с";
    }
    const long long s = ms / 1000;
    if (s < 60) return std::to_string(s) + " с";
    const long long sec = s % 60;
    return std::to_string(s / 60) + " мин " + (sec < 10 ? "0" : "") + std::to_string(sec) + " с";
}

}  // namespace

std::string LinkHealthTooltip() {
    return "Кадры — кадров контроллера принято с начала работы\n"
           "КС — из них с неверным контрольным байтом или не шестнадцатеричным текстом\n"
           "Иск — искажённых кадров: обрезанных следующим стартовым байтом, слишком длинных "
           "или коротких; они отброшены\n"
           "Тайм — запросов без ответа: контроллер молчал до отправки запроса или после неё\n"
           "Отк — запросов, отклонённых, пока шёл другой обмен\n"
           "Цепочка выкл — контроллер не ответил на запрос, посланный сразу за его ответом: до нового "
           "открытия порта каждый запрос ждёт следующего кадра контроллера\n"
           "Тишина — время с последнего кадра контроллера; текст красный, если кадров нет 3 с и дольше";
}

LinkHealth::LinkHealth(Clock clock) : clock_(std::move(clock)), since_(clock_()) {}

void LinkHealth::FrameSeen() {
    since_ = clock_();
    seen_ = true;
}

HealthView LinkHealth::Describe(const LinkState& link) const {
    const auto quiet = std::chrono::duration_cast<std::chrono::milliseconds>(clock_() - since_);
    const LinkCounters& c = link.Counters;
    HealthView v;
    v.Text = "Кадры " + std::to_string(link.RxFrameCount) + "  КС " + std::to_string(c.BadCheck) + "  Иск " +
             std::to_string(c.Malformed) + "  Тайм " +
             std::to_string(static_cast<unsigned long long>(c.PreSendTimeouts) + c.ReplyTimeouts) + "  Отк " +
             std::to_string(c.Refused) + (link.ChainingOff ? "  Цепочка выкл" : "") + "  Тишина " +
             (seen_ ? Elapsed(quiet) : "—");
    v.Silent = quiet >= kSilentAfter;
    return v;
}

}  // namespace lum
