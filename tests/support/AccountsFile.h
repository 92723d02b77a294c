#pragma once
// Looking at the mail accounts in a settings file, and a store to park the program's own
// store on when a test is over.
#include <QByteArray>
#include <QString>

#include "platform/Registry.h"
#include "platform/RegistryFile.h"

class NoRegistry : public IRegistryBackend {
 public:
  bool KeyExists(const QString&) const override { return false; }
  bool CreateKey(const QString&) override { return true; }
  std::optional<RegValue> QueryValue(const QString&, const QString&) const override {
    return std::nullopt;
  }
  bool SetValue(const QString&, const QString&, const RegValue&) override { return true; }
};

// The value "<name> n" of a section ("Email Accounts" unless told) in that file, read afresh.
inline std::optional<RegValue> StoredAccountValue(
    const QString& file, const QString& name, int n,
    const QString& section = QStringLiteral("Email Accounts")) {
  RegistryFile reread(file);
  return reread.QueryValue(QStringLiteral("SOFTWARE\\Orbwright\\Quillatorne\\4.0\\") + section,
                           QStringLiteral("%1 %2").arg(name).arg(n));
}

// A text value "<name> n" as the file keeps it, "(absent)" when it keeps none.
inline QString StoredText(const QString& file, const QString& name, int n,
                          const QString& section = QStringLiteral("Email Accounts")) {
  const auto v = StoredAccountValue(file, name, n, section);
  if (!v) return QStringLiteral("(absent)");
  return QString::fromUtf8(v->data.left(v->data.indexOf('\0')));
}

// Account n's password as the file keeps it, "(absent)" when it keeps none.
inline QString StoredPassword(const QString& file, int n = 1) {
  return StoredText(file, QStringLiteral("Password"), n);
}

// A settings file as a version from before the calendars' passwords were kept in the keyring
// wrote it: one mail account without a key of its own (so its entry is "user@server") and
// one agenda calendar with its password in the file.
inline QByteArray OlderSettingsFile(const QByteArray& mailUser, const QByteArray& mailServer,
                                    const QByteArray& calendarUrl,
                                    const QByteArray& calendarPassword) {
  const QByteArray key = "[HKEY_CURRENT_USER\\SOFTWARE\\Orbwright\\Quillatorne\\4.0\\";
  return "Windows Registry Editor Version 5.00\n\n" + key + "Base]\n\"OK\"=dword:00000001\n\n" +
         key + "Email]\n\"AccountsNumber\"=dword:00000001\n\n" + key +
         "Email Accounts]\n\"Name 1\"=\"home\"\n\"Server 1\"=\"" + mailServer +
         "\"\n\"User 1\"=\"" + mailUser + "\"\n\"Password 1\"=\"\"\n\n" + key +
         "Agenda]\n\"AgendaCount\"=dword:00000001\n\"URL 1\"=\"" + calendarUrl +
         "\"\n\"User 1\"=\"" + mailUser + "\"\n\"Password 1\"=\"" + calendarPassword + "\"\n";
}

// Agenda calendar n's password and key as the file keeps them.
inline QString StoredCalendarPassword(const QString& file, int n = 1) {
  return StoredText(file, QStringLiteral("Password"), n, QStringLiteral("Agenda"));
}
inline QString StoredCalendarKey(const QString& file, int n = 1) {
  return StoredText(file, QStringLiteral("PasswordKey"), n, QStringLiteral("Agenda"));
}
