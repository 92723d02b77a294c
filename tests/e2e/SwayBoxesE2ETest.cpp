// The program's message boxes in a headless sway session, the program a native Wayland client:
// each box is a child of the main window (as the program asks sway on the wire), floats over
// it, has the focus while it is up and hands it back when it closes. sway gives the driver no
// pointer, so the buttons are pressed through their accessible actions.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QRect>

#include "support/E2E.h"
#include "support/SwaySession.h"

namespace {
QRect Rect(const QJsonObject& view) {
  const QJsonObject r = view[QStringLiteral("rect")].toObject();
  return QRect(r["x"].toInt(), r["y"].toInt(), r["width"].toInt(), r["height"].toInt());
}
}  // namespace

TEST(SwayBoxesE2E, BoxesFloatOverTheMainWindowAndGiveTheFocusBack) {
  SwaySession session;
  if (!session.ok()) GTEST_SKIP() << session.why();
  const QString home = session.home();
  const QString settings = home + "/.config/Quillatorne/settings.reg";
  QDir().mkpath(home + "/.config/Quillatorne");
  {
    QFile f(settings);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(FolderSettings(BoxRoundFolders(home)));
  }
  session.GiveToUser(home);

  SwayProgram program(session);
  program.addEnv(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1"));
  program.addEnv(QStringLiteral("WAYLAND_DEBUG=client"));
  ASSERT_TRUE(program.Start());
  ASSERT_TRUE(program.WaitForListening()) << qPrintable(program.Log().right(3000));
  ASSERT_TRUE(program.ShowWindow());
  const QString main = QStringLiteral("Quillatorne");
  QJsonObject tree;
  ASSERT_TRUE(WaitUntil(
      [&] {
        tree = session.Tree();
        return SwaySession::FocusedView(tree) == main;
      },
      30000))
      << QJsonDocument(tree).toJson().toStdString();

  auto act = [&](const QString& button, const QString& window) {
    return WaitUntil(
        [&] {
          return session
              .Run({QStringLiteral("/usr/bin/python3"),
                    QStringLiteral(QUILLATORNE_SOURCE_DIR "/tests/e2e/atspi_driver.py"),
                    QStringLiteral("act"), button, window})
              .has_value();
        },
        30000);
  };
  for (const BoxRound& r : kBoxRounds) {
    SCOPED_TRACE(std::string(r.open) + " then " + r.box + ": " + r.answer);
    const QString box = QString::fromLatin1(r.box);
    if (*r.open) {
      ASSERT_TRUE(act(QString::fromLatin1(r.open), main));
    }
    ASSERT_TRUE(WaitUntil(
        [&] {
          tree = session.Tree();
          return SwaySession::FocusedView(tree) == box;
        },
        20000))
        << "no focused box: " << QJsonDocument(tree).toJson().toStdString();
    EXPECT_EQ(ToplevelInLog(program.Log(), box).parentTitle, main);
    EXPECT_TRUE(SwaySession::IsFloating(tree, box));
    // One title bar each: sway's over the box, none over the main window's own header. The
    // decoration is agreed on after the box is mapped: a look right away may be too early.
    QString border;
    EXPECT_TRUE(WaitUntil(
        [&] {
          tree = session.Tree();
          border = SwaySession::FindView(tree, box)["border"].toString();
          return border == QLatin1String("normal");
        },
        5000))
        << "sway's border: " << border.toStdString();
    EXPECT_EQ(SwaySession::FindView(tree, main)["deco_rect"].toObject()["height"].toInt(), 0);
    EXPECT_TRUE(Rect(SwaySession::FindView(tree, main))
                    .contains(Rect(SwaySession::FindView(tree, box)).center()));

    ASSERT_TRUE(act(QString::fromLatin1(r.answer), box));
    switch (r.after) {
      case AfterBox::ProgramEnds:
        EXPECT_TRUE(program.WaitForExit(30000)) << qPrintable(program.Log().right(3000));
        break;
      case AfterBox::FocusBack:
        EXPECT_TRUE(WaitUntil(
            [&] {
              tree = session.Tree();
              return SwaySession::FindView(tree, box).isEmpty() &&
                     SwaySession::FocusedView(tree) == main;
            },
            20000))
            << "the focus is not back: " << QJsonDocument(tree).toJson().toStdString();
        break;
      case AfterBox::NextBox:
        break;
    }
    ASSERT_TRUE(session.running()) << qPrintable(session.Log().right(3000));
  }
}
