#include "platform/RegistryFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/Paths.h"

namespace {

const QLatin1String kHeader5("Windows Registry Editor Version 5.00");
const QLatin1String kHeader4("REGEDIT4");
const QLatin1String kUserHive("HKEY_CURRENT_USER");

QString NormalizeKey(const QString& key) {
  QString k = key;
  while (k.startsWith(QLatin1Char('\\'))) k.remove(0, 1);
  while (k.endsWith(QLatin1Char('\\'))) k.chop(1);
  return k;
}

bool SameName(const QString& a, const QString& b) {
  return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString Utf16LeToString(const QByteArray& bytes) {
  QStringDecoder decode(QStringConverter::Utf16LE);
  return decode(bytes);
}

QByteArray StringToUtf16Le(const QString& text) {
  QStringEncoder encode(QStringConverter::Utf16LE);
  return encode(text);
}

QString Escape(const QString& s) {
  QString out;
  out.reserve(s.size() + 2);
  for (QChar c : s) {
    if (c == QLatin1Char('\\') || c == QLatin1Char('"')) out += QLatin1Char('\\');
    out += c;
  }
  return out;
}

// Reads a quoted string starting at text[pos] == '"'; leaves pos after the closing quote.
bool ReadQuoted(const QString& text, qsizetype& pos, QString* out) {
  out->clear();
  ++pos;
  while (pos < text.size()) {
    const QChar c = text[pos];
    if (c == QLatin1Char('"')) {
      ++pos;
      return true;
    }
    if (c == QLatin1Char('\\') && pos + 1 < text.size() &&
        (text[pos + 1] == QLatin1Char('\\') || text[pos + 1] == QLatin1Char('"'))) {
      *out += text[pos + 1];
      pos += 2;
      continue;
    }
    *out += c;
    ++pos;
  }
  return false;
}

bool ParseHexBytes(const QString& list, QByteArray* out) {
  out->clear();
  const QString trimmed = list.trimmed();
  if (trimmed.isEmpty()) return true;
  for (const QString& part : trimmed.split(QLatin1Char(','))) {
    bool ok = false;
    const uint v = part.trimmed().toUInt(&ok, 16);
    if (!ok || v > 0xFF || part.trimmed().size() > 2) return false;
    out->append(static_cast<char>(v));
  }
  return true;
}

QString HexBytes(const QByteArray& bytes) {
  QString out;
  out.reserve(bytes.size() * 3);
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    if (i) out += QLatin1Char(',');
    out += QString::asprintf("%02x", static_cast<unsigned char>(bytes[i]));
  }
  return out;
}

bool IsStringType(uint32_t type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

QByteArray Terminated(QByteArray utf8) {
  if (!utf8.endsWith('\0')) utf8.append('\0');
  return utf8;
}

}  // namespace

RegValue RegString(const QString& text, uint32_t type) {
  return RegValue{type, Terminated(text.toUtf8())};
}

RegValue RegDword(uint32_t value) {
  QByteArray data(4, '\0');
  for (int i = 0; i < 4; ++i) data[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return RegValue{REG_DWORD, data};
}

RegValue RegBinary(const QByteArray& bytes) { return RegValue{REG_BINARY, bytes}; }

bool RegistryFile::Parse(const QByteArray& bytes, QList<Key>* keys, QString* error) {
  QString text;
  if (bytes.startsWith("\xFF\xFE")) {
    text = Utf16LeToString(bytes.mid(2));
  } else if (bytes.startsWith("\xEF\xBB\xBF")) {
    text = QString::fromUtf8(bytes.mid(3));
  } else {
    text = QString::fromUtf8(bytes);
  }
  QStringList lines = text.split(QLatin1Char('\n'));
  for (QString& l : lines) {
    if (l.endsWith(QLatin1Char('\r'))) l.chop(1);
  }
  auto fail = [&](qsizetype line, const QString& what) {
    if (error) *error = QStringLiteral("line %1: %2").arg(line + 1).arg(what);
    return false;
  };

  qsizetype i = 0;
  while (i < lines.size() && lines[i].trimmed().isEmpty()) ++i;
  if (i == lines.size()) return fail(i, QStringLiteral("no header"));
  const QString header = lines[i].trimmed();
  bool unicode;
  if (header == kHeader5) {
    unicode = true;
  } else if (header == kHeader4) {
    unicode = false;
  } else {
    return fail(i, QStringLiteral("not a registry file"));
  }

  keys->clear();
  Key* current = nullptr;
  bool skipping = false;  // inside a [-key] deletion block
  for (++i; i < lines.size(); ++i) {
    const QString line = lines[i].trimmed();
    if (line.isEmpty() || line.startsWith(QLatin1Char(';'))) continue;
    if (line.startsWith(QLatin1Char('['))) {
      if (!line.endsWith(QLatin1Char(']'))) return fail(i, QStringLiteral("unterminated key"));
      QString path = line.mid(1, line.size() - 2);
      if (path.startsWith(QLatin1Char('-'))) {
        current = nullptr;
        skipping = true;
        continue;
      }
      skipping = false;
      bool otherHive = true;
      if (SameName(path, kUserHive)) {
        path.clear();
        otherHive = false;
      } else if (path.startsWith(kUserHive + QLatin1Char('\\'), Qt::CaseInsensitive)) {
        path = NormalizeKey(path.mid(kUserHive.size() + 1));
        otherHive = false;
      }
      current = nullptr;
      for (Key& k : *keys) {
        if (k.otherHive == otherHive && SameName(k.path, path)) current = &k;
      }
      if (!current) {
        keys->append(Key{path, otherHive, {}});
        current = &keys->last();
      }
      continue;
    }
    if (skipping) continue;
    if (!current) return fail(i, QStringLiteral("value outside a key"));

    QString name;
    qsizetype pos = 0;
    if (line.startsWith(QLatin1Char('@'))) {
      pos = 1;
    } else if (line.startsWith(QLatin1Char('"'))) {
      if (!ReadQuoted(line, pos, &name)) return fail(i, QStringLiteral("unterminated name"));
    } else {
      return fail(i, QStringLiteral("unexpected text"));
    }
    while (pos < line.size() && line[pos].isSpace()) ++pos;
    if (pos >= line.size() || line[pos] != QLatin1Char('=')) return fail(i, QStringLiteral("missing ="));
    ++pos;
    while (pos < line.size() && line[pos].isSpace()) ++pos;
    QString data = line.mid(pos);

    RegValue value;
    bool remove = false;
    if (data.startsWith(QLatin1Char('"'))) {
      qsizetype p = 0;
      QString s;
      if (!ReadQuoted(data, p, &s) || !data.mid(p).trimmed().isEmpty())
        return fail(i, QStringLiteral("bad string"));
      value = RegString(s);
    } else if (data == QLatin1String("-")) {
      remove = true;
    } else if (data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
      const QString digits = data.mid(6).trimmed();
      bool ok = false;
      const uint v = digits.toUInt(&ok, 16);
      if (!ok || digits.isEmpty() || digits.size() > 8) return fail(i, QStringLiteral("bad dword"));
      value = RegDword(v);
    } else if (data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive)) {
      uint32_t type = REG_BINARY;
      qsizetype colon = data.indexOf(QLatin1Char(':'));
      if (colon < 0) return fail(i, QStringLiteral("bad hex value"));
      const QString kind = data.left(colon);
      if (kind.size() > 3) {
        if (!kind.startsWith(QLatin1String("hex("), Qt::CaseInsensitive) ||
            !kind.endsWith(QLatin1Char(')')))
          return fail(i, QStringLiteral("bad hex type"));
        bool ok = false;
        type = kind.mid(4, kind.size() - 5).toUInt(&ok, 16);
        if (!ok) return fail(i, QStringLiteral("bad hex type"));
      }
      QString list = data.mid(colon + 1);
      while (list.trimmed().endsWith(QLatin1Char('\\'))) {
        list = list.trimmed();
        list.chop(1);
        if (++i >= lines.size()) return fail(i, QStringLiteral("unfinished hex value"));
        list += lines[i].trimmed();
      }
      QByteArray bytes;
      if (!ParseHexBytes(list, &bytes)) return fail(i, QStringLiteral("bad hex bytes"));
      if (IsStringType(type)) {
        const QString s = unicode ? Utf16LeToString(bytes) : QString::fromLatin1(bytes);
        bytes = Terminated(s.toUtf8());
      }
      value = RegValue{type, bytes};
    } else {
      return fail(i, QStringLiteral("unknown value type"));
    }

    auto& values = current->values;
    for (qsizetype v = 0; v < values.size(); ++v) {
      if (SameName(values[v].first, name)) {
        values.removeAt(v);
        break;
      }
    }
    if (!remove) values.append({name, value});
  }
  return true;
}

QByteArray RegistryFile::Format(const QList<Key>& keys) {
  QString out = kHeader5 + QStringLiteral("\n");
  for (const Key& key : keys) {
    out += QStringLiteral("\n[");
    if (key.otherHive) {
      out += key.path;
    } else {
      out += kUserHive;
      if (!key.path.isEmpty()) out += QLatin1Char('\\') + key.path;
    }
    out += QStringLiteral("]\n");
    for (const auto& [name, value] : key.values) {
      out += name.isEmpty() ? QStringLiteral("@=") : QLatin1Char('"') + Escape(name) + QStringLiteral("\"=");
      const QString asText = QString::fromUtf8(value.data);
      const QString untilNul = QString::fromUtf8(value.data.left(value.data.indexOf('\0')));
      bool plain = value.type == REG_SZ && value.data.endsWith('\0') &&
                   value.data.indexOf('\0') == value.data.size() - 1;
      for (QChar c : untilNul) plain = plain && c.unicode() >= 0x20;
      if (plain) {
        out += QLatin1Char('"') + Escape(untilNul) + QLatin1Char('"');
      } else if (value.type == REG_DWORD && value.data.size() == 4) {
        uint32_t v = 0;
        for (int b = 0; b < 4; ++b) v |= uint32_t(uint8_t(value.data[b])) << (8 * b);
        out += QString::asprintf("dword:%08x", v);
      } else if (value.type == REG_BINARY) {
        out += QStringLiteral("hex:") + HexBytes(value.data);
      } else {
        const QByteArray bytes = IsStringType(value.type) ? StringToUtf16Le(asText) : value.data;
        out += QString::asprintf("hex(%x):", value.type) + HexBytes(bytes);
      }
      out += QLatin1Char('\n');
    }
  }
  return out.toUtf8();
}

QString RegistryFile::DefaultFileName() { return ConfigDirectory() + QStringLiteral("/settings.reg"); }

RegistryFile::RegistryFile(const QString& fileName) : fileName_(fileName) {
  QFile file(fileName_);
  if (!file.exists()) return;
  QString error;
  bool ok = file.open(QIODevice::ReadOnly);
  if (ok) {
    ok = Parse(file.readAll(), &keys_, &error);
  } else {
    error = file.errorString();
  }
  file.close();
  if (ok) return;
  // Keep the user's file for inspection; never overwrite or delete it.
  keys_.clear();
  const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
  QString aside = fileName_ + QStringLiteral(".bad-") + stamp;
  for (int n = 2; QFileInfo::exists(aside); ++n) {
    aside = fileName_ + QStringLiteral(".bad-") + stamp + QLatin1Char('-') + QString::number(n);
  }
  if (QFile::rename(fileName_, aside)) movedAside_ = aside;
  std::fprintf(stderr, "quillatorne: settings file %s unreadable (%s); moved aside to %s\n",
               qPrintable(fileName_), qPrintable(error), qPrintable(aside));
}

RegistryFile::Key* RegistryFile::FindKey(const QString& key) {
  const QString k = NormalizeKey(key);
  for (Key& entry : keys_) {
    if (!entry.otherHive && SameName(entry.path, k)) return &entry;
  }
  return nullptr;
}

const RegistryFile::Key* RegistryFile::FindKey(const QString& key) const {
  return const_cast<RegistryFile*>(this)->FindKey(key);
}

bool RegistryFile::KeyExists(const QString& key) const {
  const QString k = NormalizeKey(key);
  if (k.isEmpty()) return true;
  for (const Key& entry : keys_) {
    if (entry.otherHive) continue;
    if (SameName(entry.path, k) || entry.path.startsWith(k + QLatin1Char('\\'), Qt::CaseInsensitive))
      return true;
  }
  return false;
}

bool RegistryFile::CreateKey(const QString& key) {
  if (FindKey(key)) return true;
  // An empty key reaches the file with the next value written into it.
  keys_.append(Key{NormalizeKey(key), false, {}});
  dirty_ = true;
  return true;
}

std::optional<RegValue> RegistryFile::QueryValue(const QString& key, const QString& name) const {
  const Key* k = FindKey(key);
  if (!k) return std::nullopt;
  for (const auto& [n, v] : k->values) {
    if (SameName(n, name)) return v;
  }
  return std::nullopt;
}

bool RegistryFile::SetValue(const QString& key, const QString& name, const RegValue& value) {
  Key* k = FindKey(key);
  if (!k) return false;
  bool found = false;
  for (auto& [n, v] : k->values) {
    if (SameName(n, name)) {
      v = value;
      found = true;
      break;
    }
  }
  if (!found) k->values.append({name, value});
  return Touch();
}

void RegistryFile::BeginUpdate() { ++updateDepth_; }

bool RegistryFile::EndUpdate() {
  if (updateDepth_ > 0) --updateDepth_;
  if (updateDepth_ > 0 || !dirty_) return true;
  return Flush();
}

bool RegistryFile::Touch() {
  dirty_ = true;
  return updateDepth_ > 0 ? true : Flush();
}

bool RegistryFile::Flush(QString* error) {
  const QByteArray bytes = Format(keys_);
  const QFileInfo info(fileName_);
  QDir().mkpath(info.absolutePath());
  const QByteArray target = QFile::encodeName(info.absoluteFilePath());
  const QByteArray temp = target + ".tmp-" + QByteArray::number(::getpid());
  QString why;
  int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) {
    why = QString::fromLocal8Bit(std::strerror(errno));
  } else {
    ::fchmod(fd, 0600);
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
      const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        why = QString::fromLocal8Bit(std::strerror(n < 0 ? errno : ENOSPC));
        break;
      }
      p += n;
      left -= n;
    }
    if (why.isEmpty() && ::fsync(fd) != 0) why = QString::fromLocal8Bit(std::strerror(errno));
    if (::close(fd) != 0 && why.isEmpty()) why = QString::fromLocal8Bit(std::strerror(errno));
    if (why.isEmpty() && ::rename(temp.constData(), target.constData()) != 0)
      why = QString::fromLocal8Bit(std::strerror(errno));
  }
  if (!why.isEmpty()) {
    ::unlink(temp.constData());
    if (error) *error = why;
    if (!reportedFailure_) {
      std::fprintf(stderr, "quillatorne: cannot save settings to %s: %s\n", target.constData(),
                   qPrintable(why));
      reportedFailure_ = true;
    }
    return false;
  }
  const QByteArray dir = QFile::encodeName(info.absolutePath());
  int dfd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  dirty_ = false;
  ++writes_;
  return true;
}
