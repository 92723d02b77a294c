// The Agenda page: the list of calendars, the selected calendar's editors, Add and Remove,
// used with the keyboard as a user would, and the fetch it asks for once typing pauses.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "pages/TFrameAgenda.h"
#include "settings/Config.h"
#include "support/FakeKeyring.h"
#include "support/Fakes.h"

namespace {
AgendaCalendar Calendar(const QString& url, bool enabled = true) {
  AgendaCalendar c;
  c.URL = url;
  c.User = QStringLiteral("ann");
  c.Password = QStringLiteral("pw-") + url.right(1);
  c.Enabled = enabled;
  return c;
}

class AgendaPage : public ::testing::Test {
 protected:
  void SetUp() override { fake.config = Config(QSize(1024, 768)); }
  TFrameAgenda& Page() {
    if (!page_) {
      page_ = std::make_unique<TFrameAgenda>(fake.config, fake.services);
      page_->show();
      page_->activateWindow();
      EXPECT_TRUE(QTest::qWaitForWindowActive(page_.get()));
    }
    return *page_;
  }
  QStringList Lines() {
    QStringList lines;
    for (int i = 0; i < Page().List_Calendars->count(); ++i)
      lines << Page().List_Calendars->item(i)->text();
    return lines;
  }
  // What the editors show, in one line: source, user, password, switched on, alarms.
  QString Editors() {
    TFrameAgenda& p = Page();
    return QStringList{p.Edit_URL->text(), p.Edit_User->text(), p.Edit_Password->text(),
                       p.Check_Enabled->isChecked() ? "on" : "off",
                       p.Check_Alarms->isChecked() ? "alarms" : "-"}
        .join('|');
  }
  void Type(QWidget* w, const QString& text) {
    for (QChar c : text) QTest::keyClick(w, c.toLatin1());
  }

