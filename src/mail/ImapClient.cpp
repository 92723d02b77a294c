#include "mail/ImapClient.h"

#include <QHash>
#include <algorithm>
#include <utility>

namespace {
constexpr qsizetype kMaxResponse = 1 << 20;
constexpr qsizetype kMaxUntagged = 10000;

bool IsSpace(char c) { return c == ' ' || c == '\r' || c == '\n' || c == '\t'; }

class Tokens {
 public:
  explicit Tokens(const QByteArray& raw) : s_(raw) {}
  bool AtEnd() {
    SkipSpace();
    return i_ >= s_.size();
  }
  // One value; false at the end, or at a ")" that closes a list.
  bool Next(ImapValue* v) {
    SkipSpace();
    if (i_ >= s_.size() || s_[i_] == ')') return false;
    const char c = s_[i_];
    if (c == '(') {
      // A hostile server's endless nesting ends here, not in the stack.
      if (nesting_ >= kMaxNesting) {
        i_ = s_.size();
        return false;
      }
      ++i_;
      ++nesting_;
      v->kind = ImapValue::List;
      v->items.clear();
      ImapValue item;
      while (Next(&item)) v->items << std::exchange(item, {});
      if (i_ < s_.size() && s_[i_] == ')') ++i_;
      --nesting_;
      return true;
    }
    if (c == '"') {
      ++i_;
      v->kind = ImapValue::String;
      v->text.clear();
      while (i_ < s_.size() && s_[i_] != '"') {
        if (s_[i_] == '\\' && i_ + 1 < s_.size()) ++i_;
        v->text += s_[i_++];
      }
      ++i_;
      return true;
    }
    if (c == '{') {
      const qsizetype close = s_.indexOf('}', i_);
      qsizetype body = close + 1;
      if (close > 0 && body < s_.size() && s_[body] == '\r') ++body;
      if (close > 0 && body < s_.size() && s_[body] == '\n') ++body;
      bool ok = false;
      const qsizetype n = s_.mid(i_ + 1, close - i_ - 1).replace('+', "").toLongLong(&ok);
      if (close > 0 && ok && n >= 0 && body + n <= s_.size()) {
        v->kind = ImapValue::String;
        v->text = s_.mid(body, n);
        i_ = body + n;
        return true;
      }
    }
    const qsizetype start = i_;
    int depth = 0;  // BODY[HEADER.FIELDS (FROM)] is one atom
    while (i_ < s_.size()) {
      const char ch = s_[i_];
      if (ch == '\r' || ch == '\n') break;
      if (depth == 0 && (ch == ' ' || ch == '\t' || ch == '(' || ch == ')' || ch == '"')) break;
      if (ch == '[')
        ++depth;
      else if (ch == ']' && depth > 0)
        --depth;
      ++i_;
    }
    if (i_ == start) ++i_;  // a stray character: skip it
    v->text = s_.mid(start, i_ - start);
    v->kind = v->text.compare("NIL", Qt::CaseInsensitive) == 0 ? ImapValue::Nil : ImapValue::Atom;
    if (v->kind == ImapValue::Nil) v->text.clear();
    return true;
  }

