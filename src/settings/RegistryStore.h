#pragma once
// The typed facade over the registry: sections are subkeys of the product key.
#include <QString>
#include <QStringList>

#include "platform/Registry.h"

class RegistryStore {
 public:
  explicit RegistryStore(IRegistryBackend& backend) : backend_(backend) {}

  // Sets the product key path (e.g. "\SOFTWARE\Orbwright\Quillatorne\4.0"), creating the
  // key when missing. If that fails the store stays rooted at \SOFTWARE.
  void OpenKey(const QString& path);
  const QString& root() const { return root_; }

  int ReadInteger(const QString& section, const QString& name, int def) const;
  bool ReadBool(const QString& section, const QString& name, bool def) const;
  QString ReadString(const QString& section, const QString& name, const QString& def) const;
  double ReadDateTime(const QString& section, const QString& name, double def) const;

  // The value names of a section, and the names of the sections; nullopt when the backend
  // cannot list them.
  std::optional<QStringList> ValueNames(const QString& section) const;
  std::optional<QStringList> SectionNames() const;

  bool WriteInteger(const QString& section, const QString& name, int value);
  bool WriteBool(const QString& section, const QString& name, bool value);
  // A text stored as REG_SZ that already reads as `value` is left exactly as it is, so bytes
  // the text cannot hold (not UTF-8, an odd byte) survive a save of the unchanged setting.
  bool WriteString(const QString& section, const QString& name, const QString& value);
  bool WriteDateTime(const QString& section, const QString& name, double value);

  IRegistryBackend& backend() { return backend_; }

 private:
  QString SectionKey(const QString& section) const;
  std::optional<RegValue> Query(const QString& section, const QString& name) const;
  bool Write(const QString& section, const QString& name, const RegValue& value);

  IRegistryBackend& backend_;
  QString root_ = QStringLiteral("SOFTWARE");
};

// The product key every build of this version uses.
inline const char* const kProductKey = "\\SOFTWARE\\Orbwright\\Quillatorne\\4.0";
