#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "params/NodeText.h"
#include "params/ParamTree.h"

namespace lum {
namespace {

TEST(ParamTree, LoadedCatalogueKeepsRowOrderLevelsAndTexts) {
    for (auto catalog : {CatalogPetrolV2, CatalogDieselV2, CatalogDryContactV2, CatalogPetrolV3}) {
        ParamTreeModel tree;
        LoadCatalog(tree, catalog);
        ASSERT_EQ(tree.NodeCount(), catalog.size());
        for (std::size_t i = 0; i < catalog.size(); ++i) {
            EXPECT_EQ(tree.NodeLevel(i), catalog[i].Level) << i;
            EXPECT_EQ(tree.NodeText(i), MakeNodeText(catalog[i])) << i;
        }
    }
}

TEST(ParamTree, NodesHangUnderTheLastNodeOneLevelUp) {
    ParamTreeModel tree;
    LoadCatalog(tree, CatalogPetrolV2);
    EXPECT_FALSE(tree.ParentOf(0).has_value());
    EXPECT_EQ(tree.ParentOf(2), 1u);  // "Напряжение сети" under "Параметры сети"
    EXPECT_EQ(tree.ParentOf(3), 2u);
    EXPECT_EQ(tree.ParentOf(6), 5u);    // under the mains "Временные константы"
    EXPECT_EQ(tree.ParentOf(16), 15u);  // under the generator's "Временные константы"
    EXPECT_EQ(tree.ParentOf(15), 8u);
    EXPECT_FALSE(tree.ParentOf(40).has_value());
    EXPECT_EQ(tree.ParentOf(41), 40u);
    EXPECT_EQ(tree.ParentOf(82), 80u);

    ParamTreeModel v3;
    LoadCatalog(v3, CatalogPetrolV3);
    for (std::size_t i : {23u, 24u, 25u}) {
        EXPECT_EQ(GetNodeField(v3, *v3.ParentOf(i), FieldName), "Запуск электрогенератора") << i;
    }
}

TEST(ParamTree, LoadingAppendsWithoutClearing) {
    ParamTreeModel tree;
    LoadCatalog(tree, CatalogDryContactV2);
    LoadCatalog(tree, CatalogDieselV2);
    EXPECT_EQ(tree.NodeCount(), 81u + 83u);
    EXPECT_EQ(GetNodeField(tree, 81, FieldValue), "дизель");
    tree.Clear();
    EXPECT_EQ(tree.NodeCount(), 0u);
}

TEST(ParamTree, MalformedCatalogueAddsNothing) {
    const TParam_record startsDeep[] = {{2, "a", "", "", "", "", 0, 0, 0}};
    const TParam_record skipsLevel[] = {{1, "a", "", "", "", "", 0, 0, 0},
                                        {2, "b", "", "", "", "", 0, 0, 0},
                                        {1, "c", "", "", "", "", 0, 0, 0},
                                        {3, "d", "", "", "", "", 0, 0, 0}};
    const TParam_record levelZero[] = {{0, "a", "", "", "", "", 0, 0, 0}};
    for (std::span<const TParam_record> bad :
         {std::span<const TParam_record>(startsDeep), std::span<const TParam_record>(skipsLevel),
          std::span<const TParam_record>(levelZero)}) {
        ParamTreeModel tree;
        EXPECT_THROW(LoadCatalog(tree, bad), std::invalid_argument);
        EXPECT_EQ(tree.NodeCount(), 0u);
    }
}

TEST(ParamTree, AddNodeRefusesLevelsWithoutParent) {
    ParamTreeModel tree;
    EXPECT_THROW(tree.AddNode(2, "x"), std::invalid_argument);
    EXPECT_THROW(tree.AddNode(0, "x"), std::invalid_argument);
    tree.AddNode(1, "a");
    tree.AddNode(2, "b");
    EXPECT_THROW(tree.AddNode(4, "x"), std::invalid_argument);
    tree.AddNode(3, "c");
    tree.AddNode(1, "d");
    EXPECT_EQ(tree.NodeCount(), 4u);
    EXPECT_EQ(tree.NodeText(3), "d");
}

TEST(ParamTree, IndexOutsideTheTreeIsAnError) {
    ParamTreeModel tree;
    EXPECT_THROW((void)tree.NodeText(0), std::out_of_range);
    LoadCatalog(tree, CatalogPetrolV2);
    EXPECT_NO_THROW((void)tree.NodeText(83));
    EXPECT_THROW((void)tree.NodeText(84), std::out_of_range);
    EXPECT_THROW((void)tree.NodeLevel(84), std::out_of_range);
    EXPECT_THROW(tree.SetNodeText(84, "x"), std::out_of_range);
    EXPECT_THROW((void)GetNodeField(tree, 84, 1), std::out_of_range);
    EXPECT_THROW(SetNodeField(tree, 84, 1, "x"), std::out_of_range);
    EXPECT_EQ(tree.NodeCount(), 84u);
}

TEST(ParamTree, SetNodeFieldChangesOnlyThatField) {
    ParamTreeModel tree;
    LoadCatalog(tree, CatalogPetrolV2);
    const std::string before = tree.NodeText(30);
    SetNodeField(tree, 30, FieldValue, "вкл.");
    EXPECT_EQ(GetNodeField(tree, 30, FieldValue), "вкл.");
    for (int k : {0, 2, 3, 4, 5, 6, 7}) EXPECT_EQ(GetNodeField(tree, 30, k), GetTextField(before, k));
    EXPECT_EQ(tree.NodeText(29), MakeNodeText(CatalogPetrolV2[29]));
    EXPECT_EQ(tree.NodeText(31), MakeNodeText(CatalogPetrolV2[31]));
    EXPECT_THROW(SetNodeField(tree, 30, FieldValue, "a;b"), NodeTextError);
    EXPECT_EQ(GetNodeField(tree, 30, FieldValue), "вкл.");
}

}  // namespace
}  // namespace lum
