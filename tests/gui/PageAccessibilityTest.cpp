// Every page of the window, walked as assistive technology and the keyboard see it.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QTextEdit>

#include "MainWindowFixture.h"
#include "pages/PageTable.h"
#include "widgets/ElSideBar.h"

namespace {
bool ActsOnIt(QWidget* w) {
  return qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) ||
         qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractSpinBox*>(w) ||
         qobject_cast<QAbstractItemView*>(w) || qobject_cast<QAbstractSlider*>(w) ||
         qobject_cast<QTextEdit*>(w);
}

// The controls of the page a user can act on, in the order they were made.
QList<QWidget*> Controls(QWidget* page) {
  QList<QWidget*> controls;
  for (QWidget* w : page->findChildren<QWidget*>()) {
    // A combo box's or spin box's own line edit and a scroll area's bars belong to their
    // owner, which carries the name.
    if (qobject_cast<QComboBox*>(w->parentWidget()) ||
        qobject_cast<QAbstractSpinBox*>(w->parentWidget()))
      continue;
    if (qobject_cast<QAbstractSlider*>(w) &&
        qobject_cast<QAbstractScrollArea*>(w->parentWidget() ? w->parentWidget()->parentWidget()
                                                             : nullptr))
      continue;
    if (ActsOnIt(w) && w->isVisibleTo(page) && w->isEnabled()) controls << w;
  }
  return controls;
}

// What assistive technology announces for the control. On Linux a combo box's name is its
// current value, so its label comes through the labelled-by relation instead.
QString AnnouncedName(QWidget* w) {
  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
  if (!a) return QString();
  if (!qobject_cast<QComboBox*>(w)) return a->text(QAccessible::Name).trimmed();
  if (!w->accessibleName().trimmed().isEmpty()) return w->accessibleName().trimmed();
  for (const auto& relation : a->relations(QAccessible::Label)) {
    const QString label = relation.first->text(QAccessible::Name).trimmed();
    if (!label.isEmpty()) return label;
  }
  return QString();
}

std::string Describe(QWidget* w) {
  return (w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                    : w->objectName())
      .toStdString();
}

class PageAccessibilityTest : public MainWindowTest, public ::testing::WithParamInterface<int> {
 protected:
  QWidget* ShowPage(int slot) {
    QCoreApplication::sendPostedEvents();  // what the event loop does first
    form->ToggleMainWindow();
    form->SelectSlot(slot);
    QWidget* page = form->Page(slot);
    QApplication::setActiveWindow(form.get());
    return page;
  }
};

TEST_P(PageAccessibilityTest, EveryControlHasAName) {
  QWidget* page = ShowPage(GetParam());
  ASSERT_NE(page, nullptr);
  const QList<QWidget*> controls = Controls(page);
  ASSERT_FALSE(controls.isEmpty());
  for (QWidget* w : controls)
    EXPECT_FALSE(AnnouncedName(w).isEmpty()) << Describe(w) << " has no name";
}

TEST(AnnouncedNameTest, AControlWithoutLabelOrNameHasNone) {
  QWidget page;
  auto* combo = new QComboBox(&page);
  combo->addItem(QStringLiteral("Red"));
  auto* edit = new QLineEdit(&page);
  EXPECT_TRUE(AnnouncedName(combo).isEmpty());
  EXPECT_TRUE(AnnouncedName(edit).isEmpty());
  auto* label = new QLabel(QStringLiteral("&Colour"), &page);
  label->setBuddy(combo);
  EXPECT_FALSE(AnnouncedName(combo).isEmpty());
}

TEST_P(PageAccessibilityTest, TheTabKeyReachesEveryControl) {
  QWidget* page = ShowPage(GetParam());
  ASSERT_NE(page, nullptr);
  const QList<QWidget*> controls = Controls(page);
  ASSERT_FALSE(controls.isEmpty());
  controls.first()->setFocus(Qt::TabFocusReason);
  QList<QWidget*> reached;
  for (int i = 0; i < 4 * controls.size() + 8; ++i) {
    QWidget* focus = QApplication::focusWidget();
    if (!focus) break;
    if (page->isAncestorOf(focus) && !reached.contains(focus)) reached << focus;
    QTest::keyClick(focus, Qt::Key_Tab);
  }
  for (QWidget* w : controls) {
    // Tab stops once in a group of radio buttons; the arrow keys move inside it.
    if (auto* radio = qobject_cast<QRadioButton*>(w); radio && radio->autoExclusive()) {
      const auto group = radio->parentWidget()->findChildren<QRadioButton*>();
      EXPECT_TRUE(std::any_of(group.begin(), group.end(),
                              [&](QRadioButton* r) { return reached.contains(r); }))
          << "no button of " << Describe(radio->parentWidget()) << " is reached with Tab";
      continue;
    }
    EXPECT_TRUE(reached.contains(w) || reached.contains(w->focusProxy()))
        << Describe(w) << " is not reached with Tab";
  }
}

std::vector<int> BuiltPages() {
  std::vector<int> built;
  for (const PageEntry& p : Pages())
    if (p.create) built.push_back(p.slot());
  return built;
}

INSTANTIATE_TEST_SUITE_P(AllPages, PageAccessibilityTest, ::testing::ValuesIn(BuiltPages()),
                         [](const auto& info) { return "Slot" + std::to_string(info.param); });

TEST_F(MainWindowTest, ShowCalendarAndShowImageStayInStepBetweenThePages) {
  form->ToggleMainWindow();
  auto* program = form->Page(kProgramOptionsPage);
  auto* calendar = form->Page(kCalendarOptionsPage);
  auto* rules = form->Page(kRulesPage);
  ASSERT_TRUE(program && calendar && rules);
  auto box = [](QWidget* page, const char* name) {
    return page->findChild<QAbstractButton*>(QString::fromLatin1(name));
  };
  form->SideBar->sectionButton(4)->click();  // Options: Application
  ASSERT_TRUE(box(program, "Check_ShowCalendar")->isChecked());
  box(program, "Check_ShowCalendar")->click();
  box(program, "Check_ShowImage")->click();

  form->SideBar->sectionButton(1)->click();
  form->SideBar->itemButton(1, 1)->click();  // Calendar: Options
  EXPECT_FALSE(box(calendar, "Check_ShowCalendar")->isChecked());
  box(calendar, "Check_ShowCalendar")->click();
  form->SideBar->sectionButton(0)->click();
  form->SideBar->itemButton(0, 1)->click();  // Wallpaper: Rules
  EXPECT_FALSE(box(rules, "Check_ShowImage")->isChecked());
  box(rules, "Check_ShowImage")->click();

  form->SideBar->sectionButton(4)->click();
  EXPECT_TRUE(box(program, "Check_ShowCalendar")->isChecked());
  EXPECT_TRUE(box(program, "Check_ShowImage")->isChecked());
  EXPECT_TRUE(fake.config.CalendarConfig.ShowCalendar);
  EXPECT_TRUE(fake.config.WallpaperConfig.ShowImage);
}
}  // namespace