 private:
  void SkipSpace() {
    while (i_ < s_.size() && IsSpace(s_[i_])) ++i_;
  }
  static constexpr int kMaxNesting = 64;
  QByteArray s_;
  qsizetype i_ = 0;
  int nesting_ = 0;
};

bool IsStatus(const QByteArray& word) {
  for (const char* s : {"OK", "NO", "BAD", "BYE", "PREAUTH"})
    if (word.compare(s, Qt::CaseInsensitive) == 0) return true;
  return false;
}

// An argument as a quoted string; nullopt when it needs a literal (8-bit, or too long).
std::optional<QByteArray> Quoted(const QByteArray& arg) {
  if (arg.size() > 1000) return std::nullopt;
  QByteArray out = "\"";
  for (char c : arg) {
    if (static_cast<uchar>(c) >= 0x80 || c == '\r' || c == '\n' || c == '\0') return std::nullopt;
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + '"';
}

QString AddressName(const ImapValue& address) {
  if (address.kind != ImapValue::List || address.items.size() < 4) return {};
  const QString name = DecodeHeaderWords(address.items[0].text).simplified();
  if (!name.isEmpty()) return name;
  const QByteArray& mailbox = address.items[2].text;
  const QByteArray& host = address.items[3].text;
  return QString::fromUtf8(host.isEmpty() ? mailbox : mailbox + '@' + host);
}
}  // namespace

QList<ImapValue> ParseImapValues(const QByteArray& raw) {
  Tokens t(raw);
  QList<ImapValue> out;
  ImapValue v;
  while (!t.AtEnd()) {
    if (!t.Next(&v)) break;
    out << std::exchange(v, {});
  }
  return out;
}

std::optional<ImapResponse> ParseImapResponse(const QByteArray& raw) {
  ImapResponse r;
  const qsizetype space = raw.indexOf(' ');
  QByteArray rest;
  if (raw.startsWith('+')) {
    r.tag = "+";
    r.text = raw.mid(1).trimmed();
    return r;
  }
  if (space <= 0) return std::nullopt;
  r.tag = raw.left(space);
  rest = raw.mid(space + 1);
  const qsizetype end = rest.indexOf(' ');
  const QByteArray first = (end < 0 ? rest : rest.left(end)).trimmed();
  if (IsStatus(first)) {
    r.status = first.toUpper();
    QByteArray text = end < 0 ? QByteArray() : rest.mid(end + 1).trimmed();
    if (text.startsWith('[')) {
      const qsizetype close = text.indexOf(']');
      if (close > 0) {
        r.code = text.mid(1, close - 1);
        text = text.mid(close + 1).trimmed();
      }
    }
    r.text = text;
    return r;
  }
  if (r.tag != "*") return std::nullopt;  // a tagged reply is always a status
  r.data = ParseImapValues(rest);
  if (r.data.isEmpty()) return std::nullopt;
  return r;
}

MailSummary SummaryOfEnvelope(const ImapValue& envelope) {
  MailSummary s;
  if (envelope.kind != ImapValue::List || envelope.items.size() < 3) return s;
  s.subject = DecodeHeaderWords(envelope.items[1].text).simplified();
  const ImapValue& from = envelope.items[2];
  if (from.kind == ImapValue::List && !from.items.isEmpty()) s.sender = AddressName(from.items[0]);
  return s;
}

ImapClient::ImapClient() { Port = kDefaultPort; }

QByteArray ImapClient::ReadResponse() {
  QByteArray raw = ReadLn();
  if (raw.isEmpty()) {
    // The server hung up: with a BYE first, that says why.
    throw Pop3Error(bye_.isEmpty() ? QByteArrayLiteral("The server hung up") : bye_,
                    Pop3Failure::NoAnswer);
  }
  // A line that ends in {n} goes on after n bytes of literal.
  for (;;) {
    const QByteArray line = raw.right(qMin<qsizetype>(raw.size(), 24)).trimmed();
    if (!line.endsWith('}')) return raw;
    const qsizetype open = line.lastIndexOf('{');
    bool ok = false;
    const qsizetype n =
        open < 0 ? -1 : line.mid(open + 1, line.size() - open - 2).replace('+', "").toLongLong(&ok);
    if (!ok || n < 0) return raw;
    if (raw.size() + n > kMaxResponse) {
      CloseNow();
      throw Pop3Error(QByteArrayLiteral("Response too long"), Pop3Failure::NoAnswer);
    }
    const QByteArray literal = ReadBytes(n);
    if (literal.size() < n)
      throw Pop3Error(QByteArrayLiteral("The server hung up"), Pop3Failure::NoAnswer);
    raw += literal;
    const QByteArray more = ReadLn();
    if (more.isEmpty())
      throw Pop3Error(QByteArrayLiteral("The server hung up"), Pop3Failure::NoAnswer);
    raw += more;
  }
}

ImapResponse ImapClient::NextResponse() {
  const QByteArray raw = ReadResponse();
  std::optional<ImapResponse> r = ParseImapResponse(raw);
  if (!r) {
    CloseNow();
    throw Pop3Error("Not an IMAP response: " + raw.left(200).trimmed(), Pop3Failure::NoAnswer);
  }
  if (r->tag == "*" && r->status == "BYE") bye_ = r->text.isEmpty() ? QByteArray("BYE") : r->text;
  if (r->tag == "*" || !r->status.isEmpty()) NoteCapabilities(*r);
  return *r;
}

void ImapClient::NoteCapabilities(const ImapResponse& r) {
  QList<QByteArray> words;
  if (r.code.startsWith("CAPABILITY ")) {
    words = r.code.split(' ').mid(1);
  } else if (!r.data.isEmpty() && r.data[0].isAtom("CAPABILITY")) {
    for (const ImapValue& v : r.data.mid(1)) words << v.text;
  } else {
    return;
  }
  capabilities_.clear();
  for (const QByteArray& w : words) capabilities_ << w.toUpper();
}

ImapClient::Reply ImapClient::ReadUntil(const QByteArray& tag) {
  Reply reply;
  for (;;) {
    ImapResponse r = NextResponse();
    if (r.tag == tag) {
      reply.tagged = std::move(r);
      return reply;
    }
    if (r.tag == "*") reply.untagged << std::move(r);
    if (reply.untagged.size() > kMaxUntagged) {
      // No command of ours is answered at such length: the server is out of step or hostile.
      CloseNow();
      throw Pop3Error(QByteArrayLiteral("Too many responses"), Pop3Failure::NoAnswer);
    }
    // Anything else ("+" out of turn, another tag) is not ours to answer.
  }
}

ImapClient::Reply ImapClient::Command(const QByteArray& verb, const QList<QByteArray>& args) {
  const QByteArray tag = "q" + QByteArray::number(++nextTag_);
  QByteArray line = tag + ' ' + verb;
  for (const QByteArray& arg : args) {
    if (const auto quoted = Quoted(arg)) {
      line += ' ' + *quoted;
      continue;
    }
    // A synchronising literal: the server must say go on before the bytes are sent.
    Writeln(line + " {" + QByteArray::number(arg.size()) + '}');
    for (;;) {
      ImapResponse r = NextResponse();
      if (r.tag == "+") break;
      if (r.tag == tag) return {std::move(r), {}};
    }
    line = arg;
  }
  Writeln(line);
  return ReadUntil(tag);
}

void ImapClient::Expect(const Reply& reply, Pop3Failure failure) {
  if (reply.tagged.status == "OK") return;
  const QByteArray text = reply.tagged.status + ' ' + reply.tagged.text;
  throw Pop3Error(text.trimmed(), failure);
}

void ImapClient::Connect() {
  CheckCredentials();
  capabilities_.clear();
  uidValidity_.clear();
  selected_ = false;
  messages_ = -1;
  arrived_ = false;
  bye_.clear();
  OpenConnection();
  try {
    const ImapResponse greeting = NextResponse();
    if (greeting.tag != "*" || greeting.status.isEmpty())
      Fail(QByteArrayLiteral("Not an IMAP greeting"), Pop3Failure::ServerRefused);
    if (greeting.status != "OK" && greeting.status != "PREAUTH")
      Fail(greeting.status + ' ' + greeting.text, Pop3Failure::ServerRefused);
    if (Security == MailSecurity::StartTls) {
      if (greeting.status == "PREAUTH")
        Fail(QByteArrayLiteral("STARTTLS impossible after PREAUTH"), Pop3Failure::NoTls);
      // Never anything but TLS after this: no LOGIN unless STARTTLS was accepted.
      Expect(Command("STARTTLS"), Pop3Failure::NoTls);
      StartTls();
      capabilities_.clear();  // what was said before TLS may have been forged
    }
    if (greeting.status != "PREAUTH")
      Expect(Command("LOGIN", {UserID.toUtf8(), Password.toUtf8()}), Pop3Failure::LoginRefused);
    if (capabilities_.isEmpty()) Expect(Command("CAPABILITY"), Pop3Failure::ServerRefused);
    const Reply status = Command("STATUS INBOX (MESSAGES UNSEEN UIDVALIDITY)");
    Expect(status, Pop3Failure::ServerRefused);
    int unseen = 0;
    for (const ImapResponse& r : status.untagged) {
      if (r.data.size() < 3 || !r.data[0].isAtom("STATUS")) continue;
      const QList<ImapValue>& items = r.data[2].items;
      for (qsizetype i = 0; i + 1 < items.size(); i += 2) {
        if (items[i].isAtom("UNSEEN")) unseen = ParseCount(items[i + 1].text);
        if (items[i].isAtom("UIDVALIDITY")) uidValidity_ = items[i + 1].text;
        if (items[i].isAtom("MESSAGES")) messages_ = ParseCount(items[i + 1].text);
      }
    }
    messageCount_ = unseen;
  } catch (const Pop3Error&) {
    CloseNow();
    throw;
  }
}

void ImapClient::Disconnect() {
  if (!open_) return;
  Reply reply;
  try {
    reply = Command("LOGOUT");
  } catch (const Pop3Error&) {
    // LOGOUT's BYE may come with the end of the stream before the tagged OK.
    if (!bye_.isEmpty() && !socket_) return;
    CloseNow();
    throw;
  }
  CloseGracefully();
  Expect(reply, Pop3Failure::ServerRefused);
}

void ImapClient::Select() {
  if (selected_) return;
  // EXAMINE: read-only, so nothing the check does marks a message seen.
  const Reply reply = Command("EXAMINE INBOX");
  Expect(reply, Pop3Failure::ServerRefused);
  selected_ = true;
  // More messages than STATUS counted: some came in between. Without that count, this is
  // where counting starts.
  // (RECENT here counts what no session has looked at yet, old news included.)
  const bool known = messages_ >= 0;
  for (const ImapResponse& r : reply.untagged) {
    if (r.data.size() >= 2 && r.data[1].isAtom("RECENT")) continue;
    if (NoteArrivals(r) && known) arrived_ = true;
  }
}

bool ImapClient::NoteArrivals(const ImapResponse& r) {
  if (r.tag != "*" || r.data.size() < 2) return false;
  bool ok = false;
  const int n = r.data[0].text.toInt(&ok);
  if (!ok || n < 0) return false;
  if (r.data[1].isAtom("EXPUNGE")) {
    if (messages_ > 0) --messages_;
    return false;
  }
  if (r.data[1].isAtom("RECENT")) return n > 0;
  if (!r.data[1].isAtom("EXISTS")) return false;
  // A size not above the one known is the server repeating itself (or counting what the
  // user's own mail program removed), no arrival.
  const bool grew = messages_ < 0 || n > messages_;
  messages_ = n;
  return grew;
}

std::optional<QStringList> ImapClient::MessageIds() {
  if (!open_) return std::nullopt;
  Select();
  const Reply reply = Command("UID SEARCH UNSEEN");
  if (reply.tagged.status != "OK") return std::nullopt;
  QList<quint64> uids;
  for (const ImapResponse& r : reply.untagged) {
    if (r.data.isEmpty() || !r.data[0].isAtom("SEARCH")) continue;
    for (const ImapValue& v : r.data.mid(1)) {
      bool ok = false;
      const quint64 uid = v.text.toULongLong(&ok);
      if (ok && uid > 0) uids << uid;
    }
  }
  std::sort(uids.begin(), uids.end());
  QStringList ids;
  for (quint64 uid : uids) ids << QString::fromLatin1(uidValidity_ + '/' + QByteArray::number(uid));
  return ids;
}

QList<MailSummary> ImapClient::Summaries(const QStringList& ids) {
  QList<MailSummary> out;
  if (!open_ || ids.isEmpty()) return out;
  QList<QByteArray> uids;
  for (const QString& id : ids) {
    const QByteArray uid = id.section('/', 1).toLatin1();
    if (id.section('/', 0, 0).toLatin1() == uidValidity_ && !uid.isEmpty()) uids << uid;
  }
  if (uids.isEmpty()) return out;
  Select();
  const Reply reply = Command("UID FETCH " + uids.join(',') + " (UID ENVELOPE)");
  if (reply.tagged.status != "OK") return out;
  QHash<QByteArray, MailSummary> byUid;
  for (const ImapResponse& r : reply.untagged) {
    if (r.data.size() < 3 || !r.data[1].isAtom("FETCH")) continue;
    const QList<ImapValue>& items = r.data[2].items;
    QByteArray uid;
    const ImapValue* envelope = nullptr;
    for (qsizetype i = 0; i + 1 < items.size(); i += 2) {
      if (items[i].isAtom("UID")) uid = items[i + 1].text;
      if (items[i].isAtom("ENVELOPE")) envelope = &items[i + 1];
    }
    if (!uid.isEmpty() && envelope) byUid.insert(uid, SummaryOfEnvelope(*envelope));
  }
  for (const QByteArray& uid : uids)
    if (byUid.contains(uid)) out << byUid.value(uid);
  return out;
}

bool ImapClient::CanIdle() const { return capabilities_.contains("IDLE"); }

bool ImapClient::WaitForNews(int ms) {
  if (!open_) throw Pop3Error(QByteArrayLiteral("Not connected"), Pop3Failure::NoAnswer);
  Select();
  // Mail that came before IDLE began is news as well: between the connection's STATUS and
  // EXAMINE, or between two IDLEs. The server says so when it next speaks, which may be
  // before IDLE's go-ahead or with the answer to DONE.
  bool news = std::exchange(arrived_, false);
  if (news) return true;
  const QByteArray tag = "q" + QByteArray::number(++nextTag_);
  Writeln(tag + " IDLE");
  for (;;) {
    ImapResponse r = NextResponse();
    if (r.tag == "+") break;
    if (r.tag == tag) {
      Expect({r, {}}, Pop3Failure::ServerRefused);
      return news;  // done already: nothing more to wait for
    }
    news = NoteArrivals(r) || news;
  }
  QDeadlineTimer deadline(ms);
  while (!news && WaitForData(static_cast<int>(qMax<qint64>(0, deadline.remainingTime())))) {
    const ImapResponse r = NextResponse();
    if (r.tag == "*" && r.status == "BYE") continue;  // the hang-up that follows says it
    if (r.tag == tag) {
      // The server ended the IDLE itself.
      Expect({r, {}}, Pop3Failure::ServerRefused);
      return news;
    }
    // Only arrivals are news: flags changed or messages removed by the user's mail program
    // must not bring the same announcement again.
    news = NoteArrivals(r) || news;
    if (deadline.hasExpired()) break;
  }
  Writeln("DONE");
  const Reply done = ReadUntil(tag);
  Expect(done, Pop3Failure::ServerRefused);
  for (const ImapResponse& r : done.untagged) news = NoteArrivals(r) || news;
  return news;
}
