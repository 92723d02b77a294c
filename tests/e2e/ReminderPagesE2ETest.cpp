// The reminders pages driven as a user would: the main window opened by a second start,
// side-bar items and buttons clicked and names typed with xdotool at their places.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QThread>

#include "calendar/Geometry.h"
#include "calendar/Marks.h"
#include "calendar/Names.h"
#include "platform/DateTime.h"
#include "settings/Config.h"
#include "support/E2E.h"
#include "support/TempHome.h"
#include "unit/TestJpeg.h"

namespace {
constexpr QRgb kPhoto = 0xFFC8C8C8;
const QByteArray kKey = "[HKEY_CURRENT_USER\\SOFTWARE\\Orbwright\\Quillatorne\\4.0\\";

QByteArray Settings(const QString& folder) {
  QByteArray text = "Windows Registry Editor Version 5.00\n\n";
  text += kKey + "Base]\n\"OK\"=dword:00000001\n\n";
  text += kKey + "Wallpaper]\n\"PathsCount\"=dword:00000001\n\"Path 1\"=\"" + folder.toUtf8() +
          "\"\n\"ChangeRule\"=dword:00000001\n\n";
  text += kKey +
          "Calendar]\n\"ShowCalendar\"=dword:00000001\n\"Style\"=dword:00000000\n"
          "\"Size\"=dword:00000032\n\"PosX\"=dword:00000078\n\"PosY\"=dword:00000005\n"
          "\"FirstWeekDay\"=dword:00000001\n";
  return text;
}

// The program with its main window open, and clicks at places inside that window.
class MainWindowRun {
 public:
  MainWindowRun(const XvfbDisplay& display, const TempHome& home)
      : display_(display), home_(home), program_(display, home) {}

  bool Open() {
    if (!program_.Start()) return false;
    // Start-up shows the window see-through and hides it at once; wait for both, or the
    // clicks may go to the window that is about to vanish.
    const QString socket = home_.path() + "/run/quillatorne.socket";
    if (!WaitUntil([&] { return QFile::exists(socket); }, 30000)) return false;
    WaitUntil([&] { return !WindowViewable(display_.display(), "Quillatorne"); }, 10000);
    // A second start asks the running copy to show its window.
    QProcess second;
    second.setProcessEnvironment(program_.process().processEnvironment());
    second.start(program_.process().program(), {});
    second.waitForFinished(30000);
    WaitUntil([&] { return !(id_ = ViewableWindow(display_.display(), "Quillatorne")).isEmpty(); },
              30000);
    if (id_.isEmpty()) return false;
    const QString info = RunOnDisplay(display_.display(), "xwininfo", {"-id", id_});
    for (const QString& line : info.split('\n')) {
      if (line.contains("Absolute upper-left X:")) x_ = line.section(':', 1).trimmed().toInt();
      if (line.contains("Absolute upper-left Y:")) y_ = line.section(':', 1).trimmed().toInt();
    }
    return true;
  }
  // Clicks the point (x, y) of the window and lets the program answer.
  void Click(int x, int y) {
    Xdotool({"mousemove", QString::number(x_ + x), QString::number(y_ + y), "click", "1"});
  }
  void Xdotool(const QStringList& args) {
    RunOnDisplay(display_.display(), "xdotool", args);
    QThread::msleep(400);
  }
  ProgramRun& program() { return program_; }

 private:
  const XvfbDisplay& display_;
  const TempHome& home_;
  ProgramRun program_;
  QString id_;
  int x_ = 0, y_ = 0;
};

// Where things are in the 542 x 404 main window.
constexpr QPoint kRemindersSection(43, 195);
constexpr QPoint kColorDotItem(43, 175);
constexpr QPoint kAddReminder(140, 75);
constexpr QPoint kReminderName(395, 156);
constexpr QPoint kSetToday(457, 212);
constexpr QPoint kRedSwitch(410, 352);
constexpr QPoint kSet(366, 389);
constexpr QPoint kHide(435, 389);

QByteArray Saved(const TempHome& home) { return home.savedSettings(); }

// A 1024 x 768 display, a home with one screen-sized grey photo, and the program with its
// main window open.
class ReminderPagesE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(display.ok());
    const QString folder = home.path() + "/Pictures";
    QDir().mkpath(folder);
    ASSERT_TRUE(WriteFlatJpeg(folder + "/grey.jpg", 1024, 768, kPhoto));
    home.write(".config/Quillatorne/settings.reg", Settings(folder));
    ASSERT_TRUE(run.Open()) << qPrintable(run.program().stderrText());
  }
  XvfbDisplay display{1024, 768};
  TempHome home;
  MainWindowRun run{display, home};
};

