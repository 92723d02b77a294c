#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QSignalSpy>
#include <QVBoxLayout>

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
