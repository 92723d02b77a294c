#pragma once
// The editors of a list page: each shows one member of the item selected in the list.
#include <QList>
#include <functional>
#include <optional>
#include <type_traits>

#include "pages/SettingsPage.h"
#include "settings/Config.h"

class ColorCombo;
class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLineEdit;
class QObject;
class QPlainTextEdit;

// How each kind of editor shows a value and reads it back, what it shows when there is
// nothing to show, and its signal of a change. A read leaves the value as it was where the
// editor shows none (a list with no item chosen).
namespace editors {
void Show(QCheckBox* box, bool on);
void Read(const QCheckBox* box, bool& on);
void Blank(QCheckBox* box);
void WhenChanged(QCheckBox* box, QObject* context, std::function<void()> changed);
// A list's items by position; a position no item has chooses none.
void Show(QComboBox* list, int index);
void Read(const QComboBox* list, int& index);
void Blank(QComboBox* list);
// A list's items by the number each carries as its data; none chooses none.
void ShowData(QComboBox* list, std::optional<int> number);
void ReadData(const QComboBox* list, int& number);
void WhenChanged(QComboBox* list, QObject* context, std::function<void()> changed);
// A choice whose values the list's items stand for by position.
template <class E, std::enable_if_t<std::is_enum_v<E>, int> = 0>
void Show(QComboBox* list, E choice) {
  Show(list, static_cast<int>(choice));
}
template <class E, std::enable_if_t<std::is_enum_v<E>, int> = 0>
void Read(const QComboBox* list, E& choice) {
  int index = static_cast<int>(choice);
  Read(list, index);
  choice = static_cast<E>(index);
}
void Show(QLineEdit* edit, const QString& text);
void Read(const QLineEdit* edit, QString& text);
void Blank(QLineEdit* edit);
// Any change of the text, typed or set: item editors are filled under the load guard.
void WhenChanged(QLineEdit* edit, QObject* context, std::function<void()> changed);
void Show(QPlainTextEdit* edit, const QString& text);
void Read(const QPlainTextEdit* edit, QString& text);
void Blank(QPlainTextEdit* edit);
void WhenChanged(QPlainTextEdit* edit, QObject* context, std::function<void()> changed);
// A colour of the basic ones or the user's own.
void Show(ColorCombo* combo, Color colour);
void Read(const ColorCombo* combo, Color& colour);
void WhenChanged(ColorCombo* combo, QObject* context, std::function<void()> changed);
// A date-time as a day number (DateTime.h); blank is day 0.
void Show(QDateTimeEdit* edit, double days);
void Read(const QDateTimeEdit* edit, double& days);
void Blank(QDateTimeEdit* edit);
void WhenChanged(QDateTimeEdit* edit, QObject* context, std::function<void()> changed);
}  // namespace editors

// The editors of the item a list page has selected, each bound to one member of the item.
// `selected` finds the item (null when none is selected). Fill() shows it, or blank editors
// when there is none, without writing anything. Edits are written into it at once (every
// editor into its member, whichever changed) or only when the page calls Store().
template <class Item>
class ItemEditors {
 public:
  enum class Writes { AtOnce, WhenAsked };

  ItemEditors(SettingsPage* page, std::function<Item*()> selected, Writes writes)
      : page_(page), selected_(std::move(selected)), writes_(writes) {}
  ItemEditors(const ItemEditors&) = delete;
  ItemEditors& operator=(const ItemEditors&) = delete;

  // `blank` is what the editor shows with no item selected; without it the editor empties.
  template <class Editor, class T>
  void Bind(Editor* editor, T Item::*member,
            std::type_identity_t<std::optional<T>> blank = std::nullopt) {
    bindings_.append(
        Binding{[editor, member, blank](const Item* item) {
                  if (item)
                    editors::Show(editor, item->*member);
                  else if (blank)
                    editors::Show(editor, *blank);
                  else
                    editors::Blank(editor);
                },
                [editor, member](Item& item) { editors::Read(editor, item.*member); },
                [member](const Item& a, const Item& b) { return a.*member == b.*member; }});
    editors::WhenChanged(editor, page_, [this] { Edited(); });
  }
  // A list whose items carry the number of the choice each stands for as their data.
  template <class E, std::enable_if_t<std::is_enum_v<E>, int> = 0>
  void BindByData(QComboBox* list, E Item::*member) {
    bindings_.append(
        Binding{[list, member](const Item* item) {
                  editors::ShowData(list, item ? std::optional<int>(static_cast<int>(item->*member))
                                               : std::nullopt);
                },
                [list, member](Item& item) {
                  int number = static_cast<int>(item.*member);
                  editors::ReadData(list, number);
                  item.*member = static_cast<E>(number);
                },
                [member](const Item& a, const Item& b) { return a.*member == b.*member; }});
    editors::WhenChanged(list, page_, [this] { Edited(); });
  }

  void Fill() {
    SettingsPage::LoadGuard guard(page_);
    const Item* item = selected_();
    for (const Binding& b : bindings_) b.fill(item);
    if (item) shown_ = *item;
  }
  // Writes every editor into the selected item; false when none is selected.
  bool Store() {
    Item* item = selected_();
    if (!item) return false;
    for (const Binding& b : bindings_) b.store(*item);
    shown_ = *item;
    return true;
  }
  // Whether the selected item still holds, in every bound member, what the editors were
  // last filled with or wrote: filling them again would change nothing.
  bool ShowsSelected() const {
    const Item* item = selected_();
    if (!item) return false;
    for (const Binding& b : bindings_)
      if (!b.same(*item, shown_)) return false;
    return true;
  }
  // Runs after a user's edit has been written (at once), or after any user's edit (when
  // asked), once the page has announced the change.
  std::function<void()> edited;

 private:
  struct Binding {
    std::function<void(const Item*)> fill;
    std::function<void(Item&)> store;
    std::function<bool(const Item&, const Item&)> same;
  };
  void Edited() {
    if (page_->loading()) return;
    if (writes_ == Writes::AtOnce) {
      if (!Store()) return;
      emit page_->settingsChanged();
    }
    if (edited) edited();
  }

  SettingsPage* page_;
  std::function<Item*()> selected_;
  Writes writes_;
  QList<Binding> bindings_;
  Item shown_{};
};
