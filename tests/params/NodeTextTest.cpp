#include <gtest/gtest.h>

#include <string>

#include "params/NodeText.h"

namespace lum {
namespace {

TEST(NodeText, GroupHeadingAndValueRow) {
    EXPECT_EQ(MakeNodeText(CatalogPetrolV2[1]), "Параметры сети;;;;;0;0;0");
    EXPECT_EQ(MakeNodeText(CatalogPetrolV2[3]), "Нижний порог;180;Вольт;160;220;2;36;1");
    EXPECT_EQ(MakeNodeText(CatalogPetrolV2[52]), "Счетчик удачных отправок;;;;;2;180;255");
    EXPECT_EQ(MakeNodeText(CatalogPetrolV2[83]), "Серийный номер устройства;          ;;;;8;184;255");
    const std::string group = MakeNodeText(CatalogPetrolV2[1]);
    EXPECT_EQ(GetTextField(group, 7), "0");
    for (int k = 1; k <= 4; ++k) EXPECT_EQ(GetTextField(group, k), "") << k;
}

// Every row of every catalogue reads back field by field from its node text.
TEST(NodeText, EveryCatalogueRowRoundTrips) {
    for (auto catalog : {CatalogPetrolV2, CatalogDieselV2, CatalogDryContactV2, CatalogPetrolV3}) {
        for (const TParam_record& r : catalog) {
            const std::string text = MakeNodeText(r);
            SCOPED_TRACE(text);
            EXPECT_EQ(GetTextField(text, FieldName), r.Name);
            EXPECT_EQ(GetTextField(text, FieldValue), r.Value);
            EXPECT_EQ(GetTextField(text, FieldUnit), r.Unit);
            EXPECT_EQ(GetTextField(text, FieldMin), r.Min);
            EXPECT_EQ(GetTextField(text, FieldMax), r.Max);
            EXPECT_EQ(GetTextField(text, FieldSize), std::to_string(r.Size));
            EXPECT_EQ(GetTextField(text, FieldAddress), std::to_string(r.Address));
            EXPECT_EQ(GetTextField(text, FieldKind), std::to_string(r.ValueKind));
            EXPECT_EQ(GetTextField(text, NodeFieldCount), "");
        }
    }
}

TEST(NodeText, ReadingFieldsAtTheEdges) {
    EXPECT_EQ(GetTextField("", 0), "");
    EXPECT_EQ(GetTextField("", 3), "");
    EXPECT_EQ(GetTextField("abc", 0), "abc");
    EXPECT_EQ(GetTextField("abc", 1), "");
    EXPECT_EQ(GetTextField("a;b;c", 2), "c");  // the last field runs to the end
    EXPECT_EQ(GetTextField("a;b;c;", 3), "");  // empty last field
    EXPECT_EQ(GetTextField(";;x;;", 2), "x");
    EXPECT_EQ(GetTextField("a;b", -1), "");
    EXPECT_EQ(GetTextField("a;b;c;d;e;f;g;h;i", 7), "h");  // extra fields do not spill into 7
}

TEST(NodeText, SettingTheValueKeepsEveryOtherField) {
    const std::string before = MakeNodeText(CatalogPetrolV2[10]);
    const std::string after = SetTextField(before, FieldValue, "вкл.");
    EXPECT_EQ(GetTextField(after, FieldValue), "вкл.");
    for (int k : {0, 2, 3, 4, 5, 6, 7}) EXPECT_EQ(GetTextField(after, k), GetTextField(before, k)) << k;

    const std::string emptied = SetTextField(before, FieldValue, "");
    EXPECT_EQ(emptied, "Активность функции;;;;;1;10;2");
    EXPECT_EQ(SetTextField(emptied, FieldValue, "выкл."), "Активность функции;выкл.;;;;1;10;2");
    EXPECT_EQ(SetTextField("a;b;c;d;e;f;g;h", 7, "255"), "a;b;c;d;e;f;g;255");
    EXPECT_EQ(SetTextField("a;b;c;d;e;f;g;h", 0, "Имя"), "Имя;b;c;d;e;f;g;h");
}

TEST(NodeText, ShortTextsArePaddedToTheColumns) {
    // Fewer separators than columns: separators are appended until there are five.
    EXPECT_EQ(SetTextField("abc", 1, "x"), "abc;x;;;;");
    EXPECT_EQ(SetTextField("", 0, "x"), "x;;;;;");
    EXPECT_EQ(SetTextField("a;b;c;d;e;f", 1, "x"), "a;x;c;d;e;f");  // enough already: unchanged count
    // A field beyond the padding is reached by further separators.
    const std::string far = SetTextField("a", 7, "v");
    EXPECT_EQ(far, "a;;;;;;;v");
    EXPECT_EQ(GetTextField(far, 7), "v");
}

TEST(NodeText, RefusesValuesThatWouldShiftFields) {
    const std::string text = MakeNodeText(CatalogPetrolV2[49]);
    EXPECT_THROW((void)SetTextField(text, FieldValue, "a;b"), NodeTextError);
    EXPECT_THROW((void)SetTextField(text, FieldValue, ";"), NodeTextError);
    EXPECT_THROW((void)SetTextField(text, -1, "x"), NodeTextError);
}

}  // namespace
}  // namespace lum