  FakeServices fake;
  std::unique_ptr<TFrameAgenda> page_;
};

TEST_F(AgendaPage, ShowsTheCalendarsAndEditsOnlyTheSelectedOne) {
  fake.config.AgendaConfig.Calendars = {Calendar("/home/ann/work.ics"),
                                        Calendar("https://dav.example/ann/home/", false)};
  TFrameAgenda& p = Page();
  EXPECT_EQ(Lines(), (QStringList{"/home/ann/work.ics", "https://dav.example/ann/home/ (off)"}));
  EXPECT_EQ(p.List_Calendars->currentRow(), 0);
  EXPECT_EQ(Editors(), QStringLiteral("/home/ann/work.ics|ann|pw-s|on|-"));

  p.List_Calendars->setCurrentRow(1);
  EXPECT_EQ(Editors(), QStringLiteral("https://dav.example/ann/home/|ann|pw-/|off|-"));
  // Switching the calendar on and its alarms too changes it, and its line, and nothing else.
  QTest::mouseClick(p.Check_Enabled, Qt::LeftButton);
  QTest::mouseClick(p.Check_Alarms, Qt::LeftButton);
  p.Edit_User->setFocus();
  p.Edit_User->selectAll();
  Type(p.Edit_User, "bob");
  const auto& calendars = fake.config.AgendaConfig.Calendars;
  EXPECT_TRUE(calendars[1].Enabled);
  EXPECT_TRUE(calendars[1].Alarms);
  EXPECT_EQ(calendars[1].User, QStringLiteral("bob"));
  EXPECT_EQ(Lines()[1], QStringLiteral("https://dav.example/ann/home/"));
  EXPECT_EQ(calendars[0].User, QStringLiteral("ann"));
  EXPECT_FALSE(calendars[0].Alarms);

  // Back on the first: its own values, untouched by what was typed for the second.
  p.List_Calendars->setCurrentRow(0);
  EXPECT_EQ(Editors(), QStringLiteral("/home/ann/work.ics|ann|pw-s|on|-"));
}

TEST_F(AgendaPage, AddWithTheKeyboardTypesIntoTheNewCalendar) {
  TFrameAgenda& p = Page();
  EXPECT_FALSE(p.Button_Remove->isEnabled());
  EXPECT_FALSE(p.Edit_URL->isEnabled());
  // From the list, Tab reaches Add and Space presses it; the source takes the keyboard, and
  // Tab goes on to the user and the password.
  p.List_Calendars->setFocus();
  QTest::keyClick(p.List_Calendars, Qt::Key_Tab);
  ASSERT_EQ(QApplication::focusWidget(), p.Button_Add);
  QTest::keyClick(p.Button_Add, Qt::Key_Space);
  ASSERT_EQ(fake.config.AgendaConfig.Calendars.size(), 1);
  EXPECT_TRUE(p.Edit_URL->hasFocus());
  Type(p.Edit_URL, "  https://cal.example/a.ics ");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  ASSERT_EQ(QApplication::focusWidget(), p.Edit_User);
  Type(p.Edit_User, "ann");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  ASSERT_EQ(QApplication::focusWidget(), p.Edit_Password);
  Type(p.Edit_Password, "secret");

  const AgendaCalendar& c = fake.config.AgendaConfig.Calendars[0];
  // Spaces around a pasted address are no part of it.
  EXPECT_EQ(c.URL, QStringLiteral("https://cal.example/a.ics"));
  EXPECT_EQ(c.User, QStringLiteral("ann"));
  EXPECT_EQ(c.Password, QStringLiteral("secret"));
  EXPECT_TRUE(c.Enabled);
  EXPECT_EQ(Lines(), QStringList{"https://cal.example/a.ics"});
  EXPECT_TRUE(p.Button_Remove->isEnabled());
}

TEST_F(AgendaPage, RemoveSelectsTheNeighbourAndTheLastLeavesBlankEditors) {
  fake.config.AgendaConfig.Calendars = {Calendar("/a"), Calendar("/b"), Calendar("/c")};
  TFrameAgenda& p = Page();
  p.List_Calendars->setCurrentRow(1);
  QTest::mouseClick(p.Button_Remove, Qt::LeftButton);
  EXPECT_EQ(Lines(), (QStringList{"/a", "/c"}));
  EXPECT_EQ(p.List_Calendars->currentRow(), 1);  // the one after
  EXPECT_EQ(p.Edit_URL->text(), QStringLiteral("/c"));
  QTest::mouseClick(p.Button_Remove, Qt::LeftButton);
  EXPECT_EQ(p.List_Calendars->currentRow(), 0);  // none after: the one before
  EXPECT_EQ(p.Edit_URL->text(), QStringLiteral("/a"));
  QTest::mouseClick(p.Button_Remove, Qt::LeftButton);
  EXPECT_TRUE(fake.config.AgendaConfig.Calendars.isEmpty());
  EXPECT_EQ(Editors(), QStringLiteral("|||off|-"));
  EXPECT_FALSE(p.Edit_URL->isEnabled());
  EXPECT_FALSE(p.Button_Remove->isEnabled());
}

// At start-up the page is filled before the keyring has answered: the password shows when it
// arrives, and an edit made meanwhile does not write the empty one over it.
TEST_F(AgendaPage, APasswordFromTheKeyringShowsWhenItArrives) {
  FakeKeyring keyring;
  keyring.entries.insert(QStringLiteral("calendar one"), QStringLiteral("from-keyring"));
  fake.services.keyring = &keyring;
  fake.NewRun();
  AgendaCalendar c = Calendar("/a");
  c.Password.clear();
  c.PasswordKey = QStringLiteral("calendar one");
  fake.config.AgendaConfig.Calendars = {c, Calendar("/b")};
  TFrameAgenda& p = Page();
  EXPECT_EQ(p.Label_PasswordStorage->text(), "Passwords are kept in the desktop's keyring.");
  fake.passwords->Fetch(fake.config);
  EXPECT_TRUE(fake.passwords->Pending());
  p.Check_Alarms->click();
  EXPECT_TRUE(p.Edit_Password->text().isEmpty());
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  ASSERT_FALSE(fake.passwords->Pending());
  EXPECT_EQ(p.Edit_Password->text(), QStringLiteral("from-keyring"));
  EXPECT_EQ(fake.config.AgendaConfig.Calendars[0].Password, QStringLiteral("from-keyring"));
  EXPECT_TRUE(fake.config.AgendaConfig.Calendars[0].Alarms);
  fake.services.keyring = nullptr;
  fake.NewRun();
}

TEST_F(AgendaPage, TypingAsksForOneFetchOnceItPauses) {
  fake.config.AgendaConfig.Calendars = {Calendar("/a")};
  TFrameAgenda& p = Page();
  QSignalSpy fetches(&p, &TFrameAgenda::refreshRequested);
  p.Edit_URL->setFocus();
  p.Edit_URL->selectAll();
  Type(p.Edit_URL, "/home/ann/b.ics");
  EXPECT_EQ(fetches.count(), 0) << "a fetch for every key typed";
  EXPECT_TRUE(fetches.wait(5000));
  QTest::qWait(300);
  EXPECT_EQ(fetches.count(), 1);
  // Refresh asks at once.
  QTest::mouseClick(p.Button_Refresh, Qt::LeftButton);
  EXPECT_EQ(fetches.count(), 2);
}
}  // namespace
