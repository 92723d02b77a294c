#include "platform/DBusMenuExporter.h"

#include <QAction>
#include <QActionEvent>
#include <QMenu>

namespace {
// Qt marks the mnemonic with '&', dbusmenu with '_'.
QString Label(const QString& text) {
  QString out;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c == QLatin1Char('_')) {
      out += QStringLiteral("__");
    } else if (c == QLatin1Char('&')) {
      if (i + 1 < text.size() && text[i + 1] == QLatin1Char('&')) {
        out += c;
        ++i;
      } else {
        out += QLatin1Char('_');
      }
    } else {
      out += c;
    }
  }
  return out;
}

QVariantMap Only(const QVariantMap& all, const QStringList& names) {
  if (names.isEmpty()) return all;
  QVariantMap out;
  for (const QString& n : names)
    if (all.contains(n)) out.insert(n, all.value(n));
  return out;
}
}  // namespace

DBusMenuExporter::DBusMenuExporter(QMenu* menu, QObject* parent) : QObject(parent), menu_(menu) {
  RegisterTrayDBusTypes();
  Renumber();
  watched_ = menu;
  menu->installEventFilter(this);
  connect(menu, &QObject::destroyed, this, [this] { watched_ = nullptr; });
  // Several changes in one pass of the event loop go out as one signal.
  changes_.setSingleShot(true);
  changes_.setInterval(0);
  connect(&changes_, &QTimer::timeout, this, &DBusMenuExporter::SendChanges);
}

void DBusMenuExporter::Renumber() {
  if (!menu_) return;
  QHash<QAction*, int> ids;
  for (QAction* a : menu_->actions()) {
    const int id = ids_.value(a, 0);
    ids.insert(a, id > 0 ? id : nextId_++);
    connect(a, &QAction::changed, &changes_, qOverload<>(&QTimer::start), Qt::UniqueConnection);
  }
  ids_ = ids;
  sent_.clear();
  for (QAction* a : menu_->actions()) sent_.insert(ids_.value(a), PropertiesOf(ids_.value(a)));
}

bool DBusMenuExporter::eventFilter(QObject* watched, QEvent* event) {
  if (watched_ && watched == watched_ &&
      (event->type() == QEvent::ActionAdded || event->type() == QEvent::ActionRemoved)) {
    // The menu's action list is only final once the event is delivered.
    QTimer::singleShot(0, this, [this] {
      Renumber();
      emit LayoutUpdated(++revision_, 0);
    });
  }
  return QObject::eventFilter(watched, event);
}

QAction* DBusMenuExporter::ActionOf(int id) const {
  for (auto it = ids_.cbegin(); it != ids_.cend(); ++it)
    if (it.value() == id) return it.key();
  return nullptr;
}

QVariantMap DBusMenuExporter::PropertiesOf(int id) const {
  QVariantMap p;
  if (id == 0) {
    p.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
    return p;
  }
  const QAction* a = ActionOf(id);
  if (!a) return p;
  if (a->isSeparator()) {
    p.insert(QStringLiteral("type"), QStringLiteral("separator"));
  } else {
    p.insert(QStringLiteral("label"), Label(a->text()));
  }
  // Defaults are left out, as the protocol asks; panels take a missing one as the default.
  if (!a->isEnabled()) p.insert(QStringLiteral("enabled"), false);
  if (!a->isVisible()) p.insert(QStringLiteral("visible"), false);
  if (a->isCheckable()) {
    p.insert(QStringLiteral("toggle-type"), QStringLiteral("checkmark"));
    p.insert(QStringLiteral("toggle-state"), a->isChecked() ? 1 : 0);
  }
  return p;
}

void DBusMenuExporter::Refresh() {
  if (menu_) emit menu_->aboutToShow();
  SendChanges();
}

void DBusMenuExporter::SendChanges() {
  changes_.stop();
  if (!menu_) return;
  DBusMenuItemPropertiesList updated;
  DBusMenuItemKeysList removed;
  for (QAction* a : menu_->actions()) {
    const int id = ids_.value(a);
    const QVariantMap now = PropertiesOf(id);
    const QVariantMap before = sent_.value(id);
    if (now == before) continue;
    DBusMenuItemProperties changed{id, {}};
    DBusMenuItemKeys gone{id, {}};
    for (auto it = now.cbegin(); it != now.cend(); ++it)
      if (before.value(it.key()) != it.value()) changed.properties.insert(it.key(), it.value());
    for (auto it = before.cbegin(); it != before.cend(); ++it)
      if (!now.contains(it.key())) gone.names << it.key();
    if (!changed.properties.isEmpty()) updated << changed;
    if (!gone.names.isEmpty()) removed << gone;
    sent_.insert(id, now);
  }
  if (!updated.isEmpty() || !removed.isEmpty()) emit ItemsPropertiesUpdated(updated, removed);
}

uint DBusMenuExporter::GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                                 DBusMenuLayoutItem& layout) {
  // A panel asks for the layout as the menu opens: the owner's last word on captions first.
  if (parentId == 0) Refresh();
  layout = DBusMenuLayoutItem{parentId, Only(PropertiesOf(parentId), propertyNames), {}};
  if (parentId == 0 && recursionDepth != 0 && menu_) {
    for (QAction* a : menu_->actions()) {
      const int id = ids_.value(a);
      layout.children.append(DBusMenuLayoutItem{id, Only(PropertiesOf(id), propertyNames), {}});
    }
  }
  return revision_;
}

DBusMenuItemPropertiesList DBusMenuExporter::GetGroupProperties(const QList<int>& ids,
                                                                const QStringList& propertyNames) {
  DBusMenuItemPropertiesList out;
  for (int id : ids)
    if (id == 0 || ActionOf(id))
      out << DBusMenuItemProperties{id, Only(PropertiesOf(id), propertyNames)};
  return out;
}

QDBusVariant DBusMenuExporter::GetProperty(int id, const QString& name) {
  return QDBusVariant(PropertiesOf(id).value(name));
}

void DBusMenuExporter::Event(int id, const QString& eventId, const QDBusVariant&, uint) {
  if (eventId == QLatin1String("opened") && id == 0) {
    Refresh();
    return;
  }
  if (eventId != QLatin1String("clicked")) return;
  QAction* a = ActionOf(id);
  if (!a) return;
  // The state may have changed since the panel drew the menu (a window opened meanwhile).
  Refresh();
  if (!a->isEnabled() || a->isSeparator()) return;
  // After the reply: the action may open a modal box, and the panel waits for no one.
  QPointer<QAction> guard(a);
  QTimer::singleShot(0, this, [guard] {
    if (guard && guard->isEnabled()) guard->trigger();
  });
}

QList<int> DBusMenuExporter::EventGroup(const DBusMenuEventList& events) {
  QList<int> unknown;
  for (const DBusMenuEvent& e : events) {
    if (e.id != 0 && !ActionOf(e.id)) {
      unknown << e.id;
      continue;
    }
    Event(e.id, e.eventId, e.data, e.timestamp);
  }
  return unknown;
}

bool DBusMenuExporter::AboutToShow(int id) {
  if (id == 0) Refresh();
  // The layout never changes as the menu opens; the properties went out as signals.
  return false;
}

QList<int> DBusMenuExporter::AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors) {
  for (int id : ids) {
    if (id == 0) {
      Refresh();
    } else if (!ActionOf(id)) {
      idErrors << id;
    }
  }
  return {};
}
