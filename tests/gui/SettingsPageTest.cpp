#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSignalSpy>
#include <QVBoxLayout>

#include "pages/ItemEditors.h"
#include "pages/SettingsPage.h"
#include "support/Fakes.h"
#include "widgets/ColorCombo.h"
#include "widgets/FontCombo.h"

namespace {
// A page of one control of each bound kind, over a few wallpaper and calendar settings.
class SamplePage : public SettingsPage {
 public:
  SamplePage(Config& config, Services& services, StoreRule rule)
      : SettingsPage(config, services, nullptr, rule) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(show = new QCheckBox(QStringLiteral("Show"), this));
    rules = new QGroupBox(QStringLiteral("Rule"), this);
    auto* rulesLayout = new QVBoxLayout(rules);
    for (const char* item : {"Never", "Start-up", "Timed"})
      rulesLayout->addWidget(new QRadioButton(QString::fromLatin1(item), rules));
    layout->addWidget(rules);
    layout->addWidget(delay = new QComboBox(this));
    for (int i = 0; i < kChangeDelayCount; ++i) delay->addItem(QString::number(i));
    layout->addWidget(colour = new ColorCombo(this));
    layout->addWidget(font = new FontCombo(this));
    Bind(show, config.WallpaperConfig.ShowImage);
    BindRadioGroup(rules, config.WallpaperConfig.ChangeRule);
    Bind(delay, config.WallpaperConfig.ChangeDelay);
    Bind(colour, config.WallpaperConfig.BackgroundColor);
    Bind(font, config.CalendarConfig.Font);
  }
  QRadioButton* rule(int i) const { return rules->findChildren<QRadioButton*>().at(i); }

  QCheckBox* show;
  QGroupBox* rules;
  QComboBox* delay;
  ColorCombo* colour;
  FontCombo* font;
};

class SettingsPageTest : public ::testing::TestWithParam<SettingsPage::StoreRule> {
 protected:
  void SetUp() override {
    config.WallpaperConfig.ShowImage = true;
    config.WallpaperConfig.ChangeRule = WallpaperChangeRule::RandomByTime;
    config.WallpaperConfig.ChangeDelay = 10;
    config.WallpaperConfig.BackgroundColor = 0x123456;
    config.CalendarConfig.Font = QStringLiteral("DejaVu Serif");
    page = std::make_unique<SamplePage>(config, fake.services, GetParam());
    page->LoadFromConfig();
  }
  FakeServices fake;
  Config config;
  std::unique_ptr<SamplePage> page;
};

TEST_P(SettingsPageTest, LoadShowsEverySettingAndEmitsNoChange) {
  QSignalSpy changed(page.get(), &SettingsPage::settingsChanged);
  config.WallpaperConfig.ShowImage = false;
  config.WallpaperConfig.ChangeRule = WallpaperChangeRule::Never;
  config.WallpaperConfig.ChangeDelay = 3;
  config.WallpaperConfig.BackgroundColor = 0x00FFFF;
  config.CalendarConfig.Font = QStringLiteral("DejaVu Sans");
  page->LoadFromConfig();
  EXPECT_FALSE(page->show->isChecked());
  EXPECT_TRUE(page->rule(0)->isChecked());
  EXPECT_EQ(page->delay->currentIndex(), 3);
  EXPECT_EQ(page->colour->currentText(), QStringLiteral("Yellow"));
  EXPECT_EQ(page->font->face(), QStringLiteral("DejaVu Sans"));
  EXPECT_EQ(changed.count(), 0);
  EXPECT_EQ(config.WallpaperConfig.ChangeRule, WallpaperChangeRule::Never);
  EXPECT_EQ(config.WallpaperConfig.ChangeDelay, 3);
}

TEST_P(SettingsPageTest, AChangeWritesThroughAtOnce) {
  QSignalSpy changed(page.get(), &SettingsPage::settingsChanged);
  page->rule(1)->click();
  EXPECT_EQ(config.WallpaperConfig.ChangeRule, WallpaperChangeRule::RandomOnStartup);
  page->delay->setCurrentIndex(0);
  EXPECT_EQ(config.WallpaperConfig.ChangeDelay, 0);
  page->show->click();
  EXPECT_FALSE(config.WallpaperConfig.ShowImage);
  EXPECT_EQ(changed.count(), 3);
}

