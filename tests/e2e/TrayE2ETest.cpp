// The real program with a panel of the test's own on a private session bus: the icon
// registers whether the panel is there first or comes later, a left click (Activate) shows
// and hides the window, and the panel's menu is the program's, acting as it does.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <memory>

#include "support/E2E.h"
#include "support/TempHome.h"
#include "support/TrayHost.h"

namespace {
class TrayE2E : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (!display.ok() || !bus.ok()) GTEST_SKIP() << "no Xvfb or dbus-daemon";
    photos = SamplePhotoFolder(home.path());
    QDir().mkpath(home.path() + "/.config/Quillatorne");
    QFile f(settings());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(FolderSettings({photos}));
    f.close();
    program = std::make_unique<ProgramRun>(display, home);
    program->setEnv(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
  }
  QString settings() const { return home.path() + "/.config/Quillatorne/settings.reg"; }
  // The program's item, once the panel has it.
  QString Item() {
    QString found;
    WaitUntil(
        [&] {
          for (const QString& s : host.RegisteredStatusNotifierItems())
            if (host.ItemProperty(s, QStringLiteral("Id")).toString() == "quillatorne") found = s;
          return !found.isEmpty();
        },
        30000);
    return found;
  }

  XvfbDisplay display;
  SessionBus bus;
  TempHome home;
  TrayHost host{bus.address()};
  QString photos;
  std::unique_ptr<ProgramRun> program;
};

TEST_P(TrayE2E, ThePanelsClicksReachTheProgram) {
  const bool panelFirst = GetParam();
  if (panelFirst) {
    ASSERT_TRUE(host.Start());
  }
  ASSERT_TRUE(program->Start());
  if (!panelFirst) {
    ASSERT_TRUE(WaitUntil(
        [&] { return QFileInfo::exists(home.path() + "/run/quillatorne.socket"); }, 30000));
    ASSERT_TRUE(host.Start());
  }
  const QString item = Item();
  ASSERT_FALSE(item.isEmpty()) << qPrintable(program->stderrText());

  // A left click shows the window, the next one hides it.
  ASSERT_TRUE(host.Activate(item));
  EXPECT_TRUE(WaitUntil([&] { return WindowViewable(display.display(), "Quillatorne"); }, 20000));
  ASSERT_TRUE(host.Activate(item));
  EXPECT_TRUE(WaitUntil([&] { return !WindowViewable(display.display(), "Quillatorne"); }, 20000));

  const auto menu = host.Layout(item);
  ASSERT_TRUE(menu);
  QStringList labels;
  for (const DBusMenuLayoutItem& i : menu->children)
    if (i.properties.value("type").toString() != "separator")
      labels << i.properties.value("label").toString();
  EXPECT_EQ(labels,
            (QStringList{"Show Quillatorne", "Check e-mail", "Refresh wallpaper",
                         "Set random wallpaper", "Set next wallpaper", "Exit Quillatorne"}));
  EXPECT_EQ(host.ItemProperty(item, "ToolTip").isValid(), true);

  // "Set next wallpaper" from the panel installs another picture, and the file says so soon
  // after, without any "Hide".
  const QString before = SavedSetting(settings(), "LastImageFileName");
  const int next = TrayHost::IdOfLabel(*menu, "Set next wallpaper");
  ASSERT_GT(next, 0);
  ASSERT_TRUE(host.ClickMenuItem(item, next));
  QString after;
  EXPECT_TRUE(WaitUntil(
      [&] {
        after = SavedSetting(settings(), "LastImageFileName");
        return !after.isEmpty() && after != before;
      },
      30000))
      << qPrintable(program->stderrText());
  EXPECT_TRUE(after.startsWith(photos, Qt::CaseInsensitive)) << qPrintable(after);
  EXPECT_EQ(program->Terminate(), 0);
}

INSTANTIATE_TEST_SUITE_P(Panels, TrayE2E, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "PanelFirst" : "PanelLater"; });

TEST(TrayE2ENoTray, WithNoTrayAtAllTheProgramSaysHowToReachIt) {
  XvfbDisplay display;
  SessionBus bus;
  if (!display.ok() || !bus.ok()) GTEST_SKIP() << "no Xvfb or dbus-daemon";
  TempHome home;
  ProgramRun program(display, home);
  program.setEnv(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
  ASSERT_TRUE(program.Start());
  EXPECT_TRUE(program.WaitForStderr(QStringLiteral("quillatorne --show"), 60000))
      << qPrintable(program.stderrText());
  EXPECT_TRUE(program.running());
  EXPECT_EQ(program.Terminate(), 0);
}
}  // namespace
