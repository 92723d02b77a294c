#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csignal>

#include "platform/RegistryFile.h"
#include "support/E2E.h"
#include "support/TempHome.h"

namespace {

const char* const kKey = "SOFTWARE\\Orbwright\\Quillatorne\\4.0\\Calendar";

// What regedit writes on Windows: UTF-16LE with a byte-order mark, CRLF, wrapped hex.
const QString kWindowsExport = QStringLiteral(
    "Windows Registry Editor Version 5.00\r\n\r\n"
    "[HKEY_CURRENT_USER\\SOFTWARE\\Orbwright\\Quillatorne\\4.0\\Calendar]\r\n"
    "\"Font\"=\"Tahoma \\\"Bold\\\" C:\\\\x\"\r\n"
    "\"PosX\"=dword:0000007b\r\n"
    "\"When\"=hex:00,00,00,00,50,8c,\\\r\n  e2,40\r\n"
    "\"Path\"=hex(2):25,00,55,00,53,00,45,00,52,00,25,00,00,00\r\n"
    "\"Ölmühle\"=\"ß€\"\r\n"
    "@=\"default\"\r\n");

TEST(RegistryFileParse, ReadsAWindowsExport) {
  TempHome home;
  const QString name =
      home.write(".config/Quillatorne/settings.reg", Utf16LeWithBom(kWindowsExport));
  RegistryFile file(name);
  EXPECT_TRUE(file.movedAsideTo().isEmpty());
  EXPECT_EQ(file.QueryValue(kKey, "font")->data, QByteArray("Tahoma \"Bold\" C:\\x\0", 19));
  EXPECT_EQ(*file.QueryValue(kKey, "POSX"), RegDword(123));
  EXPECT_EQ(file.QueryValue(kKey, "When")->data, QByteArray::fromHex("00000000508ce240"));
  const RegValue path = *file.QueryValue(kKey, "Path");
  EXPECT_EQ(path.type, REG_EXPAND_SZ);
  EXPECT_EQ(path.data, QByteArray("%USER%\0", 7));
  EXPECT_EQ(file.QueryValue(kKey, QStringLiteral("ölMÜHLE"))->data,
            QStringLiteral("ß€").toUtf8() + '\0');
  EXPECT_EQ(file.QueryValue(kKey, "")->data, QByteArray("default\0", 8));
  EXPECT_TRUE(file.KeyExists("software\\orbwright"));
  EXPECT_FALSE(file.KeyExists("SOFTWARE\\Other"));
}

TEST(RegistryFileFormat, RoundTripsEveryValueKind) {
  QList<RegistryFile::Key> keys;
  keys.append({"SOFTWARE\\A",
               false,
               {{"text", RegString("a \"quoted\" \\ path")},
                {"lines", RegString("two\nlines")},
                {"empty", RegString("")},
                {"num", RegDword(0x80000001)},
                {"bin", RegBinary(QByteArray::fromHex("0001ff"))},
                {"exp", RegString("%PATH%", REG_EXPAND_SZ)},
                {"multi", RegValue{REG_MULTI_SZ, QByteArray("a\0b\0\0", 5)}},
                {"qword", RegValue{11, QByteArray::fromHex("0102030405060708")}},
                {"", RegString("unnamed")}}});
  keys.append({"HKEY_LOCAL_MACHINE\\SOFTWARE\\Kept", true, {{"x", RegDword(1)}}});
  const QByteArray text = RegistryFile::Format(keys);
  QList<RegistryFile::Key> back;
  QString error;
  ASSERT_TRUE(RegistryFile::Parse(text, &back, &error))
      << error.toStdString() << text.toStdString();
  ASSERT_EQ(back.size(), 2);
  EXPECT_EQ(back[0].path, keys[0].path);
  ASSERT_EQ(back[0].values.size(), keys[0].values.size());
  for (int i = 0; i < keys[0].values.size(); ++i) {
    EXPECT_EQ(back[0].values[i].name, keys[0].values[i].name);
    EXPECT_EQ(back[0].values[i].value, keys[0].values[i].value) << i;
  }
  EXPECT_TRUE(back[1].otherHive);
  EXPECT_TRUE(text.contains("\"num\"=dword:80000001\n"));
  EXPECT_TRUE(text.contains("\"text\"=\"a \\\"quoted\\\" \\\\ path\"\n"));
}

class BadFiles : public ::testing::TestWithParam<const char*> {};

TEST_P(BadFiles, AreMovedAsideAndTheStoreStartsEmpty) {
  TempHome home;
  const QByteArray bytes(GetParam());
  const QString name = home.write(".config/Quillatorne/settings.reg", bytes);
  RegistryFile file(name);
  EXPECT_FALSE(QFile::exists(name));
  ASSERT_FALSE(file.movedAsideTo().isEmpty());
  EXPECT_TRUE(file.movedAsideTo().startsWith(name + ".bad-"));
  QFile aside(file.movedAsideTo());
  ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
  EXPECT_EQ(aside.readAll(), bytes);  // kept byte for byte
  EXPECT_FALSE(file.KeyExists("SOFTWARE"));
  // The next write makes a good file again.
  ASSERT_TRUE(file.CreateKey("SOFTWARE\\X"));
  ASSERT_TRUE(file.SetValue("SOFTWARE\\X", "v", RegDword(1)));
  RegistryFile again(name);
  EXPECT_EQ(*again.QueryValue("SOFTWARE\\X", "v"), RegDword(1));
}

INSTANTIATE_TEST_SUITE_P(
    Corrupt, BadFiles,
    ::testing::Values("garbage\n", "Windows Registry Editor Version 5.00\n\"v\"=dword:1\n",
                      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n"
                      "\"v\"=dword:123456789\n",
                      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n"
                      "\"v\"=hex:zz\n",
                      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A\n"));

// An unreadable file that can be neither moved nor copied aside (its folder is not ours to
// write) must never be written over: the saves of that run are refused instead.
TEST(BadFiles, ThatCannotBeKeptAsideAreNeverWrittenOver) {
  TempHome home;
  const QByteArray bytes("garbage\n");
  const QString name = home.write(".config/Quillatorne/settings.reg", bytes);
  const QByteArray folder = QFile::encodeName(QFileInfo(name).absolutePath());
  ASSERT_EQ(::chmod(folder.constData(), 0555), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Root may write anywhere: drop to an ordinary user, as the folder's owner's neighbour.
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
    RegistryFile file(name);
    bool refused = file.movedAsideTo().isEmpty();
    file.CreateKey("SOFTWARE\\X");
    refused = refused && !file.SetValue("SOFTWARE\\X", "v", RegDword(1));
    ::_exit(refused ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ::chmod(folder.constData(), 0700);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  QFile kept(name);
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_EQ(kept.readAll(), bytes);
}

TEST(RegistryFileSave, WritesOnceWithModeSixHundred) {
  TempHome home;
  RegistryFile file(home.configFile());
  file.BeginUpdate();
  file.CreateKey("SOFTWARE\\A");
  file.SetValue("SOFTWARE\\A", "v", RegDword(1));
  EXPECT_FALSE(QFile::exists(home.configFile()));  // nothing written until the update ends
  ASSERT_TRUE(file.EndUpdate());
  struct stat st;
  ASSERT_EQ(::stat(QFile::encodeName(home.configFile()).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // No temporary files are left behind.
  EXPECT_EQ(QDir(home.path() + "/.config/Quillatorne").entryList(QDir::Files),
            QStringList{"settings.reg"});
}

TEST(RegistryFileSave, AFailedWriteLeavesThePreviousFileIntact) {
  TempHome home;
  RegistryFile file(home.configFile());
  file.CreateKey("SOFTWARE\\A");
  ASSERT_TRUE(file.SetValue("SOFTWARE\\A", "v", RegDword(1)));
  QFile before(home.configFile());
  ASSERT_TRUE(before.open(QIODevice::ReadOnly));
  const QByteArray good = before.readAll();

  // A file size limit makes the write fail part way, as a full disk would.
  file.BeginUpdate();
  file.SetValue("SOFTWARE\\A", "big", RegString(QString(20000, 'x')));
  struct rlimit old;
  getrlimit(RLIMIT_FSIZE, &old);
  struct rlimit small = old;
  small.rlim_cur = 4096;
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  const bool saved = file.EndUpdate();
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_FALSE(saved);
  QFile after(home.configFile());
  ASSERT_TRUE(after.open(QIODevice::ReadOnly));
  EXPECT_EQ(after.readAll(), good);
  EXPECT_EQ(QDir(home.path() + "/.config/Quillatorne").entryList(QDir::Files),
            QStringList{"settings.reg"});
  // Once space is back, the next save writes everything.
  ASSERT_TRUE(file.Flush());
  RegistryFile again(home.configFile());
  EXPECT_TRUE(again.QueryValue("SOFTWARE\\A", "big").has_value());
}

TEST(RegistryFileSave, UnknownKeysAndValuesSurviveASave) {
  TempHome home;
  const QString name =
      home.write(".config/Quillatorne/settings.reg",
                 "Windows Registry Editor Version 5.00\n\n"
                 "[HKEY_CURRENT_USER\\SOFTWARE\\Orbwright\\Quillatorne\\4.0\\Future]\n"
                 "\"Thing\"=hex(b):01,00,00,00,00,00,00,00\n"
                 "[HKEY_CURRENT_USER\\SOFTWARE\\Orbwright\\Quillatorne\\4.0\\Calendar]\n"
                 "\"Extra\"=\"kept\"\n");
  {
    RegistryFile file(name);
    file.SetValue("SOFTWARE\\Orbwright\\Quillatorne\\4.0\\Calendar", "Size", RegDword(60));
  }
  RegistryFile again(name);
  EXPECT_EQ(again.QueryValue("SOFTWARE\\Orbwright\\Quillatorne\\4.0\\Future", "Thing")->type, 11u);
  EXPECT_EQ(again.QueryValue("SOFTWARE\\Orbwright\\Quillatorne\\4.0\\Calendar", "Extra")->data,
            QByteArray("kept\0", 5));
  EXPECT_EQ(*again.QueryValue("SOFTWARE\\Orbwright\\Quillatorne\\4.0\\Calendar", "Size"),
            RegDword(60));
}

}  // namespace
