// The agenda following an .ics address on a small HTTP server of the test's own (with ETag
// and Last-Modified, answering conditional requests with 304), and a local file changed on
// disk.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QNetworkAccessManager>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUrl>

#include "agenda/AgendaFetcher.h"
#include "agenda/IcsReader.h"

namespace {

QByteArray Calendar(const QByteArray& summary, const QByteArray& start) {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\nBEGIN:VEVENT\r\nUID:" + summary +
         "\r\nDTSTART:" + start + "\r\nSUMMARY:" + summary + "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

// Serves one calendar at /cal.ics; every request and its conditional headers are noted.
class IcsHttpServer {
 public:
  IcsHttpServer() {
    server_.listen(QHostAddress::LocalHost);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
      while (QTcpSocket* s = server_.nextPendingConnection()) {
        QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] { Serve(s); });
        QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
      }
    });
  }
  QString url() const {
    return QStringLiteral("http://127.0.0.1:%1/cal.ics").arg(server_.serverPort());
  }
  void Set(const QByteArray& body, const QByteArray& etag, const QByteArray& modified) {
    body_ = body;
    etag_ = etag;
    modified_ = modified;
  }
  int requests = 0;
  QList<QByteArray> conditions;  // "etag|date" sent with each request

 private:
  void Serve(QTcpSocket* s) {
    buffer_[s] += s->readAll();
    if (!buffer_[s].contains("\r\n\r\n")) return;
    const QByteArray head = buffer_.take(s);
    ++requests;
    QByteArray ifNoneMatch, ifModified;
    for (const QByteArray& line : head.split('\n')) {
      const QByteArray l = line.trimmed();
      if (l.toLower().startsWith("if-none-match:")) ifNoneMatch = l.mid(14).trimmed();
      if (l.toLower().startsWith("if-modified-since:")) ifModified = l.mid(18).trimmed();
    }
    conditions << ifNoneMatch + '|' + ifModified;
    QByteArray answer;
    if (!head.startsWith("GET /cal.ics ")) {
      answer = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n";
    } else if (!ifNoneMatch.isEmpty() && ifNoneMatch == etag_) {
      answer = "HTTP/1.1 304 Not Modified\r\nETag: " + etag_ + "\r\n\r\n";
    } else {
      answer = "HTTP/1.1 200 OK\r\nContent-Type: text/calendar\r\nETag: " + etag_ +
               "\r\nLast-Modified: " + modified_ +
               "\r\nContent-Length: " + QByteArray::number(body_.size()) + "\r\n\r\n" + body_;
    }
    s->write(answer);
  }

  QTcpServer server_;
  QHash<QTcpSocket*, QByteArray> buffer_;
  QByteArray body_, etag_, modified_;
};

const QDate kFrom(2026, 3, 1), kTo(2026, 3, 31);

QStringList Summaries(const AgendaCopy& copy) {
  QStringList s;
  for (const AgendaEvent& e : ReadIcs(copy.data, kFrom, kTo, QTimeZone::utc()).events)
    s << e.summary;
  return s;
}

TEST(AgendaIcsSource, AddressIsAskedWhetherItChangedAndFollowed) {
  IcsHttpServer server;
  server.Set(Calendar("first", "20260310T100000Z"), "\"v1\"", "Tue, 03 Mar 2026 10:00:00 GMT");
  QNetworkAccessManager network;
  AgendaFetcher fetcher(network);
  AgendaCopy copy;
  AgendaFetchOutcome out = fetcher.Fetch(server.url(), {}, {}, kFrom, kTo, copy);
  ASSERT_TRUE(out.error.isEmpty()) << out.error.toStdString();
  EXPECT_TRUE(out.changed);
  EXPECT_EQ(Summaries(copy), QStringList{"first"});

  out = fetcher.Fetch(server.url(), {}, {}, kFrom, kTo, copy);
  EXPECT_FALSE(out.changed);
  EXPECT_TRUE(out.error.isEmpty());
  EXPECT_EQ(server.conditions.last(), QByteArray("\"v1\"|Tue, 03 Mar 2026 10:00:00 GMT"));
  EXPECT_EQ(Summaries(copy), QStringList{"first"});

  server.Set(Calendar("second", "20260311T100000Z"), "\"v2\"", "Wed, 04 Mar 2026 10:00:00 GMT");
  out = fetcher.Fetch(server.url(), {}, {}, kFrom, kTo, copy);
  EXPECT_TRUE(out.changed);
  EXPECT_EQ(Summaries(copy), QStringList{"second"});
  EXPECT_EQ(server.requests, 3);
}

TEST(AgendaIcsSource, MissingAddressIsAnErrorAndKeepsTheCopy) {
  IcsHttpServer server;
  server.Set(Calendar("first", "20260310T100000Z"), "\"v1\"", "Tue, 03 Mar 2026 10:00:00 GMT");
  QNetworkAccessManager network;
  AgendaFetcher fetcher(network);
  AgendaCopy copy;
  ASSERT_TRUE(fetcher.Fetch(server.url(), {}, {}, kFrom, kTo, copy).error.isEmpty());
  const AgendaCopy good = copy;
  QString missing = server.url();
  missing.replace(QStringLiteral("cal.ics"), QStringLiteral("gone.ics"));
  const AgendaFetchOutcome out = fetcher.Fetch(missing, {}, {}, kFrom, kTo, copy);
  EXPECT_EQ(out.error, QStringLiteral("The server has no calendar at this address"));
  EXPECT_EQ(copy, good);
}

TEST(AgendaIcsSource, LocalFileIsReadAgainOnlyWhenChangedOnDisk) {
  QTemporaryDir dir;
  const QString path = dir.path() + "/agenda.ics";
  auto write = [&](const QByteArray& data, const QDateTime& stamp) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
    f.close();
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(stamp, QFileDevice::FileModificationTime));
  };
  const QDateTime t0(QDate(2026, 3, 1), QTime(8, 0), QTimeZone::utc());
  write(Calendar("first", "20260310T100000Z"), t0);
  QNetworkAccessManager network;
  AgendaFetcher fetcher(network);
  AgendaCopy copy;
  for (const QString& source : {path, QUrl::fromLocalFile(path).toString()}) {
    copy = AgendaCopy();
    AgendaFetchOutcome out = fetcher.Fetch(source, {}, {}, kFrom, kTo, copy);
    ASSERT_TRUE(out.error.isEmpty()) << out.error.toStdString();
    EXPECT_TRUE(out.changed);
    EXPECT_EQ(Summaries(copy), QStringList{"first"});
  }
  EXPECT_FALSE(fetcher.Fetch(path, {}, {}, kFrom, kTo, copy).changed);

  write(Calendar("secnd", "20260311T100000Z"), t0.addSecs(60));
  const AgendaFetchOutcome out = fetcher.Fetch(path, {}, {}, kFrom, kTo, copy);
  EXPECT_TRUE(out.changed);
  EXPECT_EQ(out.requests, 0);
  EXPECT_EQ(Summaries(copy), QStringList{"secnd"});

  ASSERT_TRUE(QFile::remove(path));
  const AgendaCopy good = copy;
  EXPECT_FALSE(fetcher.Fetch(path, {}, {}, kFrom, kTo, copy).error.isEmpty());
  EXPECT_EQ(copy, good);
}

}  // namespace
