#pragma once
// Looking at the mail accounts in a settings file, and a store to park the program's own
// store on when a test is over.
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

// The value "<name> n" of the section "Email Accounts" in that file, read afresh.
inline std::optional<RegValue> StoredAccountValue(const QString& file, const QString& name, int n) {
  RegistryFile reread(file);
  return reread.QueryValue(
      QStringLiteral("SOFTWARE\\Orbwright\\Quillatorne\\4.0\\Email Accounts"),
      QStringLiteral("%1 %2").arg(name).arg(n));
}

// Account n's password as the file keeps it, "(absent)" when it keeps none.
inline QString StoredPassword(const QString& file, int n = 1) {
  const auto v = StoredAccountValue(file, QStringLiteral("Password"), n);
  if (!v) return QStringLiteral("(absent)");
  return QString::fromUtf8(v->data.left(v->data.indexOf('\0')));
}
