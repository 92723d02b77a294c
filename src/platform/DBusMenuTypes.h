#pragma once
// The wire types of the StatusNotifierItem and com.canonical.dbusmenu protocols, shared by
// the exporting side and whoever reads them (a panel, the tests).
#include <QByteArray>
#include <QDBusArgument>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// One picture of an icon: ARGB32, network byte order, row by row.
struct SniPixmap {
  int width = 0;
  int height = 0;
  QByteArray bytes;
};
using SniPixmapList = QList<SniPixmap>;

struct SniToolTip {
  QString iconName;
  SniPixmapList pixmaps;
  QString title;
  QString description;
};

// A menu item with its properties and, when asked for, its children.
struct DBusMenuLayoutItem {
  int id = 0;
  QVariantMap properties;
  QList<DBusMenuLayoutItem> children;
};

struct DBusMenuItemProperties {
  int id = 0;
  QVariantMap properties;
};
using DBusMenuItemPropertiesList = QList<DBusMenuItemProperties>;

struct DBusMenuItemKeys {
  int id = 0;
  QStringList names;
};
using DBusMenuItemKeysList = QList<DBusMenuItemKeys>;

struct DBusMenuEvent {
  int id = 0;
  QString eventId;
  QDBusVariant data;
  uint timestamp = 0;
};
using DBusMenuEventList = QList<DBusMenuEvent>;

QDBusArgument& operator<<(QDBusArgument& a, const SniPixmap& p);
const QDBusArgument& operator>>(const QDBusArgument& a, SniPixmap& p);
QDBusArgument& operator<<(QDBusArgument& a, const SniToolTip& t);
const QDBusArgument& operator>>(const QDBusArgument& a, SniToolTip& t);
QDBusArgument& operator<<(QDBusArgument& a, const DBusMenuLayoutItem& item);
const QDBusArgument& operator>>(const QDBusArgument& a, DBusMenuLayoutItem& item);
QDBusArgument& operator<<(QDBusArgument& a, const DBusMenuItemProperties& item);
const QDBusArgument& operator>>(const QDBusArgument& a, DBusMenuItemProperties& item);
QDBusArgument& operator<<(QDBusArgument& a, const DBusMenuItemKeys& item);
const QDBusArgument& operator>>(const QDBusArgument& a, DBusMenuItemKeys& item);
QDBusArgument& operator<<(QDBusArgument& a, const DBusMenuEvent& e);
const QDBusArgument& operator>>(const QDBusArgument& a, DBusMenuEvent& e);

// Registers the types with Qt's D-Bus marshalling; safe to call more than once.
void RegisterTrayDBusTypes();

Q_DECLARE_METATYPE(SniPixmap)
Q_DECLARE_METATYPE(SniToolTip)
Q_DECLARE_METATYPE(DBusMenuLayoutItem)
Q_DECLARE_METATYPE(DBusMenuItemProperties)
Q_DECLARE_METATYPE(DBusMenuItemKeys)
Q_DECLARE_METATYPE(DBusMenuEvent)