TEST_F(ReminderPagesE2E, AnAddedReminderRenamedOnThePagePopsUpUnderItsNewNameAfterHide) {
  run.Click(kRemindersSection.x(), kRemindersSection.y());
  run.Click(kAddReminder.x(), kAddReminder.y());
  run.Click(kReminderName.x(), kReminderName.y());
  run.Xdotool({"key", "ctrl+a"});
  run.Xdotool({"type", "--delay", "60", "Call Bob"});
  run.Click(kHide.x(), kHide.y());

  // The click is answered when the program gets to it.
  WaitUntil([&] { return Saved(home).contains("Call Bob"); }, 20000);
  const QByteArray saved = Saved(home);
  EXPECT_TRUE(saved.contains("\"Name\"=\"Call Bob\"")) << saved.constData();
  EXPECT_TRUE(saved.contains("\"Text\"=\"<enter text here>\"")) << saved.constData();
  EXPECT_TRUE(saved.contains("\"Recur\"=dword:00000000")) << saved.constData();
  // Due at the moment it was added: the next ticks of the hidden window show it.
  const QString popup = "Quillatorne reminder";
  EXPECT_TRUE(WaitUntil([&] { return WindowViewable(display.display(), popup); }, 30000))
      << qPrintable(run.program().stderrText());
  const QString shown =
      RunOnDisplay(display.display(), "xdotool", {"search", "--name", popup, "getwindowname"});
  EXPECT_TRUE(shown.contains(popup)) << shown.toStdString();
  EXPECT_EQ(run.program().Terminate(), 0);
  EXPECT_TRUE(Saved(home).contains("\"Name\"=\"Call Bob\""));
}

TEST_F(ReminderPagesE2E, ARedDotSetForTodayIsSavedAndDrawnInTodaysCell) {
  const QString bmp = home.dataDir() + "/Quillatorne.bmp";
  ASSERT_TRUE(WaitUntil([&] { return QFile::exists(bmp); }, 30000));
  const QDate today = QDate::currentDate();
  run.Click(kRemindersSection.x(), kRemindersSection.y());
  run.Click(kColorDotItem.x(), kColorDotItem.y());
  run.Click(kSetToday.x(), kSetToday.y());
  run.Click(kRedSwitch.x(), kRedSwitch.y());
  QFile::remove(bmp);
  run.Click(kSet.x(), kSet.y());

  WaitUntil([&] { return Saved(home).contains("ColorRemCount"); }, 20000);
  const QByteArray saved = Saved(home);
  const int day = DateToDayNumber(today);
  EXPECT_TRUE(saved.contains("\"ColorRemCount\"=dword:00000001")) << saved.constData();
  EXPECT_TRUE(
      saved.contains("\"date0\"=dword:" + QByteArray::number(day, 16).rightJustified(8, '0')))
      << saved.constData();
  EXPECT_TRUE(saved.contains("\"style0\"=dword:00000000")) << saved.constData();

  ASSERT_TRUE(
      WaitUntil([&] { return QFile::exists(bmp) && QImage(bmp, "BMP").width() == 1024; }, 30000));
  const QImage wallpaper(bmp, "BMP");
  // Today's cell of the Classic calendar at 120, 5 of the miniature, size 50.
  Config c(QSize(1024, 768));
  c.CalendarConfig.Style = CalendarStyle::Classic;
  c.CalendarConfig.Size = 50;
  c.CalendarConfig.PosX = 120;
  c.CalendarConfig.PosY = 5;
  c.CalendarConfig.FirstWeekDay = WeekStart::Monday;
  const CalendarBox r =
      CalendarRect(1024, 768, c.CalendarConfig,
                   QSize(c.DynamicConfig.DesktopBoxWidth, c.DynamicConfig.DesktopBoxHeight), today);
  int row = 0;
  for (QDate d(today.year(), today.month(), 1); d < today; d = d.addDays(1))
    if (WeekColumn(WeekdayOf(d), c.CalendarConfig) == 7) ++row;
  const int col = WeekColumn(WeekdayOf(today), c.CalendarConfig) - 1;
  const QRect cell(r.left + col * r.cell, r.top + (2 + row) * r.cell, r.cell, r.cell);
  const QRgb red = qRgb(DotColors[0] & 0xFF, (DotColors[0] >> 8) & 0xFF, DotColors[0] >> 16);
  int redPixels = 0, redElsewhere = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x)
      if ((wallpaper.pixel(x, y) | 0xFF000000) == red)
        ++(cell.contains(x, y) ? redPixels : redElsewhere);
  EXPECT_GT(redPixels, 4);
  EXPECT_EQ(redElsewhere, 0);
  EXPECT_EQ(run.program().Terminate(), 0);
}
}  // namespace
