#include "cli/StatusOutput.h"

#include <cstdio>

#include "cli/Table.h"
#include "params/Catalog.h"

namespace lum::cli {

const std::array<const char*, kFlagLampCount> kFlagKeys = {
    "three_phase",     "remote_start",  "test_start",         "generator_frequency", "service_period",
    "battery_control", "ups_control",   "work_rest",          "weekly_test",         "short_circuit_control",
    "gsm_modem",       "thermo_sensor", "gprs",
};

namespace {

std::string Volts(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", v);
    return text;
}

std::string LampsLit(const StatusRecord& r) {
    std::string out;
    for (int i = 0; i < kFlagLampCount; ++i) {
        if (!r.Flags[i]) continue;
        if (!out.empty()) out += ", ";
        out += kFlagLamps[i].caption;
    }
    return out.empty() ? "—" : out;
}

std::string ModeText(const StatusRecord& r) {
    if (r.Mode == 1) return "ручной";
    if (r.Mode == 2) return r.SemiAuto ? "полуавтоматический" : "автоматический";
    return "код " + std::to_string(r.Mode);
}

}  // namespace

std::string ModelName(std::uint8_t code) {
    const std::string_view name = ModelDisplayName(code);
    return name.empty() ? "модель " + std::to_string(code) : std::string(name);
}

std::string ModeKey(const StatusRecord& r) {
    if (r.Mode == 1) return "manual";
    if (r.Mode == 2) return r.SemiAuto ? "semi-auto" : "auto";
    return "unknown";
}

nlohmann::json StatusJson(const StatusRecord& r, const StatusTexts& texts) {
    nlohmann::json flags = nlohmann::json::object();
    for (int i = 0; i < kFlagLampCount; ++i) flags[kFlagKeys[i]] = r.Flags[i];
    return {
        {"model", r.ModelCode},
        {"model_name", ModelName(r.ModelCode)},
        {"mode", ModeKey(r)},
        {"state_code", r.WORK_MODE},
        {"state", texts.State},
        {"state_timer_s", r.StateTimer},
        {"voltage",
         {{"generator", r.VoltageGU},
          {"phase_a", r.VoltageA},
          {"phase_b", r.VoltageB},
          {"phase_c", r.VoltageC},
          {"battery", r.AccVolts()},
          {"ups", r.UpsVolts()}}},
        {"temperature_c", {r.Temperature1, r.Temperature2, r.Temperature3, r.Temperature4}},
        {"motor_minutes", r.MotorMinutes},
        {"minutes_to_service", r.MinutesToService},
        {"clock", FormatClock(r)},
        {"gsm", {{"signal_quality", r.SignalQuality}, {"signal_dbm", r.SignalDbm()},
                 {"registration_code", r.NetworkRegistration}, {"registration", texts.Carrier}}},
        {"flags", flags},
    };
}

std::string StatusListing(const StatusRecord& r, const StatusTexts& texts) {
    Table t;
    t.Add({"Модель", ModelName(r.ModelCode) + " (" + std::to_string(r.ModelCode) + ")"});
    t.Add({"Режим", ModeText(r)});
    t.Add({"Режим работы устройства", texts.State});
    t.Add({"Фаза А", std::to_string(r.VoltageA) + " В"});
    t.Add({"Фаза B", std::to_string(r.VoltageB) + " В"});
    t.Add({"Фаза С", std::to_string(r.VoltageC) + " В"});
    t.Add({"Фаза ГУ", std::to_string(r.VoltageGU) + " В"});
    t.Add({"Напряжение АКБ", Volts(r.AccVolts()) + " В"});
    t.Add({"Напряжение ИБП", Volts(r.UpsVolts()) + " В"});
    t.Add({"Датчики температуры", std::to_string(r.Temperature1) + " / " + std::to_string(r.Temperature2) + " / " +
                                      std::to_string(r.Temperature3) + " / " + std::to_string(r.Temperature4) +
                                      " °C"});
    t.Add({"Счетчик моточасов", texts.MotorHours});
    t.Add({"До проведения ТО", texts.ToService});
    t.Add({"Системное время", texts.Clock});
    t.Add({"Уровень GSM сигнала", std::to_string(r.SignalDbm()) + " дБм"});
    t.Add({"Регистрация в сети", texts.Carrier});
    t.Add({"Индикаторы", LampsLit(r)});
    return t.Render();
}

std::string StatusLineHeader() {
    return "время     A    B    C    ГУ   АКБ   ИБП   T1   режим работы\n";
}

std::string StatusLine(const StatusRecord& r, const StatusTexts& texts) {
    char text[96];
    std::snprintf(text, sizeof text, "%-8s  %-3d  %-3d  %-3d  %-3d  %-4.1f  %-4.1f  %-3d  ", texts.Clock.c_str(),
                  r.VoltageA, r.VoltageB, r.VoltageC, r.VoltageGU, r.AccVolts(), r.UpsVolts(), r.Temperature1);
    return text + texts.State + "\n";
}

}  // namespace lum::cli