TEST_P(SettingsPageTest, OnlyAnAllAtOncePageCopiesTheControlsThatDidNotChange) {
  // A setting changed elsewhere since the page was filled.
  config.WallpaperConfig.BackgroundColor = 0xFFFFFF;
  page->show->click();
  const bool allAtOnce = GetParam() == SettingsPage::StoreRule::AllAtOnce;
  EXPECT_EQ(config.WallpaperConfig.BackgroundColor, allAtOnce ? 0x123456u : 0xFFFFFFu);
}

TEST_P(SettingsPageTest, AnIndexNoItemStandsForChoosesNoneAndStoresNothingInItsPlace) {
  config.WallpaperConfig.ChangeRule = static_cast<WallpaperChangeRule>(7);
  config.WallpaperConfig.ChangeDelay = 40;
  page->LoadFromConfig();
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(page->rule(i)->isChecked());
  EXPECT_EQ(page->delay->currentIndex(), -1);
  page->show->click();
  EXPECT_EQ(config.WallpaperConfig.ChangeRule, static_cast<WallpaperChangeRule>(7));
  EXPECT_EQ(config.WallpaperConfig.ChangeDelay, 40);
}

INSTANTIATE_TEST_SUITE_P(BothRules, SettingsPageTest,
                         ::testing::Values(SettingsPage::StoreRule::EachControl,
                                           SettingsPage::StoreRule::AllAtOnce),
                         [](const auto& info) {
                           return info.param == SettingsPage::StoreRule::AllAtOnce
                                      ? std::string("AllAtOnce")
                                      : std::string("EachControl");
                         });
}  // namespace

namespace {
// A list page over the popup reminders: a list of names and two editors of the selected one.
class SampleListPage : public SettingsPage {
 public:
  using Editors = ItemEditors<PopupReminder>;
  using SettingsPage::SelectRow;
  SampleListPage(Config& config, Services& services, Editors::Writes writes)
      : SettingsPage(config, services),
        editors(
            this, [this] { return Selected(); }, writes) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list = new QListWidget(this));
    layout->addWidget(name = new QLineEdit(this));
    layout->addWidget(recur = new QComboBox(this));
    for (const char* item : {"None", "Daily", "Weekly", "Monthly", "Yearly"})
      recur->addItem(QString::fromLatin1(item));
    editors.Bind(name, &PopupReminder::Name);
    editors.Bind(recur, &PopupReminder::Recur);
    connect(list, &QListWidget::currentRowChanged, this, [this] {
      if (!loading()) editors.Fill();
    });
  }
  void LoadFromConfig() override {
    SettingsPage::LoadFromConfig();
    {
      LoadGuard guard(this);
      list->clear();
      for (const PopupReminder& r : config.RemindersConfig.Reminders) list->addItem(r.Name);
    }
    SelectRow(list, 0);
    editors.Fill();
  }
  void Remove(int row) {
    config.RemindersConfig.Reminders.removeAt(row);
    {
      LoadGuard guard(this);
      delete list->takeItem(row);
    }
    SelectNeighbour(list, row);
    editors.Fill();
  }
  PopupReminder* Selected() {
    const int row = list->currentRow();
    return row >= 0 ? &config.RemindersConfig.Reminders[row] : nullptr;
  }

  QListWidget* list;
  QLineEdit* name;
  QComboBox* recur;
  Editors editors;
};

