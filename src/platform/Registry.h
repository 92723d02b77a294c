#pragma once
// The registry as the settings store sees it: keys below HKEY_CURRENT_USER holding
// typed values. Key paths are relative to HKEY_CURRENT_USER, separated by backslashes,
// without a leading one; key and value names match without regard to case.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

enum RegType : uint32_t {
  REG_NONE = 0,
  REG_SZ = 1,
  REG_EXPAND_SZ = 2,
  REG_BINARY = 3,
  REG_DWORD = 4,
  REG_MULTI_SZ = 7,
};

// Data as the Win32 registry holds it; strings as UTF-8 with their terminating NUL
// (so an empty REG_SZ is one byte long).
struct RegValue {
  uint32_t type = REG_NONE;
  QByteArray data;
  bool operator==(const RegValue&) const = default;
};

RegValue RegString(const QString& text, uint32_t type = REG_SZ);
RegValue RegDword(uint32_t value);
RegValue RegBinary(const QByteArray& bytes);

class IRegistryBackend {
 public:
  virtual ~IRegistryBackend() = default;
  virtual bool KeyExists(const QString& key) const = 0;
  // Creates the key (and, implicitly, its parents).
  virtual bool CreateKey(const QString& key) = 0;
  virtual std::optional<RegValue> QueryValue(const QString& key, const QString& name) const = 0;
  // Replaces any value of that name whatever its type. The key must exist.
  virtual bool SetValue(const QString& key, const QString& name, const RegValue& value) = 0;
  // The names of a key's values and of its direct subkeys, so that a reader can tell which
  // numbered entries exist; nullopt from a backend that cannot list them.
  virtual std::optional<QStringList> ValueNames(const QString&) const { return std::nullopt; }
  virtual std::optional<QStringList> SubKeyNames(const QString&) const { return std::nullopt; }
  // Writes between Begin and End reach the backing storage once, at End.
  virtual void BeginUpdate() {}
  virtual bool EndUpdate() { return true; }
  // Where unreadable contents found on opening were kept, empty when there were none.
  virtual QString movedAsideTo() const { return {}; }
};
