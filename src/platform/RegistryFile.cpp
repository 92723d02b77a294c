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

// Names of keys and values match without regard to case.
QString Fold(const QString& name) { return name.toCaseFolded(); }

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

QByteArray HexBytes(const QByteArray& bytes) {
  static const char digits[] = "0123456789abcdef";
  QByteArray out;
  out.reserve(bytes.size() * 3);
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    if (i) out += ',';
    const auto b = static_cast<unsigned char>(bytes[i]);
    out += digits[b >> 4];
    out += digits[b & 15];
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

QByteArray FormatValue(const RegistryFile::Value& v) {
  const RegValue& value = v.value;
  QByteArray out = v.name.isEmpty() ? QByteArray("@=") : '"' + Escape(v.name).toUtf8() + "\"=";
  const QString untilNul = QString::fromUtf8(value.data.left(value.data.indexOf('\0')));
  bool plain = value.type == REG_SZ && value.data.endsWith('\0') &&
               value.data.indexOf('\0') == value.data.size() - 1;
  for (QChar c : untilNul) plain = plain && c.unicode() >= 0x20;
  if (plain) {
    out += '"' + Escape(untilNul).toUtf8() + '"';
  } else if (value.type == REG_DWORD && value.data.size() == 4) {
    uint32_t d = 0;
    for (int b = 0; b < 4; ++b) d |= uint32_t(uint8_t(value.data[b])) << (8 * b);
    out += QString::asprintf("dword:%08x", d).toLatin1();
  } else if (value.type == REG_BINARY) {
    out += "hex:" + HexBytes(value.data);
  } else {
    const QByteArray bytes =
        IsStringType(value.type) ? StringToUtf16Le(QString::fromUtf8(value.data)) : value.data;
    out += QString::asprintf("hex(%x):", value.type).toLatin1() + HexBytes(bytes);
  }
  return out;
}

// A name beside `fileName` for a copy of it: <file>.<tag>-<time>, never an existing file.
QString AsideName(const QString& fileName, const char* tag) {
  const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
  const QString base = fileName + QLatin1Char('.') + QLatin1String(tag) + QLatin1Char('-') + stamp;
  QString name = base;
  for (int n = 2; QFileInfo::exists(name); ++n) name = base + QLatin1Char('-') + QString::number(n);
  return name;
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

bool RegistryFile::Parse(const QByteArray& bytes, QList<Key>* keys, QString* error, bool* exact) {
  // Each line twice: as text to parse, and as the bytes a save writes back for a value
  // nobody changed, so that whatever the text cannot hold (bytes that are not UTF-8, an odd
  // byte in a hex(1) list) survives.
  QStringList lines;
  QList<QByteArray> raw;
  bool isExact = true;
  if (bytes.startsWith("\xFF\xFE")) {
    QStringDecoder decode(QStringConverter::Utf16LE);
    const QString text = decode(QByteArrayView(bytes).sliced(2));
    // An unpaired surrogate decodes, but has no UTF-8 form to be saved in.
    isExact = !decode.hasError() && QStringView(text).isValidUtf16();
    lines = text.split(QLatin1Char('\n'));
    for (QString& l : lines) {
      if (l.endsWith(QLatin1Char('\r'))) l.chop(1);
      raw << l.toUtf8();
    }
  } else {
    const QByteArray body = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
    raw = body.split('\n');
    for (QByteArray& l : raw) {
      if (l.endsWith('\r')) l.chop(1);
      lines << QString::fromUtf8(l);
    }
  }
  if (exact) *exact = isExact;
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
  // Lookups while parsing: a key named twice gathers its values in one place, and a value
  // named twice keeps the last.
  QHash<QString, qsizetype> keyAt;  // "U" or "O" (other hive) + folded path
  QList<QHash<QString, qsizetype>> valueAt;
  QList<QList<bool>> removed;
  qsizetype current = -1;
  bool skipping = false;  // inside a [-key] deletion block
  for (++i; i < lines.size(); ++i) {
    const QString line = lines[i].trimmed();
    if (line.isEmpty() || line.startsWith(QLatin1Char(';'))) continue;
    if (line.startsWith(QLatin1Char('['))) {
      if (!line.endsWith(QLatin1Char(']'))) return fail(i, QStringLiteral("unterminated key"));
      QString path = line.mid(1, line.size() - 2);
      if (path.startsWith(QLatin1Char('-'))) {
        current = -1;
        skipping = true;
        continue;
      }
      skipping = false;
      bool otherHive = true;
      if (path.compare(kUserHive, Qt::CaseInsensitive) == 0) {
        path.clear();
        otherHive = false;
      } else if (path.startsWith(kUserHive + QLatin1Char('\\'), Qt::CaseInsensitive)) {
        path = NormalizeKey(path.mid(kUserHive.size() + 1));
        otherHive = false;
      }
      const QString id = (otherHive ? QLatin1Char('O') : QLatin1Char('U')) + Fold(path);
      current = keyAt.value(id, -1);
      if (current < 0) {
        current = keys->size();
        keyAt.insert(id, current);
        keys->append(Key(path, otherHive, {}, raw[i]));
        valueAt.append(QHash<QString, qsizetype>());
        removed.append(QList<bool>());
      }
      continue;
    }
    if (skipping) continue;
    if (current < 0) return fail(i, QStringLiteral("value outside a key"));

    const qsizetype first = i;
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
    if (pos >= line.size() || line[pos] != QLatin1Char('='))
      return fail(i, QStringLiteral("missing ="));
    ++pos;
    while (pos < line.size() && line[pos].isSpace()) ++pos;
    QString data = line.mid(pos);

    RegValue value;
    bool remove = false;
    bool keepRaw = true;
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
        // A save writes version 5, where these bytes would read as UTF-16.
        keepRaw = unicode;
      }
      value = RegValue{type, bytes};
    } else {
      return fail(i, QStringLiteral("unknown value type"));
    }

    Key& key = (*keys)[current];
    auto& at = valueAt[current];
    const QString folded = Fold(name);
    const qsizetype existing = at.value(folded, -1);
    if (remove) {
      if (existing >= 0) {
        removed[current][existing] = true;
        at.remove(folded);
      }
      continue;
    }
    QByteArray lineBytes;
    if (keepRaw) {
      lineBytes = raw[first];
      for (qsizetype n = first + 1; n <= i; ++n) lineBytes += '\n' + raw[n];
    }
    if (existing >= 0) {
      key.values[existing] = Value(name, value, lineBytes);
    } else {
      at.insert(folded, key.values.size());
      key.values.append(Value(name, value, lineBytes));
      removed[current].append(false);
    }
  }
  for (qsizetype k = 0; k < keys->size(); ++k) {
    if (!removed[k].contains(true)) continue;
    QList<Value> kept;
    for (qsizetype v = 0; v < removed[k].size(); ++v)
      if (!removed[k][v]) kept.append((*keys)[k].values[v]);
    (*keys)[k].values = kept;
  }
  return true;
}

