#pragma once
// A main window on fake machine services and an in-memory settings store, brought to the
// state it has after start-up (hidden, timers stopped so the tests drive it).
#include <gtest/gtest.h>

#include <QMap>
#include <QWidget>
#include <memory>
#include <ostream>

#include "PrintQt.h"
#include "app/TFormMain.h"
#include "pages/SettingsPage.h"
#include "platform/Registry.h"
#include "reminders/ReminderSelector.h"
#include "settings/Config.h"
#include "settings/ConfigStore.h"
#include "support/Fakes.h"

// Keeps values in memory and counts the saves reaching it.
class MemoryRegistry : public IRegistryBackend {
 public:
  int saves = 0;
  QString keptAside;  // as if an unreadable file had been moved there on opening
  QString movedAsideTo() const override { return keptAside; }
  bool KeyExists(const QString& key) const override { return keys_.contains(key.toLower()); }
  bool CreateKey(const QString& key) override {
    keys_[key.toLower()];
    return true;
  }
  std::optional<RegValue> QueryValue(const QString& key, const QString& name) const override {
    const auto k = keys_.find(key.toLower());
    if (k == keys_.end() || !k->contains(name.toLower())) return std::nullopt;
    return k->value(name.toLower());
  }
  bool SetValue(const QString& key, const QString& name, const RegValue& value) override {
    keys_[key.toLower()][name.toLower()] = value;
    return true;
  }
  bool EndUpdate() override {
    ++saves;
    return true;
  }

 private:
  QMap<QString, QMap<QString, RegValue>> keys_;
};

// A page that counts how often it was filled from the settings.
class CountingPage : public SettingsPage {
 public:
  CountingPage(Config& config, Services& services) : SettingsPage(config, services) {}
  int loads = 0;
  void LoadFromConfig() override { ++loads; }
};

class FakeReminderPage : public IReminderSelector {
 public:
  int loads = 0;
  int selected = -1;
  void LoadFromConfig() override { ++loads; }
  void SelectReminder(int index) override { selected = index; }
};

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake.config = Config(fake.desktop.screen);
    store.Open(registry);
    form = std::make_unique<TFormMain>(fake.config, fake.services, store.get());
    form->TimerIDLE->stop();
    form->TimerEXIT->stop();
    form->Timer_MinimizeTimer();  // start-up hides the window
    savesAtStart = registry.saves;
  }
  void TearDown() override { form.reset(); }

  // Installs a counting page in every slot the side bar can select.
  QMap<int, CountingPage*> FillSlots() {
    QMap<int, CountingPage*> pages;
    for (int slot : {0, 1, 5, 6, 7, 10, 11, 15, 16, 17, 20, 25}) {
      auto* page = new CountingPage(fake.config, fake.services);
      form->SetPage(slot, page);
      pages[slot] = page;
    }
    return pages;
  }

  FakeServices fake;
  MemoryRegistry registry;
  FakeMainStore store{fake};
  std::unique_ptr<TFormMain> form;
  int savesAtStart = 0;
};
