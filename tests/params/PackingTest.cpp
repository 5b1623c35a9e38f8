#include <gtest/gtest.h>

#include <initializer_list>
#include <numeric>
#include <set>
#include <string>
#include <vector>

#include "common/Cp1251.h"
#include "params/NodeText.h"
#include "params/Packing.h"
#include "tests/params/ImageMap.h"

namespace lum {
namespace {

using testing::kD2;
using testing::kDC;
using testing::kImageMap;
using testing::kP2;
using testing::kP3;

TParam_record Row(std::string_view value, std::uint8_t size, std::int32_t address, std::int32_t kind,
                  std::string_view name = "P") {
    return {1, name, value, "", "", "", size, address, kind};
}

ParamTreeModel TreeOf(std::initializer_list<TParam_record> rows) {
    ParamTreeModel tree;
    for (const auto& r : rows) tree.AddNode(1, MakeNodeText(r));
    return tree;
}

ConfigImage Pack(std::initializer_list<TParam_record> rows) {
    ConfigImage image{};  // all zero, so that the reset to 255 shows
    PackTreeToImage(TreeOf(rows), image);
    return image;
}

// A distinctive image, to see that a refused operation leaves it alone.
ConfigImage Pattern() {
    ConfigImage image;
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return image;
}

// The value a single node of the given kind and size shows after unpacking `image`.
std::string UnpackOne(const ConfigImage& image, std::uint8_t size, std::int32_t address, std::int32_t kind) {
    ParamTreeModel tree = TreeOf({Row("marker", size, address, kind)});
    UnpackImageToTree(tree, image);
    return GetNodeField(tree, 0, FieldValue);
}

std::vector<std::uint8_t> Bytes(const ConfigImage& image, std::size_t from, std::size_t count) {
    return {image.begin() + static_cast<std::ptrdiff_t>(from),
            image.begin() + static_cast<std::ptrdiff_t>(from + count)};
}

unsigned ModelBit(std::uint8_t code) {
    switch (code) {
        case 200:
            return kP2;
        case 201:
            return kD2;
        case 202:
            return kDC;
        default:
            return kP3;
    }
}

// ---- defaults of the four models ------------------------------------------------

TEST(DefaultImage, BytesNoWritableParameterCoversStayErased) {
    for (int model = 0; model < ModelCount; ++model) {
        const std::uint8_t code = *ModelCodeForIndex(model);
        SCOPED_TRACE(static_cast<int>(code));
        std::set<int> covered;
        for (const auto& e : kImageMap) {
            if ((e.models & ModelBit(code)) && e.kind != KindReadOnly) {
                for (int a = e.address; a < e.address + e.size; ++a) covered.insert(a);
            }
        }
        const ConfigImage image = DefaultImageForModel(code);
        for (int a = 0; a < 256; ++a) {
            if (!covered.count(a)) {
                EXPECT_EQ(image[static_cast<std::size_t>(a)], 255) << "address " << a;
            }
        }
    }
}

TEST(DefaultImage, PetrolV2Bytes) {
    const ConfigImage image = DefaultImageForModel(ModelPetrolV2);
    EXPECT_EQ(Bytes(image, 0, 4), std::vector<std::uint8_t>(4, 255));  // motor hours: not ours
    EXPECT_EQ(Bytes(image, 4, 4), std::vector<std::uint8_t>(4, 0));    // maintenance counter 0
    EXPECT_EQ(image[8], 100);
    EXPECT_EQ(image[9], 0);   // "выкл."
    EXPECT_EQ(image[10], 1);  // "вкл."
    EXPECT_EQ(image[13], 1);
    EXPECT_EQ(image[15], 5);
    EXPECT_EQ(image[21], 10);
    EXPECT_EQ(image[27], 0);
    EXPECT_EQ(Bytes(image, 36, 2), (std::vector<std::uint8_t>{0, 180}));
    EXPECT_EQ(Bytes(image, 54, 2), (std::vector<std::uint8_t>{0x38, 0x40}));  // 14400
    EXPECT_EQ(image[72], 0);                                                  // "бензин"
    EXPECT_EQ(Bytes(image, 80, 10), std::vector<std::uint8_t>(10, 0));        // "0000000000"
    EXPECT_EQ(image[92], 0);                                                  // "только аварии"
    EXPECT_EQ(Bytes(image, 180, 12), std::vector<std::uint8_t>(12, 255));     // counters, serial number
    const std::vector<std::uint8_t> vobex = {'v', 'o', 'b', 'e', 'x', 255};
    EXPECT_EQ(Bytes(image, 192, 6), vobex);
    EXPECT_EQ(Bytes(image, 208, 6), vobex);
    EXPECT_EQ(Bytes(image, 224, 9), (std::vector<std::uint8_t>{'i', 'n', 't', 'e', 'r', 'n', 'e', 't', 255}));
}

TEST(DefaultImage, ModelsDifferWhereTheirCataloguesDo) {
    const ConfigImage p2 = DefaultImageForModel(ModelPetrolV2);
    const ConfigImage d2 = DefaultImageForModel(ModelDieselV2);
    const ConfigImage dc = DefaultImageForModel(ModelDryContactV2);
    const ConfigImage p3 = DefaultImageForModel(ModelPetrolV3);
    EXPECT_EQ(d2[72], 1);
    EXPECT_EQ(dc[72], 2);
    EXPECT_EQ(p3[72], 0);
    EXPECT_EQ(d2[13], 255);
    EXPECT_EQ(d2[21], 10);  // glow plug heating on the choke's byte
    for (std::size_t a : {13u, 20u, 21u, 22u, 173u, 174u, 175u}) EXPECT_EQ(dc[a], 255) << a;
    EXPECT_EQ(Bytes(dc, 68, 2), (std::vector<std::uint8_t>{0x01, 0x2C}));  // 300
    EXPECT_EQ(p2[68], 255);
    EXPECT_EQ(p3[14], 255);
    EXPECT_EQ(p3[15], 255);
    EXPECT_EQ(p3[21], 30);
    EXPECT_EQ(Bytes(p3, 173, 3), (std::vector<std::uint8_t>{15, 18, 20}));
    EXPECT_EQ(p2[173], 255);
}

TEST(DefaultImage, UnknownModelIsRefused) {
    EXPECT_THROW((void)DefaultImageForModel(0), std::invalid_argument);
    EXPECT_THROW((void)DefaultImageForModel(203), std::invalid_argument);
}

// unpack(pack(defaults)) gives every default back, except what the controller itself
// reports: the counters read as 65535 and the serial number as empty from erased memory.
TEST(RoundTrip, EveryCatalogueGetsItsDefaultsBack) {
    for (auto catalog : {CatalogPetrolV2, CatalogDieselV2, CatalogDryContactV2, CatalogPetrolV3}) {
        ParamTreeModel source;
        LoadCatalog(source, catalog);
        ConfigImage image = ErasedImage();
        PackTreeToImage(source, image);

        ParamTreeModel target;
        LoadCatalog(target, catalog);
        for (std::size_t i = 0; i < target.NodeCount(); ++i) SetNodeField(target, i, FieldValue, "?");
        UnpackImageToTree(target, image);

        for (std::size_t i = 0; i < catalog.size(); ++i) {
            const TParam_record& r = catalog[i];
            SCOPED_TRACE(std::to_string(i) + " " + std::string(r.Name));
            std::string want(r.Value);
            if (r.ValueKind == KindGroup) want = "?";  // headings are not touched
            if (r.ValueKind == KindReadOnly) want = r.Size == 2 ? "65535" : "";
            EXPECT_EQ(GetNodeField(target, i, FieldValue), want);
        }
    }
}

// ---- numbers ------------------------------------------------------------------------

TEST(PackNumber, OneByteUnsignedAndSigned) {
    EXPECT_EQ(Pack({Row("255", 1, 8, 1)})[8], 255);
    EXPECT_EQ(Pack({Row("0", 1, 8, 1)})[8], 0);
    EXPECT_EQ(Pack({Row("007", 1, 8, 1)})[8], 7);
    EXPECT_EQ(Pack({Row("-30", 1, 15, 5)})[15], 226);
    EXPECT_EQ(Pack({Row("+70", 1, 15, 5)})[15], 70);
    EXPECT_EQ(Pack({Row("-128", 1, 15, 5)})[15], 0x80);
    EXPECT_EQ(Pack({Row("127", 1, 15, 5)})[15], 0x7F);

    ConfigImage image = ErasedImage();
    image[15] = 226;
    EXPECT_EQ(UnpackOne(image, 1, 15, KindSignedNumber), "-30");
    EXPECT_EQ(UnpackOne(image, 1, 15, KindNumber), "226");
    image[15] = 0x80;
    EXPECT_EQ(UnpackOne(image, 1, 15, KindSignedNumber), "-128");
    image[15] = 0x7F;
    EXPECT_EQ(UnpackOne(image, 1, 15, KindSignedNumber), "127");
    image[15] = 255;
    EXPECT_EQ(UnpackOne(image, 1, 15, KindNumber), "255");
    EXPECT_EQ(UnpackOne(image, 1, 15, KindSignedNumber), "-1");
}

TEST(PackNumber, SixteenBitsBigEndian) {
    EXPECT_EQ(Bytes(Pack({Row("260", 2, 34, 1)}), 34, 2), (std::vector<std::uint8_t>{0x01, 0x04}));
    EXPECT_EQ(Bytes(Pack({Row("65535", 2, 34, 1)}), 34, 2), (std::vector<std::uint8_t>{0xFF, 0xFF}));
    EXPECT_EQ(Bytes(Pack({Row("0", 2, 34, 5)}), 34, 2), (std::vector<std::uint8_t>{0, 0}));
    ConfigImage image = ErasedImage();
    image[34] = 0x01;
    image[35] = 0x04;
    EXPECT_EQ(UnpackOne(image, 2, 34, KindNumber), "260");
    image[34] = 0xFF;
    EXPECT_EQ(UnpackOne(image, 2, 34, KindSignedNumber), "65284");  // 0xFF04, unsigned for both kinds
    EXPECT_EQ(ImageWord(image, 34), 0xFF04);
}

TEST(PackNumber, ThirtyTwoBitsBigEndianSigned) {
    EXPECT_EQ(Bytes(Pack({Row("5999940", 4, 4, 1)}), 4, 4),
              (std::vector<std::uint8_t>{0x00, 0x5B, 0x8D, 0x44}));
    EXPECT_EQ(Bytes(Pack({Row("-1", 4, 4, 1)}), 4, 4), std::vector<std::uint8_t>(4, 0xFF));
    EXPECT_EQ(Bytes(Pack({Row("2147483647", 4, 4, 1)}), 4, 4),
              (std::vector<std::uint8_t>{0x7F, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Bytes(Pack({Row("-2147483648", 4, 4, 1)}), 4, 4), (std::vector<std::uint8_t>{0x80, 0, 0, 0}));
    for (const char* v : {"5999940", "-1", "2147483647", "-2147483648", "0"}) {
        EXPECT_EQ(UnpackOne(Pack({Row(v, 4, 4, 1)}), 4, 4, KindNumber), v);
    }
}

// A number the controller would not give back as typed is refused, naming the text, and
// the image keeps every byte it had.
TEST(PackNumber, RefusalsLeaveTheImageUntouched) {
    struct Bad {
        const char* value;
        std::uint8_t size;
        std::int32_t kind;
    };
    const Bad bad[] = {{"12.5", 1, 1},
                       {"12,5", 2, 1},
                       {"", 1, 1},
                       {"abc", 1, 1},
                       {" 12", 1, 1},
                       {"12 ", 1, 1},
                       {"1e3", 2, 1},
                       {"-", 1, 5},
                       {"+", 1, 1},
                       {"0x10", 1, 1},
                       {"256", 1, 1},
                       {"-1", 1, 1},
                       {"128", 1, 5},
                       {"-129", 1, 5},
                       {"65536", 2, 1},
                       {"-1", 2, 5},
                       {"2147483648", 4, 1},
                       {"-2147483649", 4, 1},
                       {"99999999999999999999999", 4, 1},
                       {"1\xD0\xB0", 1, 1}};
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.value);
        const ParamTreeModel tree = TreeOf({Row("100", 1, 8, 1), Row(b.value, b.size, 40, b.kind, "Порог")});
        ConfigImage image = Pattern();
        try {
            PackTreeToImage(tree, image);
            ADD_FAILURE() << "packed";
        } catch (const PackError& e) {
            EXPECT_NE(std::string(e.what()).find("«" + std::string(b.value) + "»"), std::string::npos)
                << e.what();
            EXPECT_NE(std::string(e.what()).find("Порог"), std::string::npos) << e.what();
        }
        EXPECT_EQ(image, Pattern());
    }
}

// ---- telephone numbers --------------------------------------------------------------

TEST(PackTelephone, TenDigitsOneBytePerDigit) {
    const ConfigImage image = Pack({Row("0123456789", 10, 80, 1)});
    std::vector<std::uint8_t> want(10);
    std::iota(want.begin(), want.end(), 0);
    EXPECT_EQ(Bytes(image, 80, 10), want);
    EXPECT_EQ(image[79], 255);
    EXPECT_EQ(image[90], 255);
    EXPECT_EQ(UnpackOne(image, 10, 80, KindNumber), "0123456789");
    EXPECT_EQ(UnpackOne(Pack({Row("9876543210", 10, 96, 5)}), 10, 96, KindSignedNumber), "9876543210");
}

TEST(PackTelephone, AnythingButTenDigitsIsRefused) {
    for (const char* v :
         {"123", "012345678", "01234567890", "012345678a", "+123456789", "01234 5678", "０123456789"}) {
        SCOPED_TRACE(v);
        ConfigImage image = Pattern();
        EXPECT_THROW(PackTreeToImage(TreeOf({Row(v, 10, 80, 1)}), image), PackError);
        EXPECT_EQ(image, Pattern());
    }
}

// An erased number reads back empty and goes back as ten bytes 255: a configuration read
// from a controller with an unset number is written back unchanged.
TEST(PackTelephone, ErasedNumberRoundTrips) {
    ConfigImage image = ErasedImage();
    image[79] = 7;
    image[90] = 1;
    ParamTreeModel tree;
    LoadCatalog(tree, CatalogPetrolV2);
    UnpackImageToTree(tree, image);
    EXPECT_EQ(GetNodeField(tree, 61, FieldValue), "");  // "Телефонный номер 2"
    ConfigImage out{};
    PackTreeToImage(tree, out);
    for (std::size_t a : {80, 89, 96, 105, 160, 169}) EXPECT_EQ(out[a], 255) << a;
    SetNodeField(tree, 61, FieldValue, "0000000042");  // a number set beside erased ones
    PackTreeToImage(tree, out);
    EXPECT_TRUE(out[104] == 4 && out[80] == 255);
}

// Six rows are called "Номер абонента": a refusal names the one meant by its group path.
TEST(PackTelephone, RefusalNamesTheWholePath) {
    ParamTreeModel tree;
    LoadCatalog(tree, CatalogPetrolV2);
    SetNodeField(tree, 65, FieldValue, "12");  // "Телефонный номер 3"
    ConfigImage out = Pattern();
    std::string said;
    try { PackTreeToImage(tree, out); } catch (const PackError& e) { said = e.what(); }
    EXPECT_NE(said.find("«Параметры GSM модема/Телефонный номер 3/Номер абонента»"), std::string::npos) << said;
    EXPECT_EQ(out, Pattern());
}

TEST(UnpackTelephone, ErasedAndOddBytes) {
    ConfigImage image = ErasedImage();
    EXPECT_EQ(UnpackOne(image, 10, 80, KindNumber), "");  // ten bytes 255
    const std::uint8_t bytes[10] = {1, 2, 123, 3, 255, 4, 10, 200, 104, 122};
    std::copy(std::begin(bytes), std::end(bytes), image.begin() + 80);
    // Bytes of 123 and above are skipped; 10 shows as ":", 104 as the one code page byte
    // without a character (U+FFFD) and 122 as the character 170.
    const std::string want = std::string("1234:") + "\xEF\xBF\xBD" + Cp1251ToUtf8("\xAA");
    EXPECT_EQ(UnpackOne(image, 10, 80, KindNumber), want);
}

// A byte that reads as ";" must not split the node text: the size, address and kind of
// the node stay where they were, and the odd value cannot be written back as something
// else.
TEST(UnpackTelephone, SeparatorFromMemoryKeepsTheNodeIntact) {
    ConfigImage image = ErasedImage();
    for (std::size_t i = 0; i < 10; ++i) image[80 + i] = 0;
    image[83] = 11;  // 11 + 48 is ";"
    ParamTreeModel tree = TreeOf({Row("0000000000", 10, 80, 1)});
    UnpackImageToTree(tree, image);
    EXPECT_EQ(GetNodeField(tree, 0, FieldSize), "10");
    EXPECT_EQ(GetNodeField(tree, 0, FieldAddress), "80");
    EXPECT_EQ(GetNodeField(tree, 0, FieldKind), "1");
    EXPECT_EQ(GetNodeField(tree, 0, FieldValue),
              "000\xEF\xBF\xBD"
              "000000");
    ConfigImage out = Pattern();
    EXPECT_THROW(PackTreeToImage(tree, out), PackError);
}

// ---- texts --------------------------------------------------------------------------

TEST(PackText, ShortTextEndsWithOneErasedByte) {
    ConfigImage image = Pack({Row("vobex", 16, 192, 1), Row("pass", 16, 208, 1)});
    EXPECT_EQ(Bytes(image, 192, 16), (std::vector<std::uint8_t>{'v', 'o', 'b', 'e', 'x', 255, 255, 255, 255,
                                                                255, 255, 255, 255, 255, 255, 255}));
    EXPECT_EQ(UnpackOne(image, 16, 192, KindNumber), "vobex");
    // The end byte overwrites what an earlier node put there; only that one byte is written.
    const ConfigImage overlapped =
        Pack({Row("77", 1, 197, 1), Row("88", 1, 198, 1), Row("vobex", 16, 192, 1)});
    EXPECT_EQ(overlapped[197], 255);
    EXPECT_EQ(overlapped[198], 88);
}

TEST(PackText, FullLengthTextsHaveNoEndByte) {
    const std::string login16 = "abcdefghijklmnop";
    const std::string apn32 = "internet.mts.ru.example.com.abcd";
    ASSERT_EQ(apn32.size(), 32u);
    const ConfigImage image = Pack({Row(login16, 16, 192, 1), Row("x", 16, 208, 1), Row(apn32, 32, 224, 1)});
    EXPECT_EQ(std::string(image.begin() + 192, image.begin() + 208), login16);
    EXPECT_EQ(image[208], 'x');
    EXPECT_EQ(std::string(image.begin() + 224, image.end()), apn32);
    EXPECT_EQ(UnpackOne(image, 16, 192, KindNumber), login16);  // stops after 16 bytes
    EXPECT_EQ(UnpackOne(image, 32, 224, KindNumber), apn32);
}

TEST(PackText, CyrillicTravelsInCodePage1251) {
    const std::string cyr16 = "абвгдеёжзийклмнo";  // 15 Cyrillic letters and a Latin o
    ASSERT_EQ(Utf8Length(cyr16), 16u);
    const ConfigImage image = Pack({Row(cyr16, 16, 192, 1)});
    EXPECT_EQ(std::string(image.begin() + 192, image.begin() + 208), Utf8ToCp1251(cyr16));
    EXPECT_EQ(image[192], 0xE0);
    EXPECT_EQ(image[198], 0xB8);  // ё
    EXPECT_EQ(image[208], 255);
    // Reading back stops before the first byte of 123 or more: Cyrillic does not survive.
    EXPECT_EQ(UnpackOne(image, 16, 192, KindNumber), "");
    EXPECT_EQ(UnpackOne(Pack({Row("ab{c", 16, 192, 1)}), 16, 192, KindNumber), "ab");
    EXPECT_EQ(UnpackOne(Pack({Row("vpn.Москва", 32, 224, 1)}), 32, 224, KindNumber), "vpn.");
}

TEST(PackText, EmptyTextWritesNothing) {
    ConfigImage image = Pattern();
    PackTreeToImage(TreeOf({Row("", 16, 192, 1)}), image);
    EXPECT_EQ(image, ErasedImage());
    EXPECT_EQ(UnpackOne(image, 16, 192, KindNumber), "");
}

TEST(PackText, TooLongOrNotIn1251IsRefused) {
    for (auto [value, size] : {std::pair<std::string, std::uint8_t>{"abcdefghijklmnopq", 16},
                               {"абвгдеёжзийклмноп", 16},
                               {std::string(33, 'a'), 32},
                               {"pass✓", 16},
                               {"日本", 32}}) {
        SCOPED_TRACE(value);
        ConfigImage image = Pattern();
        try {
            PackTreeToImage(TreeOf({Row(value, size, 192, 1, "Password")}), image);
            ADD_FAILURE() << "packed";
        } catch (const PackError& e) {
            EXPECT_NE(std::string(e.what()).find("«" + value + "»"), std::string::npos) << e.what();
        }
        EXPECT_EQ(image, Pattern());
    }
}

// Bytes below 123 come back as they are, control bytes included; a ";" is shown as
// U+FFFD so that the node keeps its fields, and such a value is refused when packed.
TEST(PackText, SeparatorAndControlBytesFromMemory) {
    ConfigImage image = ErasedImage();
    const std::uint8_t bytes[] = {'a', ';', 'b', 0x18, 0};
    std::copy(std::begin(bytes), std::end(bytes), image.begin() + 192);
    ParamTreeModel tree = TreeOf({Row("", 16, 192, 1), Row("", 2, 34, 1)});
    UnpackImageToTree(tree, image);
    EXPECT_EQ(GetNodeField(tree, 0, FieldValue), std::string("a\xEF\xBF\xBD"
                                                             "b\x18") +
                                                     '\0');
    EXPECT_EQ(GetNodeField(tree, 0, FieldKind), "1");
    EXPECT_EQ(GetNodeField(tree, 1, FieldValue), "65535");
    ConfigImage out = Pattern();
    EXPECT_THROW(PackTreeToImage(tree, out), PackError);
    EXPECT_EQ(out, Pattern());
}

// ---- choices --------------------------------------------------------------------------

TEST(PackChoice, TextsAndBytesOfEveryChoiceKind) {
    struct Case {
        std::int32_t kind;
        std::vector<std::string> items;
        int otherTextByte;  // -1: an unknown text writes nothing
    };
    const Case cases[] = {
        {KindOnOff, {"выкл.", "вкл."}, 1},
        {KindLanguage, {"англ.", "рус."}, 1},
        {KindMessageType, {"только аварии", "основн. события", "все события"}, 2},
        {KindEngineType, {"бензин", "дизель", "сухой контакт"}, -1},
        {KindAccessLevel, {"выкл.", "информир.", "управление"}, -1},
        {KindTestLoad, {"выкл.", "без подключ. нагр.", "с подключ. нагр."}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        for (std::size_t i = 0; i < c.items.size(); ++i) {
            const ConfigImage image = Pack({Row(c.items[i], 1, 90, c.kind)});
            EXPECT_EQ(image[90], i) << c.items[i];
            EXPECT_EQ(UnpackOne(image, 1, 90, c.kind), c.items[i]);
        }
        for (const char* other : {"", "ВЫКЛ.", "выкл", "nonsense"}) {
            const ConfigImage image = Pack({Row(other, 1, 90, c.kind)});
            EXPECT_EQ(image[90], c.otherTextByte < 0 ? 255 : c.otherTextByte) << other;
        }
        // Bytes beyond the items: the two- and three-way kinds show their last item, the
        // others an empty value.
        for (int byte : {3, 7, 255}) {
            ConfigImage image = ErasedImage();
            image[90] = static_cast<std::uint8_t>(byte);
            const std::string want = c.otherTextByte < 0 ? "" : c.items.back();
            EXPECT_EQ(UnpackOne(image, 1, 90, c.kind), want) << byte;
        }
    }
    // A two-way kind shows its second item for byte 2 as well.
    ConfigImage image = ErasedImage();
    image[90] = 2;
    EXPECT_EQ(UnpackOne(image, 1, 90, KindOnOff), "вкл.");
    EXPECT_EQ(UnpackOne(image, 1, 90, KindEngineType), "сухой контакт");
}

// ---- rows without a value in the image -------------------------------------------------

TEST(PackReadOnly, NeverWrittenButShownFromMemory) {
    const ConfigImage image = Pack({Row("1234", 2, 180, KindReadOnly), Row("SN0001", 8, 184, KindReadOnly)});
    EXPECT_EQ(image, ErasedImage());
    ConfigImage memory = ErasedImage();
    memory[180] = 0x12;
    memory[181] = 0x34;
    const std::string serial = "AB123456XYZ";
    std::copy(serial.begin(), serial.end(), memory.begin() + 184);
    EXPECT_EQ(UnpackOne(memory, 2, 180, KindReadOnly), "4660");
    EXPECT_EQ(UnpackOne(memory, 8, 184, KindReadOnly), "AB123456");  // at most its size
    memory[186] = 200;
    EXPECT_EQ(UnpackOne(memory, 8, 184, KindReadOnly), "AB");
}

TEST(PackOther, KindsAndSizesWithoutEncodingWriteAndShowNothing) {
    const std::initializer_list<TParam_record> rows = {
        Row("5", 0, 0, KindGroup),  Row("5", 1, 8, KindGroup),    Row("5", 3, 8, KindNumber),
        Row("5", 8, 8, KindNumber), Row("вкл.", 2, 8, KindOnOff), Row("5", 1, 8, 9),
        Row("5", 1, 8, 4 + 256)};
    EXPECT_EQ(Pack(rows), ErasedImage());
    ParamTreeModel tree = TreeOf(rows);
    const ConfigImage zero{};
    UnpackImageToTree(tree, zero);
    for (std::size_t i = 0; i < tree.NodeCount(); ++i)
        EXPECT_EQ(GetNodeField(tree, i, FieldValue), i == 4 ? "вкл." : "5") << i;
}

TEST(PackOther, KindAndSizeCompareAsTexts) {
    ParamTreeModel tree;
    tree.AddNode(1, "A;7;;;;01;8;1");   // size "01" is not "1"
    tree.AddNode(1, "B;7;;;;1;9;01");   // kind "01" is not "1"
    tree.AddNode(1, "C;7;;;;1;010;1");  // the address is a number: 10
    ConfigImage image = Pattern();
    PackTreeToImage(tree, image);
    EXPECT_EQ(image[8], 255);
    EXPECT_EQ(image[9], 255);
    EXPECT_EQ(image[10], 7);
}

TEST(PackOrder, LaterNodeWinsASharedByte) {
    EXPECT_EQ(Pack({Row("1", 1, 21, 1), Row("2", 1, 21, 1)})[21], 2);
    // A choice text that is none of the items leaves the earlier node's byte.
    EXPECT_EQ(Pack({Row("5", 1, 72, 1), Row("дизель?", 1, 72, KindEngineType)})[72], 5);
    EXPECT_EQ(Bytes(Pack({Row("258", 2, 20, 1), Row("9", 1, 21, 1)}), 20, 2),
              (std::vector<std::uint8_t>{1, 9}));
}

// ---- failures of the whole operation -----------------------------------------------------

TEST(PackFailure, EmptyTree) {
    ParamTreeModel empty;
    ConfigImage image = Pattern();
    EXPECT_THROW(PackTreeToImage(empty, image), PackError);
    EXPECT_EQ(image, Pattern());
    EXPECT_THROW(UnpackImageToTree(empty, image), UnpackError);
    EXPECT_EQ(empty.NodeCount(), 0u);
}

TEST(PackFailure, NodeOutsideTheImage) {
    const TParam_record outside[] = {Row("1", 1, 256, 1),    Row("1", 2, 255, 1),
                                     Row("1", 1, -1, 1),     Row("ab", 16, 241, 1),
                                     Row("vкл.", 1, 300, 2), Row("0123456789", 10, 250, 1)};
    for (const TParam_record& r : outside) {
        SCOPED_TRACE(MakeNodeText(r));
        ParamTreeModel tree = TreeOf({Row("3", 1, 8, 1), r});
        ConfigImage image = Pattern();
        EXPECT_THROW(PackTreeToImage(tree, image), PackError);
        EXPECT_EQ(image, Pattern());
        EXPECT_THROW(UnpackImageToTree(tree, ErasedImage()), UnpackError);
        EXPECT_EQ(GetNodeField(tree, 0, FieldValue), "3");  // nothing half-done
    }
    ParamTreeModel garbled;
    garbled.AddNode(1, "X;1;;;;1;abc;1");
    ConfigImage image = Pattern();
    EXPECT_THROW(PackTreeToImage(garbled, image), PackError);
    EXPECT_THROW(UnpackImageToTree(garbled, image), UnpackError);
    EXPECT_THROW((void)ImageWord(image, 255), std::out_of_range);
}

// ---- a configuration of another model ---------------------------------------------------

TEST(Unpack, ImageOfAnotherModelFillsTheLoadedCatalogue) {
    ParamTreeModel tree;
    LoadCatalog(tree, CatalogPetrolV2);
    UnpackImageToTree(tree, DefaultImageForModel(ModelDryContactV2));
    EXPECT_EQ(GetNodeField(tree, 0, FieldValue), "сухой контакт");
    EXPECT_EQ(GetNodeField(tree, 19, FieldValue), "255");  // starter time: erased byte
    EXPECT_EQ(GetNodeField(tree, 22, FieldValue), "255");  // cylinders
    EXPECT_EQ(GetNodeField(tree, 82, FieldValue), "5");    // temperature threshold is shared
}

// ---- the blocks a transfer moves ------------------------------------------------------

TEST(TransferBlocks, ReadCoversAllWriteSkipsCountersAndSerial) {
    std::vector<int> reads(256, 0);
    for (const auto& b : ReadBlocks) {
        for (std::size_t a = b.Address; a < b.Address + b.Count; ++a) ++reads.at(a);
    }
    EXPECT_EQ(reads, std::vector<int>(256, 1));

    const std::pair<int, int> ranges[] = {{4, 63}, {64, 127}, {128, 179}, {192, 255}};
    for (std::size_t i = 0; i < WriteBlocks.size(); ++i) {
        EXPECT_EQ(WriteBlocks[i].Address, static_cast<std::size_t>(ranges[i].first));
        EXPECT_EQ(WriteBlocks[i].Address + WriteBlocks[i].Count - 1,
                  static_cast<std::size_t>(ranges[i].second));
    }
    EXPECT_EQ(TransferProgress, (std::array<int, 4>{25, 50, 75, 100}));
}

// Every value written lies wholly inside one write block; read-only values lie in none.
TEST(TransferBlocks, EveryParameterFitsOneBlock) {
    auto blockOf = [](std::size_t a) -> int {
        for (std::size_t i = 0; i < WriteBlocks.size(); ++i) {
            if (a >= WriteBlocks[i].Address && a < WriteBlocks[i].Address + WriteBlocks[i].Count) {
                return static_cast<int>(i);
            }
        }
        return -1;
    };
    for (auto catalog : {CatalogPetrolV2, CatalogDieselV2, CatalogDryContactV2, CatalogPetrolV3}) {
        for (const TParam_record& r : catalog) {
            if (r.ValueKind == KindGroup) continue;
            SCOPED_TRACE(std::string(r.Name));
            const auto first = static_cast<std::size_t>(r.Address);
            const std::size_t last = first + r.Size - 1;
            if (r.ValueKind == KindReadOnly) {
                EXPECT_EQ(blockOf(first), -1);
                EXPECT_EQ(blockOf(last), -1);
            } else {
                EXPECT_NE(blockOf(first), -1);
                EXPECT_EQ(blockOf(first), blockOf(last));
            }
        }
    }
}

}  // namespace
}  // namespace lum
