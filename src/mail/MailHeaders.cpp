#include "mail/MailHeaders.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace {
// 0x80 to 0x9F of windows-1252; 0 where the code page leaves a gap (kept as the C1 control).
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// ISO-8859-15 is Latin-1 but for eight places.
char16_t Latin9(uchar c) {
  switch (c) {
    case 0xA4:
      return 0x20AC;
    case 0xA6:
      return 0x0160;
    case 0xA8:
      return 0x0161;
    case 0xB4:
      return 0x017D;
    case 0xB8:
      return 0x017E;
    case 0xBC:
      return 0x0152;
    case 0xBD:
      return 0x0153;
    case 0xBE:
      return 0x0178;
    default:
      return c;
  }
}

QString SingleByte(const QByteArray& bytes, char16_t (*map)(uchar)) {
  QString out;
  out.reserve(bytes.size());
  for (char c : bytes) out += QChar(map(static_cast<uchar>(c)));
  return out;
}

char16_t Latin1(uchar c) { return c; }
char16_t Windows1252(uchar c) {
  if (c >= 0x80 && c < 0xA0 && kWindows1252High[c - 0x80]) return kWindows1252High[c - 0x80];
  return c;
}

bool Utf8(const QByteArray& bytes, QString* out) {
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  *out = decoder.decode(bytes);
  return !decoder.hasError();
}

QByteArray DecodeQ(const QByteArray& text) {
  QByteArray out;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '_') {
      out += ' ';
    } else if (c == '=' && i + 2 < text.size()) {
      bool ok = false;
      const int v = text.mid(i + 1, 2).toInt(&ok, 16);
      if (ok) {
        out += char(v);
        i += 2;
      } else {
        out += c;
      }
    } else {
      out += c;
    }
  }
  return out;
}

QString Unquote(QString s) {
  s = s.trimmed();
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') {
    s = s.mid(1, s.size() - 2);
    QString out;
    for (qsizetype i = 0; i < s.size(); ++i) {
      if (s[i] == '\\' && i + 1 < s.size()) ++i;
      out += s[i];
    }
    return out;
  }
  return s;
}
}  // namespace

QString DecodeCharset(const QByteArray& bytes, const QByteArray& charset) {
  QByteArray name = charset.trimmed().toLower();
  // RFC 2231 lets a language follow the name: "utf-8*en".
  if (const qsizetype star = name.indexOf('*'); star >= 0) name.truncate(star);
  QString text;
  if (name == "utf-8" || name == "utf8") {
    Utf8(bytes, &text);  // bad sequences become replacement characters
    return text;
  }
  if (name == "iso-8859-1" || name == "latin1" || name == "iso_8859-1" || name == "us-ascii")
    return SingleByte(bytes, Latin1);
  if (name == "iso-8859-15" || name == "latin-9" || name == "iso_8859-15")
    return SingleByte(bytes, Latin9);
  if (name == "windows-1252" || name == "cp1252") return SingleByte(bytes, Windows1252);
  if (Utf8(bytes, &text)) return text;
  return SingleByte(bytes, Windows1252);
}

QString DecodeHeaderWords(const QByteArray& value) {
  static const QRegularExpression word(QStringLiteral(R"(=\?([^?\s]+)\?([BbQq])\?([^?\s]*)\?=)"));
  // Matched on a Latin-1 view so that byte offsets stay character offsets.
  const QString view = QString::fromLatin1(value);
  QString out;
  qsizetype at = 0;
  bool lastWasEncoded = false;
  auto it = word.globalMatch(view);
  while (it.hasNext()) {
    const QRegularExpressionMatch m = it.next();
    const QByteArray between = value.mid(at, m.capturedStart() - at);
    if (!(lastWasEncoded && between.trimmed().isEmpty())) out += DecodeCharset(between, {});
    const QByteArray charset = m.captured(1).toLatin1();
    const QByteArray text = m.captured(3).toLatin1();
    const QByteArray raw = m.captured(2).compare(QLatin1String("B"), Qt::CaseInsensitive) == 0
                               ? QByteArray::fromBase64(text)
                               : DecodeQ(text);
    out += DecodeCharset(raw, charset);
    at = m.capturedEnd();
    lastWasEncoded = true;
  }
  out += DecodeCharset(value.mid(at), {});
  return out;
}

QString SenderName(const QByteArray& fromValue) {
  const QByteArray value = fromValue.trimmed();
  const qsizetype open = value.lastIndexOf('<');
  if (open >= 0) {
    const QString name = Unquote(DecodeHeaderWords(value.left(open)));
    if (!name.isEmpty()) return name;
    const qsizetype close = value.indexOf('>', open);
    return QString::fromUtf8(value.mid(open + 1, close < 0 ? -1 : close - open - 1)).trimmed();
  }
  // The old form: "ann@example.org (Ann Smith)".
  const qsizetype paren = value.indexOf('(');
  if (paren > 0 && value.endsWith(')')) {
    const QString name = DecodeHeaderWords(value.mid(paren + 1, value.size() - paren - 2));
    if (!name.trimmed().isEmpty()) return name.trimmed();
    return QString::fromUtf8(value.left(paren)).trimmed();
  }
  return DecodeHeaderWords(value).trimmed();
}

MailSummary SummaryOfHeader(const QByteArray& header) {
  QByteArray from, subject;
  QByteArray* current = nullptr;
  for (QByteArray line : header.split('\n')) {
    if (line.endsWith('\r')) line.chop(1);
    if (line.isEmpty()) break;  // the header ends at the first empty line
    if (line.front() == ' ' || line.front() == '\t') {
      // A folded line goes on with the one before it.
      if (current) *current += line;
      continue;
    }
    current = nullptr;
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0) continue;
    const QByteArray name = line.left(colon).trimmed().toLower();
    if (name == "from" && from.isEmpty())
      current = &from;
    else if (name == "subject" && subject.isEmpty())
      current = &subject;
    if (current) *current = line.mid(colon + 1);
  }
  return {SenderName(from), DecodeHeaderWords(subject.trimmed()).simplified()};
}

QString SummaryLine(const MailSummary& summary) {
  const QString subject =
      summary.subject.isEmpty() ? QStringLiteral("(no subject)") : summary.subject;
  if (summary.sender.isEmpty()) return subject;
  return summary.sender + QStringLiteral(": ") + subject;
}
