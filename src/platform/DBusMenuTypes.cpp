#include "platform/DBusMenuTypes.h"

#include <QDBusMetaType>

QDBusArgument& operator<<(QDBusArgument& a, const SniPixmap& p) {
  a.beginStructure();
  a << p.width << p.height << p.bytes;
  a.endStructure();
  return a;
}

const QDBusArgument& operator>>(const QDBusArgument& a, SniPixmap& p) {
  a.beginStructure();
  a >> p.width >> p.height >> p.bytes;
  a.endStructure();
  return a;
}

QDBusArgument& operator<<(QDBusArgument& a, const SniToolTip& t) {
  a.beginStructure();
  a << t.iconName << t.pixmaps << t.title << t.description;
  a.endStructure();
  return a;
}

const QDBusArgument& operator>>(const QDBusArgument& a, SniToolTip& t) {
  a.beginStructure();
  a >> t.iconName >> t.pixmaps >> t.title >> t.description;
  a.endStructure();
  return a;
}

QDBusArgument& operator<<(QDBusArgument& a, const DBusMenuLayoutItem& item) {
  a.beginStructure();
  a << item.id << item.properties;
  // The children travel as variants (av): the type refers to itself.
  a.beginArray(qMetaTypeId<QDBusVariant>());
  for (const DBusMenuLayoutItem& child : item.children)
    a << QDBusVariant(QVariant::fromValue(child));
  a.endArray();
  a.endStructure();
  return a;
}

const QDBusArgument& operator>>(const QDBusArgument& a, DBusMenuLayoutItem& item) {
  a.beginStructure();
  a >> item.id >> item.properties;
  item.children.clear();
  a.beginArray();
  while (!a.atEnd()) {
    QDBusVariant v;
    a >> v;
    DBusMenuLayoutItem child;
    const QVariant inner = v.variant();
    if (inner.canConvert<QDBusArgument>()) {
      inner.value<QDBusArgument>() >> child;
    } else if (inner.canConvert<DBusMenuLayoutItem>()) {
      child = inner.value<DBusMenuLayoutItem>();
    }
    item.children.append(child);
  }
  a.endArray();
  a.endStructure();
  return a;
}

QDBusArgument& operator<<(QDBusArgument& a, const DBusMenuItemProperties& item) {
  a.beginStructure();
  a << item.id << item.properties;
  a.endStructure();
  return a;
}

const QDBusArgument& operator>>(const QDBusArgument& a, DBusMenuItemProperties& item) {
  a.beginStructure();
  a >> item.id >> item.properties;
  a.endStructure();
  return a;
}

QDBusArgument& operator<<(QDBusArgument& a, const DBusMenuItemKeys& item) {
  a.beginStructure();
  a << item.id << item.names;
  a.endStructure();
  return a;
}

const QDBusArgument& operator>>(const QDBusArgument& a, DBusMenuItemKeys& item) {
  a.beginStructure();
  a >> item.id >> item.names;
  a.endStructure();
  return a;
}

QDBusArgument& operator<<(QDBusArgument& a, const DBusMenuEvent& e) {
  a.beginStructure();
  a << e.id << e.eventId << e.data << e.timestamp;
  a.endStructure();
  return a;
}

const QDBusArgument& operator>>(const QDBusArgument& a, DBusMenuEvent& e) {
  a.beginStructure();
  a >> e.id >> e.eventId >> e.data >> e.timestamp;
  a.endStructure();
  return a;
}

void RegisterTrayDBusTypes() {
  static const bool once = [] {
    qDBusRegisterMetaType<SniPixmap>();
    qDBusRegisterMetaType<SniPixmapList>();
    qDBusRegisterMetaType<SniToolTip>();
    qDBusRegisterMetaType<DBusMenuLayoutItem>();
    qDBusRegisterMetaType<DBusMenuItemProperties>();
    qDBusRegisterMetaType<DBusMenuItemPropertiesList>();
    qDBusRegisterMetaType<DBusMenuItemKeys>();
    qDBusRegisterMetaType<DBusMenuItemKeysList>();
    qDBusRegisterMetaType<DBusMenuEvent>();
    qDBusRegisterMetaType<DBusMenuEventList>();
    // Signals and properties name the lists by these names; Qt looks them up by name.
    qRegisterMetaType<SniPixmapList>("SniPixmapList");
    qRegisterMetaType<DBusMenuItemPropertiesList>("DBusMenuItemPropertiesList");
    qRegisterMetaType<DBusMenuItemKeysList>("DBusMenuItemKeysList");
    qRegisterMetaType<DBusMenuEventList>("DBusMenuEventList");
    return true;
  }();
  (void)once;
}
