#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "params/Catalog.h"
#include "tests/params/ImageMap.h"

namespace lum {
namespace {

using namespace testing;  // the memory map and its model bits (tests/params/ImageMap.h)

struct Row {
    int level;
    std::string name, value, unit, min, max;
    int size, address, kind;
};

void ExpectRow(std::span<const TParam_record> catalog, std::size_t index, const Row& want) {
    SCOPED_TRACE("row " + std::to_string(index));
    ASSERT_LT(index, catalog.size());
    const TParam_record& r = catalog[index];
    EXPECT_EQ(r.Level, want.level);
    EXPECT_EQ(r.Name, want.name);
    EXPECT_EQ(r.Value, want.value);
    EXPECT_EQ(r.Unit, want.unit);
    EXPECT_EQ(r.Min, want.min);
    EXPECT_EQ(r.Max, want.max);
    EXPECT_EQ(r.Size, want.size);
    EXPECT_EQ(r.Address, want.address);
    EXPECT_EQ(r.ValueKind, want.kind);
}

bool SameRow(const TParam_record& a, const TParam_record& b) {
    return a.Level == b.Level && a.Name == b.Name && a.Value == b.Value && a.Unit == b.Unit &&
           a.Min == b.Min && a.Max == b.Max && a.Size == b.Size && a.Address == b.Address &&
           a.ValueKind == b.ValueKind;
}

TEST(Catalog, RowCounts) {
    EXPECT_EQ(CatalogPetrolV2.size(), 84u);
    EXPECT_EQ(CatalogDieselV2.size(), 83u);
    EXPECT_EQ(CatalogDryContactV2.size(), 81u);
    EXPECT_EQ(CatalogPetrolV3.size(), 84u);
}

TEST(Catalog, PetrolV2SelectedRowsVerbatim) {
    const auto c = CatalogPetrolV2;
    ExpectRow(c, 0, {1, "Тип двигателя электрогенератора", "бензин", "", "", "", 1, 72, 6});
    ExpectRow(c, 1, {1, "Параметры сети", "", "", "", "", 0, 0, 0});
    ExpectRow(c, 3, {3, "Нижний порог", "180", "Вольт", "160", "220", 2, 36, 1});
    ExpectRow(c, 6, {3, "Пропадание сети", "10", "Сек.", "0", "28800", 2, 46, 1});
    ExpectRow(c, 10, {3, "Активность функции", "вкл.", "", "", "", 1, 10, 2});
    ExpectRow(c, 19, {3, "Мах время вращения статера", "5", "Сек.", "1", "15", 1, 20, 1});
    ExpectRow(c, 21, {3, "Маx время закрытой заслонки", "10", "Сек.", "0", "240", 1, 21, 1});
    ExpectRow(c, 22, {3, "Число цилиндров двигателя", "1", "к-во", "1", "2", 1, 13, 1});
    ExpectRow(c, 24, {3, "Активность функции", "выкл.", "", "", "", 1, 27, 8});
    ExpectRow(c, 25, {3, "День недели", "7", "пн-вс", "1", "7", 1, 24, 1});
    ExpectRow(c, 28, {3, "Длительность запуска", "180", "Сек.", "0", "43200", 2, 58, 1});
    ExpectRow(c, 35, {3, "Начальное значение счетчика", "0", "Минута", "0", "5999940", 4, 4, 1});
    ExpectRow(c, 39, {3, "Нижний порог напряжения АКБ ГУ", "80", "мВ x 100", "6", "150", 2, 40, 1});
    ExpectRow(c, 40, {1, "Контроль АКБ ИБП", "", "", "", "", 0, 0, 0});
    ExpectRow(c, 44, {2, "Таймаут зарядки АКБ ИБП", "28800", "Сек.", "0", "43200", 2, 60, 1});
    ExpectRow(c, 49, {3, "Login", "vobex", "", "", "", 16, 192, 1});
    ExpectRow(c, 51, {3, "Точка доступа/APN", "internet", "", "", "", 32, 224, 1});
    ExpectRow(c, 52, {3, "Счетчик удачных отправок", "", "", "", "", 2, 180, 255});
    ExpectRow(c, 54, {2, "Таймаут SMS-ответа", "3600", "Сек.", "60", "65534", 2, 70, 1});
    ExpectRow(c, 57, {3, "Номер абонента", "0000000000", "", "0000000000", "9999999999", 10, 80, 1});
    ExpectRow(c, 58, {3, "Активность и уровень доступа", "выкл.", "", "", "", 1, 90, 7});
    ExpectRow(c, 59, {3, "Тип отправляемых сообщений", "только аварии", "", "", "", 1, 92, 4});
    ExpectRow(c, 78, {3, "Активность и уровень доступа", "выкл.", "", "", "", 1, 170, 7});
    ExpectRow(c, 82, {2, "Нижний порог температуры", "5", "градус", "-30", "+70", 1, 15, 5});
    ExpectRow(c, 83, {1, "Серийный номер устройства", "          ", "", "", "", 8, 184, 255});
}

TEST(Catalog, LookalikeLettersAreKeptAsWritten) {
    // "Маx" and "мВ x 100" carry a Latin x; "Мах" of the starter row is Cyrillic throughout.
    const std::string_view choke = CatalogPetrolV2[21].Name;
    EXPECT_EQ(choke.substr(0, 5), "\xD0\x9C\xD0\xB0x");
    EXPECT_EQ(CatalogPetrolV2[39].Unit, "\xD0\xBC\xD0\x92 x 100");
    const std::string_view starter = CatalogPetrolV2[19].Name;
    for (char c : starter) {
        EXPECT_FALSE((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) << "Latin letter in the starter row";
    }
    EXPECT_EQ(starter.substr(0, 6), "\xD0\x9C\xD0\xB0\xD1\x85");
}

TEST(Catalog, DieselReplacesChokeAndCylindersByGlowPlug) {
    const auto d = CatalogDieselV2;
    ExpectRow(d, 0, {1, "Тип двигателя электрогенератора", "дизель", "", "", "", 1, 72, 6});
    ExpectRow(d, 21, {3, "Время прогрева свечи", "10", "Сек.", "0", "240", 1, 21, 1});
    for (std::size_t i = 1; i < 21; ++i) EXPECT_TRUE(SameRow(d[i], CatalogPetrolV2[i])) << i;
    for (std::size_t i = 22; i < d.size(); ++i) EXPECT_TRUE(SameRow(d[i], CatalogPetrolV2[i + 1])) << i;
}

TEST(Catalog, DryContactReplacesStarterRowsByStartStopTimeout) {
    const auto d = CatalogDryContactV2;
    ExpectRow(d, 0, {1, "Тип двигателя электрогенератора", "сухой контакт", "", "", "", 1, 72, 6});
    ExpectRow(d, 18, {2, "Запуск электрогенератора", "", "", "", "", 0, 0, 0});
    ExpectRow(d, 19, {3, "Таймаут запуска/останова ГУ", "300", "Сек.", "1", "65535", 2, 68, 1});
    ExpectRow(d, 20, {2, "Еженедельный тестовый запуск", "", "", "", "", 0, 0, 0});
    for (std::size_t i = 20; i < d.size(); ++i) EXPECT_TRUE(SameRow(d[i], CatalogPetrolV2[i + 3])) << i;
}

TEST(Catalog, PetrolV3AddsChokeTemperaturesAndDropsTemperatureSensor) {
    const auto p = CatalogPetrolV3;
    ExpectRow(p, 0, {1, "Тип двигателя электрогенератора", "бензин", "", "", "", 1, 72, 6});
    ExpectRow(p, 21, {3, "Маx время закрытой заслонки", "30", "Сек.", "0", "240", 1, 21, 1});
    ExpectRow(p, 22, {3, "Число цилиндров двигателя", "1", "к-во", "1", "2", 1, 13, 1});
    ExpectRow(p, 23, {3, "Темп. закрытия заслонки", "15", "градус", "-10", "+70", 1, 173, 5});
    ExpectRow(p, 24, {3, "Темп. открытия заслонки", "18", "градус", "-10", "+70", 1, 174, 5});
    ExpectRow(p, 25, {3, "Темп. подключения нагрузки", "20", "градус", "0", "+70", 1, 175, 5});
    for (std::size_t i = 26; i < 83; ++i) EXPECT_TRUE(SameRow(p[i], CatalogPetrolV2[i - 3])) << i;
    EXPECT_TRUE(SameRow(p[83], CatalogPetrolV2[83]));
    for (const auto& r : p) EXPECT_NE(r.Name, "Термодатчик");
}

// Rows of a catalogue are well formed: the loader can place every row, group headings
// carry nothing, and no text could break a node text.
TEST(Catalog, RowsAreWellFormed) {
    for (auto catalog : {CatalogPetrolV2, CatalogDieselV2, CatalogDryContactV2, CatalogPetrolV3}) {
        int previous = 0;
        for (std::size_t i = 0; i < catalog.size(); ++i) {
            const TParam_record& r = catalog[i];
            SCOPED_TRACE(std::string(r.Name));
            EXPECT_GE(r.Level, 1);
            EXPECT_LE(r.Level, previous + 1);
            previous = r.Level;
            for (std::string_view t : {r.Name, r.Value, r.Unit, r.Min, r.Max}) {
                EXPECT_EQ(t.find(';'), std::string_view::npos);
            }
            if (r.ValueKind == KindGroup) {
                EXPECT_TRUE(r.Value.empty() && r.Unit.empty() && r.Min.empty() && r.Max.empty());
                EXPECT_EQ(r.Size, 0);
                EXPECT_EQ(r.Address, 0);
            } else {
                EXPECT_GT(r.Size, 0);
                EXPECT_LE(r.Address + r.Size, 256);
            }
        }
    }
}

// Every value row of every catalogue lies where the memory map puts it, and the map has
// no entry the catalogue lacks.
TEST(Catalog, ValueRowsMatchTheMemoryMap) {
    const std::pair<std::span<const TParam_record>, unsigned> catalogs[] = {
        {CatalogPetrolV2, kP2}, {CatalogDieselV2, kD2}, {CatalogDryContactV2, kDC}, {CatalogPetrolV3, kP3}};
    for (const auto& [catalog, bit] : catalogs) {
        std::multiset<std::tuple<int, int, int, std::string>> fromCatalog, fromMap;
        for (const auto& r : catalog) {
            if (r.ValueKind != KindGroup) {
                fromCatalog.insert({r.Address, r.Size, r.ValueKind, std::string(r.Name)});
            }
        }
        for (const auto& e : kImageMap) {
            if (e.models & bit) fromMap.insert({e.address, e.size, e.kind, std::string(e.name)});
        }
        EXPECT_EQ(fromCatalog, fromMap) << "model bit " << bit;
    }
}

TEST(Catalog, TopLevelOfPetrolV2) {
    std::vector<std::string> top;
    for (const auto& r : CatalogPetrolV2) {
        if (r.Level == 1) top.emplace_back(r.Name);
    }
    const std::vector<std::string> want = {"Тип двигателя электрогенератора",
                                           "Параметры сети",
                                           "Параметры электрогенератора",
                                           "Контроль АКБ ИБП",
                                           "Параметры GSM модема",
                                           "Термодатчик",
                                           "Серийный номер устройства"};
    EXPECT_EQ(top, want);
}

TEST(ModelTable, CodesIndicesTextsAndCatalogues) {
    struct Want {
        int index;
        std::uint8_t code;
        std::string text;
        std::span<const TParam_record> catalog;
    };
    const Want models[] = {{0, 200, "ЛУМ-бензин v2.0 ", CatalogPetrolV2},
                           {1, 201, "ЛУМ-дизель v2.0 ", CatalogDieselV2},
                           {2, 202, "ЛУМ-сухой контакт v2.0 ", CatalogDryContactV2},
                           {3, 30, "ЛУМ-бензин v3", CatalogPetrolV3}};
    for (const auto& m : models) {
        SCOPED_TRACE(m.text);
        EXPECT_EQ(ModelCodeForIndex(m.index), m.code);
        EXPECT_EQ(IndexForModelCode(m.code), m.index);
        EXPECT_TRUE(IsKnownModel(m.code));
        EXPECT_EQ(SelectorItemText(m.index), m.text);
        EXPECT_EQ(IndexForSelectorText(m.text), m.index);
        EXPECT_EQ(CatalogForModel(m.code).data(), m.catalog.data());
        EXPECT_EQ(CatalogForModel(m.code).size(), m.catalog.size());
    }
    EXPECT_EQ(SelectorInitialText, "ЛУМ-бензин v2.0");
}

TEST(ModelTable, UnknownCodesAndIndices) {
    for (int code : {0, 1, 29, 31, 199, 203, 255}) {
        SCOPED_TRACE(code);
        EXPECT_TRUE(CatalogForModel(static_cast<std::uint8_t>(code)).empty());
        EXPECT_FALSE(IsKnownModel(static_cast<std::uint8_t>(code)));
        EXPECT_FALSE(IndexForModelCode(static_cast<std::uint8_t>(code)).has_value());
    }
    for (int index : {-1, 4, 100}) {
        EXPECT_FALSE(ModelCodeForIndex(index).has_value());
        EXPECT_TRUE(SelectorItemText(index).empty());
    }
    // The initial text lacks the trailing space of item 0 and so matches no item.
    EXPECT_FALSE(IndexForSelectorText(SelectorInitialText).has_value());
    EXPECT_FALSE(IndexForSelectorText("").has_value());
}

}  // namespace
}  // namespace lum
