#include "params/Catalog.h"

#include <array>
#include <cstddef>

namespace lum {
namespace {

// The petrol controller of the second generation; the other catalogues are built from it.
constexpr TParam_record kPetrolV2[] = {
    {1, "Тип двигателя электрогенератора", "бензин", "", "", "", 1, 72, 6},              // 0
    {1, "Параметры сети", "", "", "", "", 0, 0, 0},                                      // 1
    {2, "Напряжение сети", "", "", "", "", 0, 0, 0},                                     // 2
    {3, "Нижний порог", "180", "Вольт", "160", "220", 2, 36, 1},                         // 3
    {3, "Верхний порог", "260", "Вольт", "220", "280", 2, 38, 1},                        // 4
    {2, "Временные константы", "", "", "", "", 0, 0, 0},                                 // 5
    {3, "Пропадание сети", "10", "Сек.", "0", "28800", 2, 46, 1},                        // 6
    {3, "Появление сети", "10", "Сек.", "0", "28800", 2, 48, 1},                         // 7
    {1, "Параметры электрогенератора", "", "", "", "", 0, 0, 0},                         // 8
    {2, "Напряжение электрогенератора", "", "", "", "", 0, 0, 0},                        // 9
    {3, "Активность функции", "вкл.", "", "", "", 1, 10, 2},                             // 10
    {3, "Нижний порог", "180", "Вольт", "160", "220", 2, 32, 1},                         // 11
    {3, "Верхний порог", "260", "Вольт", "220", "280", 2, 34, 1},                        // 12
    {3, "Таймаут низкого напряжения", "15", "Сек.", "1", "255", 1, 11, 1},               // 13
    {3, "Таймаут высокого напряжения", "5", "Сек.", "1", "255", 1, 12, 1},               // 14
    {2, "Временные константы", "", "", "", "", 0, 0, 0},                                 // 15
    {3, "Прогрев", "30", "Сек.", "0", "3599", 2, 50, 1},                                 // 16
    {3, "Охлаждение", "30", "Сек.", "0", "3599", 2, 52, 1},                              // 17
    {2, "Запуск электрогенератора", "", "", "", "", 0, 0, 0},                            // 18
    {3, "Мах время вращения статера", "5", "Сек.", "1", "15", 1, 20, 1},                 // 19
    {3, "Количество попыток запуска", "5", "к-во", "1", "15", 1, 22, 1},                 // 20
    {3, "Маx время закрытой заслонки", "10", "Сек.", "0", "240", 1, 21, 1},              // 21
    {3, "Число цилиндров двигателя", "1", "к-во", "1", "2", 1, 13, 1},                   // 22
    {2, "Еженедельный тестовый запуск", "", "", "", "", 0, 0, 0},                        // 23
    {3, "Активность функции", "выкл.", "", "", "", 1, 27, 8},                            // 24
    {3, "День недели", "7", "пн-вс", "1", "7", 1, 24, 1},                                // 25
    {3, "Час", "12", "Час", "0", "23", 1, 25, 1},                                        // 26
    {3, "Минута", "30", "Минута", "0", "59", 1, 26, 1},                                  // 27
    {3, "Длительность запуска", "180", "Сек.", "0", "43200", 2, 58, 1},                  // 28
    {2, "Режим работа/отдых", "", "", "", "", 0, 0, 0},                                  // 29
    {3, "Активность функции", "выкл.", "", "", "", 1, 23, 2},                            // 30
    {3, "Длительность работы", "14400", "Сек.", "0", "43200", 2, 54, 1},                 // 31
    {3, "Длительность отдыха", "7200", "Сек.", "0", "43200", 2, 56, 1},                  // 32
    {2, "Проведение ТО", "", "", "", "", 0, 0, 0},                                       // 33
    {3, "Активность функции", "выкл.", "", "", "", 1, 9, 2},                             // 34
    {3, "Начальное значение счетчика", "0", "Минута", "0", "5999940", 4, 4, 1},          // 35
    {3, "Период проведения ТО", "100", "Час", "1", "250", 1, 8, 1},                      // 36
    {2, "Контроль АКБ ГУ", "", "", "", "", 0, 0, 0},                                     // 37
    {3, "Активность функции", "выкл.", "", "", "", 1, 18, 2},                            // 38
    {3, "Нижний порог напряжения АКБ ГУ", "80", "мВ x 100", "6", "150", 2, 40, 1},       // 39
    {1, "Контроль АКБ ИБП", "", "", "", "", 0, 0, 0},                                    // 40
    {2, "Активность функции", "выкл.", "", "", "", 1, 19, 2},                            // 41
    {2, "Нижний порог напряжения АКБ ИБП", "80", "мВ x 100", "10", "1200", 2, 42, 1},    // 42
    {2, "Верхний порог напряжения АКБ ИБП", "150", "мВ x 100", "10", "1200", 2, 44, 1},  // 43
    {2, "Таймаут зарядки АКБ ИБП", "28800", "Сек.", "0", "43200", 2, 60, 1},             // 44
    {1, "Параметры GSM модема", "", "", "", "", 0, 0, 0},                                // 45
    {2, "Активность GSM модема", "выкл.", "", "", "", 1, 95, 2},                         // 46
    {2, "GPRS мониторинг", "", "", "", "", 0, 0, 0},                                     // 47
    {3, "Активность функции", "выкл.", "", "", "", 1, 94, 2},                            // 48
    {3, "Login", "vobex", "", "", "", 16, 192, 1},                                       // 49
    {3, "Password", "vobex", "", "", "", 16, 208, 1},                                    // 50
    {3, "Точка доступа/APN", "internet", "", "", "", 32, 224, 1},                        // 51
    {3, "Счетчик удачных отправок", "", "", "", "", 2, 180, 255},                        // 52
    {3, "Счетчик неудачных отправок", "", "", "", "", 2, 182, 255},                      // 53
    {2, "Таймаут SMS-ответа", "3600", "Сек.", "60", "65534", 2, 70, 1},                  // 54
    {2, "Таймаут ответа сервера", "20", "Сек.", "5", "120", 1, 28, 1},                   // 55
    {2, "Телефонный номер 1", "", "", "", "", 0, 0, 0},                                  // 56
    {3, "Номер абонента", "0000000000", "", "0000000000", "9999999999", 10, 80, 1},      // 57
    {3, "Активность и уровень доступа", "выкл.", "", "", "", 1, 90, 7},                  // 58
    {3, "Тип отправляемых сообщений", "только аварии", "", "", "", 1, 92, 4},            // 59
    {2, "Телефонный номер 2", "", "", "", "", 0, 0, 0},                                  // 60
    {3, "Номер абонента", "0000000000", "", "0000000000", "9999999999", 10, 96, 1},      // 61
    {3, "Активность и уровень доступа", "выкл.", "", "", "", 1, 106, 7},                 // 62
    {3, "Тип отправляемых сообщений", "только аварии", "", "", "", 1, 108, 4},           // 63
    {2, "Телефонный номер 3", "", "", "", "", 0, 0, 0},                                  // 64
    {3, "Номер абонента", "0000000000", "", "0000000000", "9999999999", 10, 112, 1},     // 65
    {3, "Активность и уровень доступа", "выкл.", "", "", "", 1, 122, 7},                 // 66
    {3, "Тип отправляемых сообщений", "только аварии", "", "", "", 1, 124, 4},           // 67
    {2, "Телефонный номер 4", "", "", "", "", 0, 0, 0},                                  // 68
    {3, "Номер абонента", "0000000000", "", "0000000000", "9999999999", 10, 128, 1},     // 69
    {3, "Активность и уровень доступа", "выкл.", "", "", "", 1, 138, 7},                 // 70
    {3, "Тип отправляемых сообщений", "только аварии", "", "", "", 1, 140, 4},           // 71
    {2, "Телефонный номер 5", "", "", "", "", 0, 0, 0},                                  // 72
    {3, "Номер абонента", "0000000000", "", "0000000000", "9999999999", 10, 144, 1},     // 73
    {3, "Активность и уровень доступа", "выкл.", "", "", "", 1, 154, 7},                 // 74
    {3, "Тип отправляемых сообщений", "только аварии", "", "", "", 1, 156, 4},           // 75
    {2, "Телефонный номер 6", "", "", "", "", 0, 0, 0},                                  // 76
    {3, "Номер абонента", "0000000000", "", "0000000000", "9999999999", 10, 160, 1},     // 77
    {3, "Активность и уровень доступа", "выкл.", "", "", "", 1, 170, 7},                 // 78
    {3, "Тип отправляемых сообщений", "только аварии", "", "", "", 1, 172, 4},           // 79
    {1, "Термодатчик", "", "", "", "", 0, 0, 0},                                         // 80
    {2, "Активность датчика", "выкл.", "", "", "", 1, 14, 2},                            // 81
    {2, "Нижний порог температуры", "5", "градус", "-30", "+70", 1, 15, 5},              // 82
    {1, "Серийный номер устройства", "          ", "", "", "", 8, 184, 255},             // 83
};
static_assert(std::size(kPetrolV2) == 84);

constexpr std::size_t kPetrolV2Rows = std::size(kPetrolV2);

// Diesel: the engine type reads "дизель"; the choke time and the cylinder count give way
// to the glow-plug heating time, which takes the choke's byte.
constexpr std::array<TParam_record, 83> MakeDieselV2() {
    std::array<TParam_record, 83> out{};
    std::size_t n = 0;
    for (std::size_t i = 0; i < kPetrolV2Rows; ++i) {
        if (i == 21) out[n++] = {3, "Время прогрева свечи", "10", "Сек.", "0", "240", 1, 21, 1};
        if (i == 21 || i == 22) continue;
        out[n++] = kPetrolV2[i];
    }
    out[0].Value = "дизель";
    return out;
}

// Dry contact: the generator is started by a relay, so the four starter rows give way to
// one start/stop timeout.
constexpr std::array<TParam_record, 81> MakeDryContactV2() {
    std::array<TParam_record, 81> out{};
    std::size_t n = 0;
    for (std::size_t i = 0; i < kPetrolV2Rows; ++i) {
        if (i == 19) out[n++] = {3, "Таймаут запуска/останова ГУ", "300", "Сек.", "1", "65535", 2, 68, 1};
        if (i >= 19 && i <= 22) continue;
        out[n++] = kPetrolV2[i];
    }
    out[0].Value = "сухой контакт";
    return out;
}

// Petrol, third generation: a longer default choke time, three choke temperatures after
// the cylinder count, and no separate temperature sensor group.
constexpr std::array<TParam_record, 84> MakePetrolV3() {
    std::array<TParam_record, 84> out{};
    std::size_t n = 0;
    for (std::size_t i = 0; i < kPetrolV2Rows; ++i) {
        if (i >= 80 && i <= 82) continue;
        out[n++] = kPetrolV2[i];
        if (i == 22) {
            out[n++] = {3, "Темп. закрытия заслонки", "15", "градус", "-10", "+70", 1, 173, 5};
            out[n++] = {3, "Темп. открытия заслонки", "18", "градус", "-10", "+70", 1, 174, 5};
            out[n++] = {3, "Темп. подключения нагрузки", "20", "градус", "0", "+70", 1, 175, 5};
        }
    }
    out[21].Value = "30";
    return out;
}

constexpr auto kDieselV2 = MakeDieselV2();
constexpr auto kDryContactV2 = MakeDryContactV2();
constexpr auto kPetrolV3 = MakePetrolV3();

struct ModelEntry {
    std::uint8_t code;
    std::string_view selectorText;
    std::string_view displayName;  // the selector text without its trailing space
    std::span<const TParam_record> catalog;
};

// The one list of the models: a model added here is known everywhere.
constexpr std::array<ModelEntry, ModelCount> kModels = {{
    {ModelPetrolV2, "ЛУМ-бензин v2.0 ", "ЛУМ-бензин v2.0", kPetrolV2},
    {ModelDieselV2, "ЛУМ-дизель v2.0 ", "ЛУМ-дизель v2.0", kDieselV2},
    {ModelDryContactV2, "ЛУМ-сухой контакт v2.0 ", "ЛУМ-сухой контакт v2.0", kDryContactV2},
    {ModelPetrolV3, "ЛУМ-бензин v3", "ЛУМ-бензин v3", kPetrolV3},
}};

constexpr bool DisplayNamesMatchSelector() {
    for (const auto& m : kModels) {
        if (m.selectorText.substr(0, m.displayName.size()) != m.displayName) return false;
        if (m.selectorText.find_first_not_of(' ', m.displayName.size()) != std::string_view::npos) return false;
    }
    return kModels[0].displayName == SelectorInitialText;
}
static_assert(DisplayNamesMatchSelector());

}  // namespace

constinit const std::span<const TParam_record> CatalogPetrolV2{kPetrolV2};
constinit const std::span<const TParam_record> CatalogDieselV2{kDieselV2};
constinit const std::span<const TParam_record> CatalogDryContactV2{kDryContactV2};
constinit const std::span<const TParam_record> CatalogPetrolV3{kPetrolV3};

std::span<const TParam_record> CatalogForModel(std::uint8_t modelCode) {
    for (const auto& m : kModels) {
        if (m.code == modelCode) return m.catalog;
    }
    return {};
}

std::optional<std::uint8_t> ModelCodeForIndex(int index) {
    if (index < 0 || index >= ModelCount) return std::nullopt;
    return kModels[static_cast<std::size_t>(index)].code;
}

std::optional<int> IndexForModelCode(std::uint8_t modelCode) {
    for (std::size_t i = 0; i < kModels.size(); ++i) {
        if (kModels[i].code == modelCode) return static_cast<int>(i);
    }
    return std::nullopt;
}

bool IsKnownModel(std::uint8_t modelCode) {
    return IndexForModelCode(modelCode).has_value();
}

std::string_view SelectorItemText(int index) {
    if (index < 0 || index >= ModelCount) return {};
    return kModels[static_cast<std::size_t>(index)].selectorText;
}

std::string_view ModelDisplayName(std::uint8_t modelCode) {
    const auto index = IndexForModelCode(modelCode);
    return index ? kModels[static_cast<std::size_t>(*index)].displayName : std::string_view{};
}

std::string ModelCodeList(std::string_view lastSeparator) {
    std::string out;
    for (std::size_t i = 0; i < kModels.size(); ++i) {
        if (i > 0) out += i + 1 == kModels.size() ? lastSeparator : std::string_view(", ");
        out += std::to_string(kModels[i].code);
    }
    return out;
}

std::optional<std::uint8_t> ModelCodeFromText(std::string_view text) {
    for (const auto& m : kModels) {
        if (text == std::to_string(m.code)) return m.code;
    }
    return std::nullopt;
}

std::optional<int> IndexForSelectorText(std::string_view text) {
    for (std::size_t i = 0; i < kModels.size(); ++i) {
        if (kModels[i].selectorText == text) return static_cast<int>(i);
    }
    return std::nullopt;
}

}  // namespace lum
