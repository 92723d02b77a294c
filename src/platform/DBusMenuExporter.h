#pragma once
// A QMenu as com.canonical.dbusmenu, so the panel draws the menu itself: captions, enabled
// states and separators as the QMenu has them; a click on an item triggers its action.
#include <QDBusConnection>
#include <QDBusVariant>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include "platform/DBusMenuTypes.h"

class QAction;
class QMenu;

class DBusMenuExporter : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
  Q_PROPERTY(uint Version READ Version)
  Q_PROPERTY(QString TextDirection READ TextDirection)
  Q_PROPERTY(QString Status READ Status)
  Q_PROPERTY(QStringList IconThemePath READ IconThemePath)

 public:
  explicit DBusMenuExporter(QMenu* menu, QObject* parent = nullptr);

  uint Version() const { return 3; }
  QString TextDirection() const { return QStringLiteral("ltr"); }
  QString Status() const { return QStringLiteral("normal"); }
  QStringList IconThemePath() const { return {}; }

  // The id the panel knows the action by; 0 is the menu itself.
  int IdOf(QAction* action) const { return ids_.value(action, -1); }
  uint revision() const { return revision_; }

 public Q_SLOTS:
  uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                 DBusMenuLayoutItem& layout);
  DBusMenuItemPropertiesList GetGroupProperties(const QList<int>& ids,
                                                const QStringList& propertyNames);
  QDBusVariant GetProperty(int id, const QString& name);
  void Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp);
  QList<int> EventGroup(const DBusMenuEventList& events);
  bool AboutToShow(int id);
  QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors);

 Q_SIGNALS:
  void ItemsPropertiesUpdated(const DBusMenuItemPropertiesList& updatedProps,
                              const DBusMenuItemKeysList& removedProps);
  void LayoutUpdated(uint revision, int parent);
  void ItemActivationRequested(int id, uint timestamp);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Renumber();
  QVariantMap PropertiesOf(int id) const;
  QAction* ActionOf(int id) const;
  // Lets the menu's owner bring captions and states up to date, as before a popup.
  void Refresh();
  void SendChanges();

  QPointer<QMenu> menu_;
  // Compared by address only: events still come while the menu is half destroyed.
  QObject* watched_ = nullptr;
  QHash<QAction*, int> ids_;
  QHash<int, QVariantMap> sent_;
  uint revision_ = 1;
  int nextId_ = 1;
  QTimer changes_;
};
