#pragma once
// The base of every page of the settings window.
//
// Writing a page:
//  1. A Designer form, src/pages/TFrameName.ui, whose object names are the controls' names
//     (Check_ShowImage, Combo_Time, ...); colour, font and file-name controls are promoted
//     to ColorCombo, FontCombo and FileNameEdit from src/widgets/. Give every combo, list
//     and edit a label with a buddy (or an accessibleName) and keep the tab order; the base
//     names each labelled control after its label once the page is constructed.
//  2. A class deriving from SettingsPage that sets the form up in its constructor and lists
//     its bindings, one line per setting:
//         Bind(ui.Check_ShowImage, config.WallpaperConfig.ShowImage);
//         BindRadioGroup(ui.RG_ChangingRule, config.WallpaperConfig.ChangeRule);
//     LoadFromConfig() then fills every bound control with its signals blocked, so a load
//     never writes a setting, and a user's change writes through at once. Option pages pass
//     StoreRule::AllAtOnce: any change copies every bound control into the settings,
//     whichever changed. A page with more to show overrides LoadFromConfig(), calls the
//     base, and fills the rest inside a LoadGuard.
//  3. A list page (a list of items, and editors for the selected one) keeps an ItemEditors
//     (pages/ItemEditors.h) and binds each editor to a member of the item, one line each:
//         editors_.Bind(ui.Edit_Name, &PopupReminder::Name);
//     It says which item is selected; Fill() shows it, and edits are written into it at
//     once or when the page asks (a Save button). SelectRow and SelectNeighbour move a
//     list's selection as the page's own doing, never taken for the user's choice.
//  4. An entry in the page table (pages/PageTable.cpp): side-bar section and item, caption
//     line, picture, when it is refreshed, and the line that creates it.
// Pages change only the settings record; the main window saves it.
#include <QList>
#include <QWidget>
#include <functional>
#include <type_traits>

#include "settings/Config.h"

struct Services;
class QAbstractButton;
class QAbstractSlider;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QSpinBox;
class QTimer;
class CheckGroupBox;
class ColorCombo;
class FontCombo;
class FileNameEdit;
template <class Item>
class ItemEditors;

class SettingsPage : public QWidget {
  Q_OBJECT

 public:
  enum class StoreRule {
    EachControl,  // a change writes the control that changed
    AllAtOnce,    // a change writes every bound control
  };

  SettingsPage(Config& config, Services& services, QWidget* parent = nullptr,
               StoreRule rule = StoreRule::EachControl);

  // Fills the controls from the settings; never writes a setting.
  virtual void LoadFromConfig();
  // True while the page fills its controls: LoadFromConfig, an item's editors, a list's
  // selection moved by the page itself. Handlers of user changes do nothing meanwhile.
  bool loading() const { return loading_ > 0; }

 signals:
  // A user's change has been written into the settings.
  void settingsChanged();

 protected:
  // Marks the page as loading for its lifetime (nestable).
  class LoadGuard {
   public:
    explicit LoadGuard(SettingsPage* page) : page_(page) { ++page_->loading_; }
    ~LoadGuard() { --page_->loading_; }
    LoadGuard(const LoadGuard&) = delete;
    LoadGuard& operator=(const LoadGuard&) = delete;

   private:
    SettingsPage* page_;
  };

  void Bind(QCheckBox* box, bool& setting);
  void Bind(QComboBox* list, int& index);  // the item's position
  void Bind(QSpinBox* spin, int& value);
  // Written while the slider is dragged as well as when it settles.
  void Bind(QAbstractSlider* slider, int& value);
  void Bind(QLineEdit* edit, QString& text);
  void Bind(ColorCombo* combo, Color& colour);
  void Bind(FontCombo* combo, QString& face);
  void Bind(FileNameEdit* edit, QString& fileName);
  void Bind(CheckGroupBox* group, bool& setting);  // the title's check box
  // The group's radio buttons, in the form's order, stand for 0, 1, 2, ...; a choice's
  // buttons stand for its values by their numbers.
  void BindRadioGroup(QGroupBox* group, int& index);
  template <class E, std::enable_if_t<std::is_enum_v<E>, int> = 0>
  void BindRadioGroup(QGroupBox* group, E& choice) {
    BindRadioGroup(
        group, [&choice] { return static_cast<int>(choice); },
        [&choice](int i) { choice = static_cast<E>(i); });
  }
  // Anything else: how to fill the control, how to read it back, and the control whose
  // changes count as the user's. Call Changed() from the control's change signal.
  int AddBinding(QWidget* control, std::function<void()> load, std::function<void()> store);
  // A bound control changed: writes by the page's store rule, unless loading.
  void Changed(int binding);
  // Writes every bound control into the settings.
  void StoreAll();
  // Makes `row` the list's current row (none when no row has that number) as the page's own
  // doing, under the load guard.
  void SelectRow(QListWidget* list, int row);
  // After row `removed` went: selects the row that took its place, else the last, else none.
  void SelectNeighbour(QListWidget* list, int removed);
  // Asks a yes-or-no question in the "Please Confirm" box; only Yes goes ahead.
  bool Confirmed(const QString& question);

  // Names every labelled control after its label, for assistive technology. Runs by itself
  // from the event loop once the page is constructed.
  void NameControlsFromLabels();
  // A refresh of what only the screen shows: runs when the page is shown and then on each
  // of the timer's beats; the timer stops while the page is hidden, so a hidden program sleeps.
  void RefreshWhileShown(QTimer* timer, std::function<void()> refresh);

  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

  Config& config;
  Services& services;

 private:
  template <class Item>
  friend class ItemEditors;

  void BindRadioGroup(QGroupBox* group, std::function<int()> get, std::function<void(int)> set);

  struct Binding {
    QWidget* control;
    std::function<void()> load;
    std::function<void()> store;
  };
  QList<Binding> bindings_;
  QTimer* refreshTimer_ = nullptr;
  std::function<void()> refresh_;
  StoreRule rule_;
  int loading_ = 0;
};
