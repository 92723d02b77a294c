#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include "platform/Autostart.h"
#include "support/TempHome.h"

namespace {
QByteArray Read(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(Autostart, TheEntryComesAndGoesInTheUsersAutostartFolder) {
  TempHome home;
  const QString entry = home.path() + "/.config/autostart/quillatorne.desktop";
  EXPECT_EQ(AutostartFilePath(), entry);
  EXPECT_FALSE(AutostartEnabled());

  QString error;
  ASSERT_TRUE(EnableAutostart("/usr/bin/quillatorne", &error)) << error.toStdString();
  EXPECT_TRUE(AutostartEnabled());
  const QByteArray text = Read(entry);
  EXPECT_TRUE(text.startsWith("[Desktop Entry]\n"));
  EXPECT_TRUE(text.contains("\nType=Application\n"));
  EXPECT_TRUE(text.contains("\nExec=/usr/bin/quillatorne\n")) << text.toStdString();

  ASSERT_TRUE(DisableAutostart(&error)) << error.toStdString();
  EXPECT_FALSE(QFileInfo::exists(entry));
  EXPECT_FALSE(AutostartEnabled());
  EXPECT_TRUE(DisableAutostart(&error));  // nothing there is what was asked for
}

TEST(Autostart, AnEntryTheDesktopWasToldToSkipDoesNotCount) {
  TempHome home;
  for (const char* off : {"Hidden=true", "X-GNOME-Autostart-enabled=false"}) {
    home.write(".config/autostart/quillatorne.desktop",
               QByteArray("[Desktop Entry]\nType=Application\nExec=quillatorne\n") + off + "\n");
    EXPECT_FALSE(AutostartEnabled()) << off;
  }
  // The same keys in another group say nothing about the entry.
  home.write(".config/autostart/quillatorne.desktop",
             "[Desktop Entry]\nExec=quillatorne\n\n[Desktop Action x]\nHidden=true\n");
  EXPECT_TRUE(AutostartEnabled());
  // Ticking the box again brings back an entry that starts the program.
  QString error;
  ASSERT_TRUE(EnableAutostart("/opt/q/quillatorne", &error));
  EXPECT_TRUE(AutostartEnabled());
}

TEST(Autostart, AFolderThatCannotBeWrittenIsReportedWithItsName) {
  TempHome home;
  home.write(".config/autostart", "a file where the folder belongs");
  QString error;
  EXPECT_FALSE(EnableAutostart("/usr/bin/quillatorne", &error));
  EXPECT_TRUE(error.contains(AutostartFilePath())) << error.toStdString();
}

struct ExecCase {
  const char* program;
  const char* exec;  // as it stands in the file
};
class DesktopExec : public ::testing::TestWithParam<ExecCase> {};

TEST_P(DesktopExec, QuotesAndEscapesAsDesktopEntriesRead) {
  EXPECT_EQ(DesktopExecArgument(QString::fromUtf8(GetParam().program)),
            QString::fromUtf8(GetParam().exec));
}

INSTANTIATE_TEST_SUITE_P(Programs, DesktopExec,
                         ::testing::Values(ExecCase{"/usr/bin/quillatorne", "/usr/bin/quillatorne"},
                                           ExecCase{"/home/ann/my apps/quillatorne",
                                                    "\"/home/ann/my apps/quillatorne\""},
                                           ExecCase{"/opt/$x/q\"t", "\"/opt/\\\\$x/q\\\\\"t\""},
                                           ExecCase{"/opt/100%/q", "/opt/100%%/q"},
                                           ExecCase{"/opt/caf\xc3\xa9/q", "/opt/caf\xc3\xa9/q"}));
}  // namespace
