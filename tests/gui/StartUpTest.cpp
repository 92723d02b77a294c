#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "MainWindowFixture.h"
#include "platform/DesktopTrayIcon.h"
#include "platform/RegistryFile.h"

namespace {
// The main window as the program starts it; each test sets up the settings first.
class StartUpTest : public MainWindowTest {
 protected:
  void SetUp() override { fake.config = Config(fake.desktop.screen); }

  // Rule 1 on a folder holding only an empty picture: the start-up wallpaper fails.
  void SaveRuleOneWithABadPicture() {
    ASSERT_TRUE(pictures.isValid());
    QFile empty(pictures.filePath(QStringLiteral("x.jpg")));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    fake.config.WallpaperConfig.Paths = {pictures.path()};
    fake.config.WallpaperConfig.ChangeRule = WallpaperChangeRule::RandomOnStartup;
    store.Open(registry);
    store.Save();
    fake.config = Config(fake.desktop.screen);
  }

  void Start(IRegistryBackend& backend) {
    store.Open(backend);
    form = std::make_unique<TFormMain>(fake.config, fake.services, store.get());
    auto count = [this] { ++stepsRun; };
    auto& s = form->scheduler().steps;
    s.StartMailCheck = s.CheckPopupReminders = s.CheckTimedChange = s.CheckDayChange = count;
  }

  QTemporaryDir pictures;
  int stepsRun = 0;
};

TEST_F(StartUpTest, TheStartUpErrorBoxComesWithTheTrayIconAndTimersUpAndTheTickGoesOn) {
  SaveRuleOneWithABadPicture();
  Start(registry);
  EXPECT_TRUE(fake.messages.calls.isEmpty()) << "no box while the window is being built";

  bool timersUp = false, hidden = false, trayAsked = false;
  fake.messages.answer = [&](const FakeMessageBoxes::Call&) {
    timersUp = form->TimerIDLE->isActive();
    hidden = !fake.config.DynamicConfig.WindowVisible;
    // Offscreen there is no tray: the icon waits for one instead of being shown.
    trayAsked = form->TrayIcon->isVisible() || form->waitingForTray();
    form->TimerIDLETimer();  // the box's own loop keeps the tick going
    return IDOK;
  };
  form->Timer_MinimizeTimer();  // the event loop's first moment

  ASSERT_EQ(fake.messages.calls.size(), 1);
  EXPECT_EQ(fake.messages.calls[0].flags & 0xF0, unsigned(MB_ICONERROR));
  EXPECT_TRUE(timersUp);
  EXPECT_TRUE(hidden);
  EXPECT_TRUE(trayAsked);
  EXPECT_EQ(stepsRun, 4);
  EXPECT_TRUE(fake.desktop.installed.isEmpty());
}

// An unreadable settings file was kept aside; the start-up wallpaper also fails. The notice
// follows the error box, unless the program was told to end while that box was open.
struct NoticeCase {
  const char* name;
  bool endedDuringTheErrorBox;
  int boxes;
};
void PrintTo(const NoticeCase& c, std::ostream* os) { *os << c.name; }

class SettingsNoticeAfterErrorBox : public StartUpTest,
                                    public ::testing::WithParamInterface<NoticeCase> {};

TEST_P(SettingsNoticeAfterErrorBox, FollowsTheErrorBoxOnlyWhileTheProgramRuns) {
  SaveRuleOneWithABadPicture();
  registry.keptAside =
      QStringLiteral("/home/ann/.config/Quillatorne/settings.reg.bad-20261210-0417");
  Start(registry);
  const int savesBefore = registry.saves;
  fake.messages.answer = [&](const FakeMessageBoxes::Call&) {
    // SIGTERM reaches the window as a close.
    if (GetParam().endedDuringTheErrorBox && fake.messages.calls.size() == 1) form->Exit();
    return IDOK;
  };
  form->Timer_MinimizeTimer();

  ASSERT_EQ(fake.messages.calls.size(), GetParam().boxes);
  EXPECT_EQ(fake.messages.calls[0].flags & 0xF0, unsigned(MB_ICONERROR));
  if (GetParam().boxes == 2) {
    EXPECT_TRUE(fake.messages.calls[1].text.contains(registry.keptAside));
  }
  EXPECT_EQ(registry.saves, savesBefore + (GetParam().endedDuringTheErrorBox ? 1 : 0));
}

INSTANTIATE_TEST_SUITE_P(Cases, SettingsNoticeAfterErrorBox,
                         ::testing::Values(NoticeCase{"Running", false, 2},
                                           NoticeCase{"EndedMeanwhile", true, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StartUpTest, AnUnreadableSettingsFileIsNamedOnceAfterStartUp) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString name = dir.filePath(QStringLiteral("settings.reg"));
  QFile bad(name);
  ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
  bad.write("\x01\x02 this is no registry export\n[broken");
  bad.close();
  RegistryFile file(name);
  ASSERT_FALSE(file.movedAsideTo().isEmpty());

  Start(file);
  EXPECT_TRUE(fake.messages.calls.isEmpty()) << "told only after start-up";
  form->Timer_MinimizeTimer();
  form->TimerIDLETimer();
  form->ShowFromOutside();
  form->TimerIDLETimer();

  ASSERT_EQ(fake.messages.calls.size(), 1);
  const auto& box = fake.messages.calls[0];
  EXPECT_EQ(box.caption, QStringLiteral("Quillatorne"));
  EXPECT_EQ(box.flags, unsigned(MB_OK | MB_ICONWARNING));
  EXPECT_TRUE(box.text.contains(file.movedAsideTo())) << box.text.toStdString();
  EXPECT_TRUE(box.text.contains(QStringLiteral("default settings are in use")))
      << box.text.toStdString();
  EXPECT_TRUE(QFile::exists(file.movedAsideTo()));

  form.reset();  // before the file store goes
}

TEST_F(StartUpTest, AReadableSettingsFileBringsNoNotice) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  RegistryFile file(dir.filePath(QStringLiteral("settings.reg")));  // none yet: a first run
  Start(file);
  form->Timer_MinimizeTimer();
  EXPECT_TRUE(fake.messages.calls.isEmpty());
  form.reset();
}
}  // namespace
