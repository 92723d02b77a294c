#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QVariant>

#include "platform/RegistryFile.h"
#include "settings/RegistryStore.h"
#include "support/TempHome.h"

namespace {

// A store over a file in a temporary home, with the product key open.
struct StoreFixture : ::testing::Test {
  TempHome home;
  RegistryFile file{home.configFile()};
  RegistryStore store{file};
  void SetUp() override { store.OpenKey(QString::fromLatin1(kProductKey)); }
  void Put(const QString& name, const RegValue& v) {
    const QString key = store.root() + "\\Test";
    file.CreateKey(key);
    file.SetValue(key, name, v);
  }
};

enum class Kind { Int, Bool, Text, Date };
struct ReadCase {
  const char* what;
  Kind kind;
  RegValue stored;
  QVariant expected;  // the default (see below) when the value is refused
};

QByteArray Bytes(std::initializer_list<int> b) {
  QByteArray out;
  for (int v : b) out.append(static_cast<char>(v));
  return out;
}

class TypedRead : public StoreFixture, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(TypedRead, AcceptsOnlyFittingTypes) {
  const ReadCase& c = GetParam();
  Put("v", c.stored);
  switch (c.kind) {
    case Kind::Int: EXPECT_EQ(store.ReadInteger("Test", "V", -99), c.expected.toInt()); break;
    case Kind::Bool: EXPECT_EQ(store.ReadBool("Test", "v", true), c.expected.toBool()); break;
    case Kind::Text: EXPECT_EQ(store.ReadString("test", "v", "dflt"), c.expected.toString()); break;
    case Kind::Date: EXPECT_DOUBLE_EQ(store.ReadDateTime("Test", "v", -1), c.expected.toDouble()); break;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, TypedRead,
    ::testing::Values(
        ReadCase{"dword int", Kind::Int, RegDword(0xFFFFFFFE), -2},
        ReadCase{"text is not an int", Kind::Int, RegString("5"), -99},
        ReadCase{"short dword", Kind::Int, RegValue{REG_DWORD, Bytes({1, 0})}, -99},
        ReadCase{"binary is not an int", Kind::Int, RegBinary(Bytes({1, 0, 0, 0})), -99},
        ReadCase{"bool non-zero", Kind::Bool, RegDword(7), true},
        ReadCase{"bool zero", Kind::Bool, RegDword(0), false},
        ReadCase{"text bool refused", Kind::Bool, RegString("0"), true},
        ReadCase{"text", Kind::Text, RegString("Liberation Sans"), "Liberation Sans"},
        ReadCase{"empty text is one NUL", Kind::Text, RegValue{REG_SZ, Bytes({0})}, ""},
        ReadCase{"expand_sz unexpanded", Kind::Text, RegString("%HOME%/x", REG_EXPAND_SZ), "%HOME%/x"},
        ReadCase{"dword as text gives digits", Kind::Text, RegDword(7), "7"},
        ReadCase{"binary text refused", Kind::Text, RegBinary("abc"), "dflt"},
        ReadCase{"date", Kind::Date, RegBinary(Bytes({0, 0, 0, 0, 0x50, 0x8c, 0xe2, 0x40})), 37986.5},
        ReadCase{"7-byte date refused", Kind::Date, RegBinary(Bytes({0, 0, 0, 0, 0x50, 0x8c, 0xe2})), -1.0},
        ReadCase{"dword date refused", Kind::Date, RegDword(5), -1.0}),
    [](const auto& info) {
      QString n = QString::fromLatin1(info.param.what);
      n.replace(QRegularExpression("[^A-Za-z0-9]"), "_");
      return n.toStdString();
    });

TEST_F(StoreFixture, MissingSectionOrValueGivesDefaultWithoutCreatingKeys) {
  EXPECT_EQ(store.ReadInteger("Nowhere", "x", 42), 42);
  EXPECT_EQ(store.ReadString("Nowhere", "x", "d"), "d");
  EXPECT_FALSE(file.KeyExists(store.root() + "\\Nowhere"));
}

TEST_F(StoreFixture, DateTimeIsStoredAsEightLittleEndianBytes) {
  store.WriteDateTime("Popup Reminder 1", "DateTime", 37986.5);
  QFile f(home.configFile());
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(f.readAll());
  EXPECT_TRUE(text.contains("[HKEY_CURRENT_USER\\SOFTWARE\\Orbwright\\Quillatorne\\4.0\\Popup Reminder 1]\n"
                            "\"DateTime\"=hex:00,00,00,00,50,8c,e2,40\n"))
      << text.toStdString();
}

TEST_F(StoreFixture, WriteReplacesAValueOfAnotherTypeAndNamesIgnoreCase) {
  Put("PosX", RegString("5"));
  store.WriteInteger("test", "POSX", 12);
  EXPECT_EQ(store.ReadInteger("Test", "posx", 0), 12);
  EXPECT_EQ(file.QueryValue(store.root() + "\\Test", "PosX")->type, REG_DWORD);
}

TEST(RegistryStorePath, TrailingAndLeadingBackslashesAreNormalised) {
  TempHome home;
  RegistryFile file(home.configFile());
  RegistryStore store(file);
  store.OpenKey("SOFTWARE\\Orbwright\\Quillatorne\\4.0\\");
  EXPECT_EQ(store.root(), "SOFTWARE\\Orbwright\\Quillatorne\\4.0");
}

}  // namespace
