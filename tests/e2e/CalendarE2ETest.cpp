#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "calendar/Render.h"
#include "settings/Config.h"
#include "support/E2E.h"
#include "support/Fakes.h"
#include "support/TempHome.h"
#include "unit/TestJpeg.h"

namespace {

// Colours as the settings store them (0x00BBGGRR) and as the wallpaper shows them.
struct Ink {
  const char* key;
  Color stored;
  QRgb shown;
};
const Ink kInks[] = {{"ColorMonthYear", 0x0000FF, 0xFFFF0000},
                     {"ColorDayNames", 0x00FF00, 0xFF00FF00},
                     {"ColorDayNumbers", 0xFF0000, 0xFF0000FF},
                     {"ColorWeekMarker", 0x00FFFF, 0xFFFFFF00}};
constexpr QRgb kPhoto = 0xFFC8C8C8;     // 200 grey, the whole photo
constexpr QRgb kUnderGlass = 0xFF8C8C8C;  // 200 * 0.7 = 140

QByteArray SettingsFile(const QString& folder) {
  QByteArray text = "Windows Registry Editor Version 5.00\n\n";
  const QByteArray key = "[HKEY_CURRENT_USER\\SOFTWARE\\Orbwright\\Quillatorne\\4.0\\";
  text += key + "Base]\n\"OK\"=dword:00000001\n\n";
  text += key + "Wallpaper]\n\"PathsCount\"=dword:00000001\n\"Path 1\"=\"" + folder.toUtf8() +
          "\"\n\"ChangeRule\"=dword:00000001\n\"StretchToFit\"=dword:00000001\n"
          "\"ConstrainProportions\"=dword:00000001\n\"ShowImage\"=dword:00000001\n\n";
  text += key + "Calendar]\n\"ShowCalendar\"=dword:00000001\n\"Style\"=dword:00000000\n"
                "\"Size\"=dword:00000032\n\"PosX\"=dword:00000078\n\"PosY\"=dword:00000005\n"
                "\"DrawGlass\"=dword:00000001\n\"DrawTextShadow\"=dword:00000000\n"
                "\"Font\"=\"Arial\"\n";
  for (const Ink& ink : kInks)
    text += QByteArray("\"") + ink.key + "\"=dword:" +
            QByteArray::number(ink.stored, 16).rightJustified(8, '0') + "\n";
  return text;
}

TEST(CalendarE2E, TheInstalledWallpaperCarriesTheCalendarOnGlassAndNothingElse) {
  XvfbDisplay display(1024, 768);
  ASSERT_TRUE(display.ok());
  TempHome home;
  const QString folder = home.path() + "/Pictures";
  QDir().mkpath(folder);
  ASSERT_TRUE(WriteFlatJpeg(folder + "/grey.jpg", 1024, 768, kPhoto));
  home.write(".config/Quillatorne/settings.reg", SettingsFile(folder));

  ProgramRun program(display, home);
  ASSERT_TRUE(program.Start());
  const QString bmp = home.dataDir() + "/Quillatorne.bmp";
  ASSERT_TRUE(WaitUntil([&] { return QFile::exists(bmp); }, 30000))
      << qPrintable(program.stderrText());
  const QImage wallpaper(bmp, "BMP");
  ASSERT_EQ(wallpaper.size(), QSize(1024, 768));

  // Where the renderer puts the calendar for these settings on this screen today.
  FakeServices fakes;
  fakes.clock.now = QDateTime::currentDateTime();
  fakes.config = Config(QSize(1024, 768));
  auto& c = fakes.config.CalendarConfig;
  c.Style = CalendarStyle::Classic;
  c.Size = 50;
  c.PosX = 120;
  c.PosY = 5;
  const CalendarBox box = CalendarRect(1024, 768, fakes.config, CalendarToday(fakes.clock));
  ASSERT_FALSE(box.isEmpty());
  EXPECT_EQ(box.left, 657);
  const QRect rect(QPoint(box.left, box.top), QPoint(box.right - 1, box.bottom - 1));

  int inks[4] = {0, 0, 0, 0};
  int glass = 0, inside = 0, outsideChanged = 0, black = 0;
  for (int y = 0; y < wallpaper.height(); ++y) {
    for (int x = 0; x < wallpaper.width(); ++x) {
      const QRgb p = wallpaper.pixel(x, y);
      if (qRed(p) + qGreen(p) + qBlue(p) < 60) ++black;
      if (!rect.contains(x, y)) {
        if (!Near(p, kPhoto)) ++outsideChanged;
        continue;
      }
      ++inside;
      if (Near(p, kUnderGlass)) ++glass;
      for (int i = 0; i < 4; ++i) {
        if (Near(p, kInks[i].shown, 8)) ++inks[i];
      }
    }
  }
  EXPECT_EQ(outsideChanged, 0);
  EXPECT_GT(glass, inside / 2);  // mostly darkened photo between the letters
  for (int i = 0; i < 4; ++i) EXPECT_GT(inks[i], 0) << kInks[i].key;
  EXPECT_EQ(black, 0);  // no shadow was asked for
  EXPECT_EQ(program.Terminate(), 0);
}

}  // namespace