QByteArray RegistryFile::Format(const QList<Key>& keys) {
  QByteArray out = QByteArray(kHeader5.data(), kHeader5.size()) + '\n';
  for (const Key& key : keys) {
    out += '\n';
    if (!key.raw.isEmpty()) {
      out += key.raw;
    } else {
      QString header = QStringLiteral("[");
      if (key.otherHive) {
        header += key.path;
      } else {
        header += kUserHive;
        if (!key.path.isEmpty()) header += QLatin1Char('\\') + key.path;
      }
      out += (header + QLatin1Char(']')).toUtf8();
    }
    out += '\n';
    for (const Value& v : key.values) {
      out += v.raw.isEmpty() ? FormatValue(v) : v.raw;
      out += '\n';
    }
  }
  return out;
}

QString RegistryFile::DefaultFileName() {
  return ConfigDirectory() + QStringLiteral("/settings.reg");
}

RegistryFile::RegistryFile(const QString& fileName) : fileName_(fileName) {
  QFile file(fileName_);
  if (!file.exists()) return;
  QString error;
  bool exact = true;
  bool ok = file.open(QIODevice::ReadOnly);
  if (ok) {
    ok = Parse(file.readAll(), &keys_, &error, &exact);
  } else {
    error = file.errorString();
  }
  file.close();
  if (ok) {
    keepOriginal_ = !exact;
    Index();
    return;
  }
  // Keep the user's file for inspection; never overwrite or delete it.
  keys_.clear();
  const QString aside = AsideName(fileName_, "bad");
  // A file we may not move (a read-only folder) is copied instead; one we can neither move
  // nor copy is never written over, so this run's saves are refused.
  if (QFile::rename(fileName_, aside) || QFile::copy(fileName_, aside)) {
    movedAside_ = aside;
    std::fprintf(stderr, "quillatorne: settings file %s unreadable (%s); kept aside as %s\n",
                 qPrintable(fileName_), qPrintable(error), qPrintable(aside));
  } else {
    keepUnsaved_ = true;
    std::fprintf(stderr,
                 "quillatorne: settings file %s unreadable (%s) and cannot be kept aside; "
                 "settings will not be saved over it\n",
                 qPrintable(fileName_), qPrintable(error));
  }
}

