// The source page used as a user would: the real program under Xvfb, its controls found
// through the accessibility bus and clicked with the mouse.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include "support/E2E.h"
#include "support/TempHome.h"
#include "unit/TestJpeg.h"

namespace {
constexpr QRgb kRed = 0xFFFF0000, kBlue = 0xFF0000FF;
const QString kDirList = QStringLiteral("List of directories to search for images:");
const QString kImageList = QStringLiteral("Images in selected directory:");

QByteArray Settings(const QString& folder, const QString& vanished) {
  const QByteArray key = "[HKEY_CURRENT_USER\\SOFTWARE\\Orbwright\\Quillatorne\\4.0\\";
  return "Windows Registry Editor Version 5.00\n\n" + key + "Base]\n\"OK\"=dword:00000001\n\n" +
         key + "Wallpaper]\n\"PathsCount\"=dword:00000002\n\"Path 1\"=\"" + folder.toUtf8() +
         "\"\n\"Path 2\"=\"" + vanished.toUtf8() + "\"\n\"ChangeRule\"=dword:00000000\n\n" + key +
         "Calendar]\n\"ShowCalendar\"=dword:00000000\n\n";
}

// The value of one setting in the saved file, as its line reads.
QString Saved(const QString& file, const QString& name) {
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly)) return QString();
  const QString text = QString::fromUtf8(f.readAll());
  const auto m = QRegularExpression(QStringLiteral("\\n\"%1\"=([^\\n]*)").arg(name)).match(text);
  return m.hasMatch() ? m.captured(1) : QString();
}
}  // namespace

TEST(SourcePageE2E, ListsSelectsSetsAndForgetsAVanishedFolder) {
  XvfbDisplay display(1024, 768);
  ASSERT_TRUE(display.ok());
  SessionBus bus;
  ASSERT_TRUE(bus.ok());
  TempHome home;
  const QString folder = home.path() + "/Pictures";
  const QString vanished = home.path() + "/Old Pictures";
  QDir().mkpath(folder);
  ASSERT_TRUE(WriteTestJpeg(folder + "/b.jpg", Flat(400, 300, kBlue)));
  ASSERT_TRUE(WriteTestJpeg(folder + "/A.jpg", Flat(400, 300, kRed)));
  home.write(".config/Quillatorne/settings.reg", Settings(folder, vanished));

  ProgramRun program(display, home);
  // A second start shows the running program's window.
  ASSERT_TRUE(StartWithWindowShown(program, display, home, bus))
      << qPrintable(program.stderrText());

  const AtspiUser user(display, bus);
  EXPECT_EQ(user.Run({"items", kDirList}), (QStringList{folder, vanished}));
  EXPECT_EQ(user.Run({"items", kImageList}), (QStringList{"A.jpg", "b.jpg"}));

  // b.jpg, then "Set": the wallpaper is made from it.
  const QString bmp = home.dataDir() + "/Quillatorne.bmp";
  QFile::remove(bmp);
  ASSERT_TRUE(user.Run({"click", kImageList, "b.jpg"}));
  ASSERT_TRUE(user.Run({"click", "Set"}));
  ASSERT_TRUE(WaitUntil([&] { return QFileInfo::exists(bmp); }, 30000))
      << qPrintable(program.stderrText());
  QImage wallpaper;
  ASSERT_TRUE(WaitUntil([&] { return wallpaper.load(bmp, "BMP"); }, 10000));
  EXPECT_TRUE(Near(wallpaper.pixel(wallpaper.width() / 2, wallpaper.height() / 2), kBlue));

  // The vanished folder is reported when selected, and removed.
  ASSERT_TRUE(user.Run({"click", kDirList, vanished}));
  const auto box = user.Run({"text", "Quillatorne Directory Manager"});
  ASSERT_TRUE(box);
  // The driver shows a line break inside a text as \n.
  const QString message =
      vanished +
      "\n\nThis directory does not exists. Quillatorne will now remove it from the list.";
  EXPECT_TRUE(box->contains(QString(message).replace(QLatin1Char('\n'), QStringLiteral("\\n"))))
      << qPrintable(box->join('|'));
  ASSERT_TRUE(user.Run({"click", "OK"}));
  EXPECT_EQ(user.Run({"items", kDirList}), QStringList{folder});

  // "Hide" saves.
  ASSERT_TRUE(user.Run({"click", "Hide"}));
  const QString file = home.configFile();
  EXPECT_TRUE(WaitUntil([&] { return Saved(file, "PathsCount") == "dword:00000001"; }, 20000));
  EXPECT_EQ(Saved(file, "Path 1"), "\"" + folder + "\"");
  EXPECT_EQ(Saved(file, "SelPath"), "\"" + folder + "\"");
  EXPECT_EQ(Saved(file, "SelFile"), QStringLiteral("\"b.jpg\""));
  EXPECT_EQ(program.Terminate(), 0);
}
