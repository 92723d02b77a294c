#include "settings/RegistryStore.h"

#include <cstring>

namespace {
QString CleanPath(QString path) {
  while (path.startsWith(QLatin1Char('\\'))) path.remove(0, 1);
  while (path.endsWith(QLatin1Char('\\'))) path.chop(1);
  return path;
}

uint32_t Dword(const QByteArray& data) {
  uint32_t v = 0;
  for (int b = 0; b < 4; ++b) v |= uint32_t(uint8_t(data[b])) << (8 * b);
  return v;
}

// What a stored value reads as text, if it reads as text at all.
std::optional<QString> TextOf(const RegValue& v) {
  if (v.type == REG_SZ || v.type == REG_EXPAND_SZ) {
    // Up to the terminating NUL; environment references stay as they are.
    const qsizetype nul = v.data.indexOf('\0');
    return QString::fromUtf8(nul < 0 ? v.data : v.data.left(nul));
  }
  if (v.type == REG_DWORD && v.data.size() == 4) return QString::number(static_cast<int>(Dword(v.data)));
  return std::nullopt;
}
}  // namespace

void RegistryStore::OpenKey(const QString& path) {
  const QString key = CleanPath(path);
  if (backend_.CreateKey(key)) root_ = key;
}

QString RegistryStore::SectionKey(const QString& section) const {
  return section.isEmpty() ? root_ : root_ + QLatin1Char('\\') + section;
}

std::optional<RegValue> RegistryStore::Query(const QString& section, const QString& name) const {
  const QString key = SectionKey(section);
  if (!backend_.KeyExists(key)) return std::nullopt;  // reading never creates a key
  return backend_.QueryValue(key, name);
}

int RegistryStore::ReadInteger(const QString& section, const QString& name, int def) const {
  const auto v = Query(section, name);
  if (!v || v->type != REG_DWORD || v->data.size() != 4) return def;
  return static_cast<int>(Dword(v->data));
}

bool RegistryStore::ReadBool(const QString& section, const QString& name, bool def) const {
  const auto v = Query(section, name);
  if (!v || v->type != REG_DWORD || v->data.size() != 4) return def;
  return Dword(v->data) != 0;
}

QString RegistryStore::ReadString(const QString& section, const QString& name,
                                  const QString& def) const {
  const auto v = Query(section, name);
  if (!v) return def;
  return TextOf(*v).value_or(def);
}

double RegistryStore::ReadDateTime(const QString& section, const QString& name, double def) const {
  const auto v = Query(section, name);
  if (!v || v->type != REG_BINARY || v->data.size() != 8) return def;
  double d;
  std::memcpy(&d, v->data.constData(), 8);  // little-endian, as the machine is
  return d;
}

std::optional<QStringList> RegistryStore::ValueNames(const QString& section) const {
  return backend_.ValueNames(SectionKey(section));
}

std::optional<QStringList> RegistryStore::SectionNames() const {
  return backend_.SubKeyNames(root_);
}

bool RegistryStore::Write(const QString& section, const QString& name, const RegValue& value) {
  const QString key = SectionKey(section);
  return backend_.CreateKey(key) && backend_.SetValue(key, name, value);
}

bool RegistryStore::WriteInteger(const QString& section, const QString& name, int value) {
  return Write(section, name, RegDword(static_cast<uint32_t>(value)));
}

bool RegistryStore::WriteBool(const QString& section, const QString& name, bool value) {
  return Write(section, name, RegDword(value ? 1 : 0));
}

bool RegistryStore::WriteString(const QString& section, const QString& name, const QString& value) {
  const auto stored = Query(section, name);
  if (stored && stored->type == REG_SZ && TextOf(*stored) == value) return true;
  return Write(section, name, RegString(value));
}

bool RegistryStore::WriteDateTime(const QString& section, const QString& name, double value) {
  QByteArray data(8, '\0');
  std::memcpy(data.data(), &value, 8);
  return Write(section, name, RegBinary(data));
}