class ItemEditorsTest : public ::testing::TestWithParam<SampleListPage::Editors::Writes> {
 protected:
  void SetUp() override {
    for (const char* n : {"A", "B", "C"}) {
      PopupReminder r;
      r.Name = QString::fromLatin1(n);
      config.RemindersConfig.Reminders << r;
    }
    config.RemindersConfig.Reminders[1].Recur = Recurrence::Weekly;
    page = std::make_unique<SampleListPage>(config, fake.services, GetParam());
    page->LoadFromConfig();
  }
  bool AtOnce() const { return GetParam() == SampleListPage::Editors::Writes::AtOnce; }
  QStringList Names() const {
    QStringList out;
    for (const PopupReminder& r : config.RemindersConfig.Reminders) out << r.Name;
    return out;
  }
  FakeServices fake;
  Config config;
  std::unique_ptr<SampleListPage> page;
};

TEST_P(ItemEditorsTest, SelectingFillsTheEditorsAndWritesNothing) {
  QSignalSpy changes(page.get(), &SettingsPage::settingsChanged);
  const QList<PopupReminder> before = config.RemindersConfig.Reminders;
  EXPECT_EQ(page->name->text(), "A");
  page->list->setCurrentRow(1);
  EXPECT_EQ(page->name->text(), "B");
  EXPECT_EQ(page->recur->currentText(), "Weekly");
  EXPECT_EQ(changes.count(), 0);
  EXPECT_EQ(Names(), (QStringList{"A", "B", "C"}));
  EXPECT_EQ(config.RemindersConfig.Reminders[0].Recur, Recurrence::None);
  EXPECT_TRUE(page->editors.ShowsSelected());
}

TEST_P(ItemEditorsTest, AnEditGoesIntoEveryMemberOfTheSelectedItemAtOnceOrWhenAsked) {
  QSignalSpy changes(page.get(), &SettingsPage::settingsChanged);
  page->list->setCurrentRow(2);
  page->name->setText("Tea");
  page->recur->setCurrentIndex(4);
  const QStringList written{"A", "B", "Tea"}, unwritten{"A", "B", "C"};
  EXPECT_EQ(Names(), AtOnce() ? written : unwritten);
  EXPECT_EQ(changes.count(), AtOnce() ? 2 : 0);
  ASSERT_TRUE(page->editors.Store());
  EXPECT_EQ(Names(), written);
  EXPECT_EQ(config.RemindersConfig.Reminders[2].Recur, Recurrence::Yearly);
  EXPECT_EQ(config.RemindersConfig.Reminders[1].Recur, Recurrence::Weekly);
  // The item changed elsewhere: the editors no longer show what it holds.
  EXPECT_TRUE(page->editors.ShowsSelected());
  config.RemindersConfig.Reminders[2].Name = "Coffee";
  EXPECT_FALSE(page->editors.ShowsSelected());
}

TEST_P(ItemEditorsTest, WithNothingSelectedTheEditorsAreBlankAndWriteNothing) {
  page->SelectRow(page->list, -1);
  page->editors.Fill();
  EXPECT_EQ(page->name->text(), "");
  EXPECT_EQ(page->recur->currentIndex(), -1);
  page->name->setText("Tea");
  EXPECT_FALSE(page->editors.Store());
  EXPECT_EQ(Names(), (QStringList{"A", "B", "C"}));
}

TEST_P(ItemEditorsTest, ARemovalSelectsTheNeighbourAfterElseBeforeElseNone) {
  struct Step {
    int removed;
    QString selectedAfter;  // empty: none
  };
  // A B C: remove B -> C takes its place; remove C (the last) -> A; remove A -> none.
  for (const Step& s : {Step{1, "C"}, Step{1, "A"}, Step{0, ""}}) {
    page->list->setCurrentRow(s.removed);
    page->Remove(s.removed);
    const QListWidgetItem* current = page->list->currentItem();
    EXPECT_EQ(current ? current->text() : QString(), s.selectedAfter);
    EXPECT_EQ(page->name->text(), s.selectedAfter);
  }
}

INSTANTIATE_TEST_SUITE_P(Writes, ItemEditorsTest,
                         ::testing::Values(SampleListPage::Editors::Writes::AtOnce,
                                           SampleListPage::Editors::Writes::WhenAsked),
                         [](const auto& info) {
                           return info.param == SampleListPage::Editors::Writes::AtOnce
                                      ? "AtOnce"
                                      : "WhenAsked";
                         });
}  // namespace
