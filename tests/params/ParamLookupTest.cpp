// Parameters named by their path, and the parameters two images disagree on.
#include "params/ParamLookup.h"

#include <gtest/gtest.h>

#include "params/NodeText.h"

namespace lum {
namespace {

ParamTreeModel Tree(std::span<const TParam_record> catalog = CatalogPetrolV2) {
    ParamTreeModel tree;
    LoadCatalog(tree, catalog);
    return tree;
}

TEST(ParamPathing, GroupsAndNameJoinedBySlash) {
    const ParamTreeModel tree = Tree();
    EXPECT_EQ(ParamPath(tree, 3), "Параметры сети/Напряжение сети/Нижний порог");
    EXPECT_EQ(ParamPath(tree, 0), "Тип двигателя электрогенератора");
    EXPECT_EQ(ParamPath(tree, 42), "Контроль АКБ ИБП/Нижний порог напряжения АКБ ИБП");
    EXPECT_EQ(ParamPath(tree, 51), "Параметры GSM модема/GPRS мониторинг/Точка доступа/APN");
    EXPECT_EQ(ParamPath(tree, 54), "Параметры GSM модема/Таймаут SMS-ответа");
    EXPECT_THROW(ParamPath(tree, 84), std::out_of_range);
}

TEST(ParamFinding, WholePathOrUniqueFinalPart) {
    const ParamTreeModel tree = Tree();
    EXPECT_EQ(FindParameter(tree, "Параметры сети/Напряжение сети/Нижний порог").Index, 3u);
    EXPECT_EQ(FindParameter(tree, "Напряжение сети/Нижний порог").Index, 3u);
    EXPECT_EQ(FindParameter(tree, "Нижний порог напряжения АКБ ГУ").Index, 39u);
    EXPECT_EQ(FindParameter(tree, "Точка доступа/APN").Index, 51u);  // a name that holds "/"
    EXPECT_EQ(FindParameter(tree, "Телефонный номер 3/Номер абонента").Index, 65u);
    EXPECT_EQ(FindParameter(tree, "Режим работа/отдых/Длительность работы").Index, 31u);
}

TEST(ParamFinding, AmbiguousAndUnknownGiveCandidates) {
    const ParamTreeModel tree = Tree();
    const LookupResult twice = FindParameter(tree, "Нижний порог");
    EXPECT_FALSE(twice.Index);
    EXPECT_TRUE(twice.Ambiguous);
    EXPECT_EQ(twice.Candidates, (std::vector<std::string>{
                                    "Параметры сети/Напряжение сети/Нижний порог",
                                    "Параметры электрогенератора/Напряжение электрогенератора/Нижний порог"}));
    EXPECT_EQ(FindParameter(tree, "Номер абонента").Candidates.size(), 6u);

    const LookupResult unknown = FindParameter(tree, "Параметры сети/порог");
    EXPECT_FALSE(unknown.Index);
    EXPECT_FALSE(unknown.Ambiguous);
    EXPECT_GE(unknown.Candidates.size(), 4u);
    for (const auto& c : unknown.Candidates) EXPECT_NE(c.find("порог"), std::string::npos) << c;

    const LookupResult nothing = FindParameter(tree, "zzz");
    EXPECT_FALSE(nothing.Index);
    EXPECT_EQ(nothing.Candidates.size(), 84u - 21u);  // every parameter, no group heading
}

TEST(ParamFinding, GroupHeadingsAreNotParameters) {
    const ParamTreeModel tree = Tree();
    EXPECT_FALSE(FindParameter(tree, "Параметры сети").Index);
    EXPECT_FALSE(FindParameter(tree, "Параметры сети/Напряжение сети").Index);
    EXPECT_FALSE(FindParameter(tree, "").Index);
    // "Термодатчик" exists only in the second-generation catalogues.
    EXPECT_TRUE(FindParameter(tree, "Термодатчик/Нижний порог температуры").Index);
    EXPECT_FALSE(FindParameter(Tree(CatalogPetrolV3), "Термодатчик/Нижний порог температуры").Index);
}

TEST(SettingValues, ChecksAsTheDialogDoes) {
    ParamTreeModel tree = Tree();
    EXPECT_EQ(SetParameterValue(tree, 3, "221", ','), "Значение вне диапазона");
    EXPECT_EQ(SetParameterValue(tree, 3, "2x", ','), "Значение должно быть числом");
    EXPECT_EQ(GetNodeField(tree, 3, FieldValue), "180");
    EXPECT_EQ(SetParameterValue(tree, 3, "200", ','), std::nullopt);
    EXPECT_EQ(GetNodeField(tree, 3, FieldValue), "200");
    EXPECT_TRUE(SetParameterValue(tree, 10, "on", ','));
    EXPECT_EQ(SetParameterValue(tree, 10, "выкл.", ','), std::nullopt);
    EXPECT_EQ(GetNodeField(tree, 10, FieldValue), "выкл.");
    EXPECT_TRUE(SetParameterValue(tree, 52, "5", ','));  // read-only
    EXPECT_TRUE(SetParameterValue(tree, 1, "5", ','));   // group heading
    EXPECT_EQ(GetNodeField(tree, 52, FieldValue), "");
    EXPECT_EQ(GetNodeField(tree, 49, FieldValue), "vobex");
}

// A text parameter takes only what reads back: code page 1251 below "{", no ";".
TEST(SettingValues, TextThatWouldNotReadBackIsRefusedNamingItsCharacters) {
    struct Case {
        std::size_t row;
        std::string text;
        std::vector<std::string> named;  // empty: accepted
    };
    const Case cases[] = {
        {49, "Admin_1.z", {}},
        {49, "", {}},
        {49, "zzzz", {}},                    // "z" is 122, the last that reads back
        {49, "a{b", {"«{»"}},                // 123
        {50, "пароль", {"«п»", "«а»", "«р»", "«о»", "«л»", "«ь»"}},
        {50, "x~x~|", {"«~»", "«|»"}},       // each named once
        {51, "a;b", {"«;»"}},                // would split the node text
        {51, "€", {"«€»"}},                  // 0x88 in code page 1251
        {51, "✓", {"«✓»"}},                  // no code page 1251 byte at all
        {49, std::string(16, 'a'), {}},
    };
    for (const Case& c : cases) {
        ParamTreeModel tree = Tree();
        const std::string before = GetNodeField(tree, c.row, FieldValue);
        const std::string said = SetParameterValue(tree, c.row, c.text, ',').value_or("");
        EXPECT_EQ(GetNodeField(tree, c.row, FieldValue), c.named.empty() ? c.text : before) << c.text;
        EXPECT_EQ(said.empty(), c.named.empty()) << c.text << ": " << said;
        std::size_t at = 0;
        for (const std::string& n : c.named) {  // each named, in the order of the text
            EXPECT_GE(said.find(n), at) << said << " lacks " << n;
            EXPECT_NE(at = said.find(n), std::string::npos) << said;
        }
        EXPECT_EQ(said.find("«a»"), std::string::npos) << said;
    }
    ParamTreeModel tree = Tree();
    EXPECT_EQ(SetParameterValue(tree, 49, std::string(17, 'a'), ','), "Текст длиннее 16 символов");
}

TEST(Differences, NamesValueSentAndValueRead) {
    ParamTreeModel tree = Tree();
    ConfigImage sent{};
    PackTreeToImage(tree, sent);
    ConfigImage read = sent;
    read[37] = 170;  // mains lower threshold 180 -> 170
    read[83] = 9;    // telephone 1, fourth digit
    read[72] = 7;    // engine type: no such item
    read[2] = 0;     // motor hours: no parameter
    const auto diffs = DifferingParameters(tree, sent, read);
    ASSERT_EQ(diffs.size(), 3u);
    EXPECT_EQ(diffs[0].Path, "Тип двигателя электрогенератора");
    EXPECT_EQ(diffs[0].First, "бензин");
    EXPECT_EQ(diffs[0].Second, "");
    EXPECT_EQ(diffs[1].Path, "Параметры сети/Напряжение сети/Нижний порог");
    EXPECT_EQ(diffs[1].First, "180");
    EXPECT_EQ(diffs[1].Second, "170");
    EXPECT_EQ(diffs[2].Index, 57u);
    EXPECT_EQ(diffs[2].Second, "0009000000");
    EXPECT_EQ(UncoveredDifferences(tree, sent, read, {}), (std::vector<std::size_t>{2}));
    // Limited to the written blocks, the motor hours drop out.
    EXPECT_TRUE(UncoveredDifferences(tree, sent, read, WriteBlocks).empty());
    // Without the first block, the mains threshold (37) drops out; 72 and 83 stay.
    EXPECT_EQ(DifferingParameters(tree, sent, read, std::span<const ImageBlock>(WriteBlocks).subspan(1)).size(), 2u);
}

TEST(Differences, EveryByteOfAWideValueCounts) {
    ParamTreeModel tree = Tree();
    ConfigImage a = ErasedImage();
    for (std::size_t last : {4u + 3u, 192u + 15u, 224u + 31u, 184u + 7u}) {
        ConfigImage b = a;
        b[last] = 1;
        const auto d = DifferingParameters(tree, a, b);
        ASSERT_EQ(d.size(), 1u) << last;
    }
    EXPECT_TRUE(DifferingParameters(tree, a, a).empty());
}

}  // namespace
}  // namespace lum
