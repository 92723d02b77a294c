#pragma once
// The IMAP side of the mail check: the unseen messages of INBOX, who sent them and about
// what, and IDLE to hear of new mail as it arrives. It speaks over the POP3 client's
// connection layer, so both protocols share one TLS policy (system CAs, host check, never
// a fall-back to plain text) and one way of giving up when the program quits.
#include <QByteArray>
#include <QList>
#include <QStringList>
#include <optional>

#include "mail/Pop3Client.h"

// One piece of a server's response: an atom or number, a string (quoted or literal), NIL,
// or a parenthesised list.
struct ImapValue {
  enum Kind { Atom, String, Nil, List } kind = Nil;
  QByteArray text;
  QList<ImapValue> items;
  bool isAtom(const char* word) const {
    return kind == Atom && text.compare(word, Qt::CaseInsensitive) == 0;
  }
};

// A whole response as read off the wire, its literals in place ("{n}\r\n" and n bytes).
struct ImapResponse {
  QByteArray tag;         // "*", "+" or a command's tag
  QByteArray status;      // OK, NO, BAD, BYE, PREAUTH; empty for data
  QByteArray code;        // what a status's [brackets] hold, without them
  QByteArray text;        // a status's human text
  QList<ImapValue> data;  // the rest, for data responses: "3 EXISTS", "STATUS INBOX (...)"
};
// Parses one response; nullopt when it is no IMAP at all.
std::optional<ImapResponse> ParseImapResponse(const QByteArray& raw);
// The values of a string of IMAP tokens.
QList<ImapValue> ParseImapValues(const QByteArray& raw);
// Sender and subject out of a FETCH ENVELOPE value.
MailSummary SummaryOfEnvelope(const ImapValue& envelope);

class ImapClient : public Pop3Client {
 public:
  static constexpr int kDefaultPort = 143;
  static constexpr int kTlsPort = 993;
  static int DefaultPort(MailSecurity security) {
    return security == MailSecurity::SslTls ? kTlsPort : kDefaultPort;
  }
  // Servers drop an idle client after 30 minutes; IDLE is renewed well before.
  static constexpr int kIdleRenewMs = 29 * 60 * 1000;

  ImapClient();

  // Greeting, STARTTLS when asked for, LOGIN, STATUS INBOX (UNSEEN UIDVALIDITY): the count
  // is INBOX's unseen messages.
  void Connect() override;
  // LOGOUT and close.
  void Disconnect() override;
  // The unseen messages of INBOX, as "uidvalidity/uid", oldest first.
  std::optional<QStringList> MessageIds() override;
  QList<MailSummary> Summaries(const QStringList& ids) override;

  // The server offers IDLE (known after Connect).
  bool CanIdle() const;
  // Waits in IDLE for at most ms for new messages in INBOX; true when some came. A server
  // that says BYE or hangs up fails with NoAnswer.
  bool WaitForNews(int ms);

  const QList<QByteArray>& Capabilities() const { return capabilities_; }

 private:
  struct Reply {
    ImapResponse tagged;
    QList<ImapResponse> untagged;
  };
  QByteArray ReadResponse();
  ImapResponse NextResponse();
  // Sends a command with its arguments as strings (quoted, or literals when they must be),
  // and reads up to its tagged reply.
  Reply Command(const QByteArray& verb, const QList<QByteArray>& args = {});
  Reply ReadUntil(const QByteArray& tag);
  void Expect(const Reply& reply, Pop3Failure failure);
  void NoteCapabilities(const ImapResponse& response);
  void Select();
  // Keeps the count of INBOX's messages up to date from an untagged response; true when it
  // tells of new ones.
  bool NoteArrivals(const ImapResponse& response);

  int nextTag_ = 0;
  QList<QByteArray> capabilities_;
  QByteArray uidValidity_;
  bool selected_ = false;
  int messages_ = -1;     // INBOX's messages as last told; -1 before the server has said
  bool arrived_ = false;  // new ones came before IDLE could hear of them
  QByteArray bye_;  // what the server said with BYE, should it then hang up
};