void RegistryFile::Index() {
  keyIndex_.clear();
  valueIndex_.clear();
  keyPrefixes_.clear();
  for (qsizetype k = 0; k < keys_.size(); ++k) IndexKey(k);
}

void RegistryFile::IndexKey(qsizetype k) {
  const Key& key = keys_[k];
  valueIndex_.resize(keys_.size());
  auto& values = valueIndex_[k];
  for (qsizetype v = 0; v < key.values.size(); ++v) values.insert(Fold(key.values[v].name), v);
  if (key.otherHive) return;
  const QString path = Fold(key.path);
  keyIndex_.insert(path, k);
  for (qsizetype slash = path.indexOf(QLatin1Char('\\')); slash >= 0;
       slash = path.indexOf(QLatin1Char('\\'), slash + 1))
    keyPrefixes_.insert(path.left(slash));
  keyPrefixes_.insert(path);
}

qsizetype RegistryFile::FindKey(const QString& key) const {
  return keyIndex_.value(Fold(NormalizeKey(key)), -1);
}

bool RegistryFile::KeyExists(const QString& key) const {
  const QString k = NormalizeKey(key);
  return k.isEmpty() || keyPrefixes_.contains(Fold(k));
}

bool RegistryFile::CreateKey(const QString& key) {
  if (FindKey(key) >= 0) return true;
  // An empty key reaches the file with the next value written into it.
  keys_.append(Key(NormalizeKey(key), false));
  IndexKey(keys_.size() - 1);
  dirty_ = true;
  return true;
}

std::optional<RegValue> RegistryFile::QueryValue(const QString& key, const QString& name) const {
  const qsizetype k = FindKey(key);
  if (k < 0) return std::nullopt;
  const qsizetype v = valueIndex_[k].value(Fold(name), -1);
  if (v < 0) return std::nullopt;
  return keys_[k].values[v].value;
}

bool RegistryFile::SetValue(const QString& key, const QString& name, const RegValue& value) {
  const qsizetype k = FindKey(key);
  if (k < 0) return false;
  auto& values = keys_[k].values;
  const qsizetype v = valueIndex_[k].value(Fold(name), -1);
  if (v < 0) {
    valueIndex_[k].insert(Fold(name), values.size());
    values.append(Value(name, value));
  } else if (!(values[v].value == value)) {
    values[v].value = value;
    values[v].raw.clear();
  }
  return Touch();
}

std::optional<QStringList> RegistryFile::ValueNames(const QString& key) const {
  QStringList names;
  const qsizetype k = FindKey(key);
  if (k >= 0)
    for (const Value& v : keys_[k].values) names << v.name;
  return names;
}

std::optional<QStringList> RegistryFile::SubKeyNames(const QString& key) const {
  const QString parent = NormalizeKey(key);
  const QString prefix = parent.isEmpty() ? QString() : parent + QLatin1Char('\\');
  QStringList names;
  QSet<QString> seen;
  for (const Key& k : keys_) {
    if (k.otherHive || k.path.size() <= prefix.size() ||
        !k.path.startsWith(prefix, Qt::CaseInsensitive))
      continue;
    const QString child = k.path.mid(prefix.size()).section(QLatin1Char('\\'), 0, 0);
    if (!seen.contains(Fold(child))) {
      seen.insert(Fold(child));
      names << child;
    }
  }
  return names;
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

void RegistryFile::KeepOriginal() {
  if (!QFileInfo::exists(fileName_)) {
    keepOriginal_ = false;  // gone meanwhile: nothing left to keep
    return;
  }
  const QString copy = AsideName(fileName_, "orig");
  if (!QFile::copy(fileName_, copy)) return;
  keepOriginal_ = false;
  originalKept_ = copy;
  std::fprintf(stderr,
               "quillatorne: settings file %s holds text that cannot be written back exactly; "
               "the original is kept as %s\n",
               qPrintable(fileName_), qPrintable(copy));
}

bool RegistryFile::Flush(QString* error) {
  if (keepUnsaved_) {
    if (error) *error = QStringLiteral("the unreadable settings file could not be kept aside");
    return false;
  }
  if (keepOriginal_) {
    KeepOriginal();
    if (keepOriginal_) {
      if (error) *error = QStringLiteral("cannot keep a copy of the original file");
      return false;  // overwriting now would lose what the copy was to keep
    }
  }
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
