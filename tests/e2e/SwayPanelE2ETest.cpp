// The first run on sway with a bar at the top of the screen: the calendar's first place is
// below the bar, not under it.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include "support/E2E.h"
#include "support/SwaySession.h"

namespace {
int SavedDword(const QString& file, const QString& name) {
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly)) return -1;
  const auto m = QRegularExpression(QStringLiteral("\\n\"%1\"=dword:([0-9a-f]{8})").arg(name))
                     .match(QString::fromUtf8(f.readAll()));
  return m.hasMatch() ? m.captured(1).toInt(nullptr, 16) : -1;
}
}  // namespace

TEST(SwayPanelE2E, TheFirstCalendarPlaceIsBelowTheBar) {
  SwaySession session(1, QStringLiteral("bar {\n position top\n height 40\n}"));
  if (!session.ok()) GTEST_SKIP() << session.why();
  // Where the bar leaves the screen free, as sway has it.
  int top = 0;
  ASSERT_TRUE(WaitUntil(
      [&] {
        const auto out = session.Msg({QStringLiteral("-t"), QStringLiteral("get_workspaces")});
        if (!out) return false;
        const QJsonArray all = QJsonDocument::fromJson(out->toUtf8()).array();
        top = all.isEmpty() ? 0 : all[0].toObject()["rect"].toObject()["y"].toInt();
        return top > 0;
      },
      20000))
      << "no bar: " << qPrintable(session.Log().right(2000));

  SwayProgram program(session);
  ASSERT_TRUE(program.Start());
  ASSERT_TRUE(program.WaitForListening()) << qPrintable(program.Log().right(3000));
  program.Stop();
  const QString file = session.home() + "/.config/Quillatorne/settings.reg";
  const int posY = SavedDword(file, QStringLiteral("PosY"));
  ASSERT_GE(posY, 0) << qPrintable(program.Log().right(3000));
  // The miniature of a landscape screen is 140 high; scaled to the output's 720 pixels.
  const int calendarTop = static_cast<int>(static_cast<float>(posY) / (140.0f / 720.0f));
  EXPECT_GE(calendarTop, top);
  EXPECT_LT(calendarTop, top + 10);  // just below it
}
