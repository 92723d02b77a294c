// How long the IMAP client takes to read what a big mailbox answers: a SEARCH with many
// unseen UIDs, a FETCH of five envelopes with encoded subjects, and UIDL-sized seen state.
#include <QElapsedTimer>
#include <cstdio>

#include "mail/ImapClient.h"
#include "mail/MailHeaders.h"
#include "mail/MailSeenState.h"

int main() {
  for (int uids : {100, 10000, 100000}) {
    QByteArray search = "* SEARCH";
    for (int i = 1; i <= uids; ++i) search += ' ' + QByteArray::number(i * 3);
    search += "\r\n";
    const int calls = uids >= 100000 ? 5 : 200;
    QElapsedTimer t;
    t.start();
    qsizetype n = 0;
    for (int c = 0; c < calls; ++c) n += ParseImapResponse(search)->data.size();
    std::printf("SEARCH with %6d UIDs: %10.1f us per parse (%lld values)\n", uids,
                t.nsecsElapsed() / 1000.0 / calls, static_cast<long long>(n / calls));
  }
  const QByteArray fetch =
      "* 1 FETCH (UID 4 ENVELOPE (\"Mon, 7 Feb 1994 21:52:25 -0800\" "
      "\"=?UTF-8?Q?Gr=C3=BC=C3=9Fe_aus_K=C3=B6ln?=\" ((\"=?ISO-8859-1?Q?Ren=E9?=\" NIL \"r\" "
      "\"example.org\")) NIL NIL NIL NIL NIL NIL \"<id@x>\"))\r\n";
  QElapsedTimer t;
  t.start();
  const int calls = 20000;
  qsizetype chars = 0;
  for (int c = 0; c < calls; ++c) {
    const auto r = ParseImapResponse(fetch);
    chars += SummaryLine(SummaryOfEnvelope(r->data[2].items[3])).size();
  }
  std::printf("one FETCH ENVELOPE, parsed and decoded: %6.2f us (%lld chars)\n",
              t.nsecsElapsed() / 1000.0 / calls, static_cast<long long>(chars / calls));

  for (int ids : {1000, 100000}) {
    QStringList all;
    for (int i = 0; i < ids; ++i) all << QStringLiteral("1700000000/%1").arg(i);
    MailSeenState state(QStringLiteral("/nonexistent/seen.json"));
    state.TakeNew(QStringLiteral("a"), all);
    all << QStringLiteral("1700000000/new");
    t.restart();
    const QStringList fresh = state.TakeNew(QStringLiteral("a"), all);
    std::printf("count only new, %6d ids known: %8.2f ms to find %lld new\n", ids,
                t.nsecsElapsed() / 1e6, static_cast<long long>(fresh.size()));
  }
  return 0;
}
