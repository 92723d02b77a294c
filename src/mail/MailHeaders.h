#pragma once
// Who wrote a message and about what, from its header as the server hands it over.
#include <QByteArray>
#include <QList>
#include <QString>

struct MailSummary {
  QString sender;  // the display name, else the address
  QString subject;
};

// Bytes in a named character set. Known: UTF-8, US-ASCII, ISO-8859-1, ISO-8859-15 and
// windows-1252; any other name reads as UTF-8 when the bytes are valid UTF-8, else as
// windows-1252, which is what an unlabelled 8-bit header almost always is.
QString DecodeCharset(const QByteArray& bytes, const QByteArray& charset);
// A header value with its encoded words (=?charset?B|Q?text?=) decoded; the white space
// between two encoded words goes, as the words were split only to keep lines short.
QString DecodeHeaderWords(const QByteArray& value);
// "Ann Smith <ann@example.org>" gives "Ann Smith"; a bare address gives the address.
QString SenderName(const QByteArray& fromValue);
// From and Subject out of a header block (folded lines, CR LF or LF).
MailSummary SummaryOfHeader(const QByteArray& header);
// One line per message for the announcement: "sender: subject".
QString SummaryLine(const MailSummary& summary);
