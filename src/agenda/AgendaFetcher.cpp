#include "agenda/AgendaFetcher.h"

#include <QAuthenticator>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimeZone>
#include <QTimer>
#include <QUrl>
#include <QXmlStreamReader>

#include "mail/Pop3Client.h"

namespace {

const QString kDav = QStringLiteral("DAV:");
const QString kCalDav = QStringLiteral("urn:ietf:params:xml:ns:caldav");

// One <response> of a multistatus answer, with the properties its 200 propstat carries.
struct DavResponse {
  QString href;
  bool isCalendar = false;
  QString ctag;
  QString etag;
  QByteArray calendarData;
};

QList<DavResponse> ParseMultistatus(const QByteArray& xml) {
  QList<DavResponse> responses;
  QXmlStreamReader r(xml);
  DavResponse current;
  DavResponse propstat;  // what the propstat being read says, kept when its status is 200
  bool inResponse = false, inPropstat = false, statusOk = false;
  while (!r.atEnd() && !r.hasError()) {
    r.readNext();
    // A copy: reading an element's text moves the reader on.
    const QString name = r.name().toString();
    if (r.isStartElement()) {
      if (name == QLatin1String("response") && r.namespaceUri() == kDav) {
        current = DavResponse();
        inResponse = true;
      } else if (!inResponse) {
        continue;
      } else if (name == QLatin1String("propstat")) {
        propstat = DavResponse();
        inPropstat = true;
        statusOk = false;
      } else if (name == QLatin1String("href") && !inPropstat) {
        current.href = r.readElementText().trimmed();
      } else if (name == QLatin1String("status") && inPropstat) {
        statusOk = r.readElementText().section(QLatin1Char(' '), 1, 1) == QLatin1String("200");
      } else if (name == QLatin1String("calendar") && r.namespaceUri() == kCalDav) {
        propstat.isCalendar = true;
      } else if (name == QLatin1String("getctag") || name == QLatin1String("sync-token")) {
        const QString tag = r.readElementText().trimmed();
        if (propstat.ctag.isEmpty() || name == QLatin1String("getctag")) propstat.ctag = tag;
      } else if (name == QLatin1String("getetag")) {
        propstat.etag = r.readElementText().trimmed();
      } else if (name == QLatin1String("calendar-data")) {
        propstat.calendarData = r.readElementText().toUtf8();
      }
    } else if (r.isEndElement()) {
      if (name == QLatin1String("propstat") && inPropstat) {
        inPropstat = false;
        if (!statusOk) continue;
        current.isCalendar |= propstat.isCalendar;
        if (!propstat.ctag.isEmpty()) current.ctag = propstat.ctag;
        if (!propstat.etag.isEmpty()) current.etag = propstat.etag;
        if (!propstat.calendarData.isEmpty()) current.calendarData = propstat.calendarData;
      } else if (name == QLatin1String("response") && inResponse) {
        inResponse = false;
        responses << current;
      }
    }
  }
  return responses;
}

QByteArray UtcStamp(QDate d) {
  return QDateTime(d, QTime(0, 0), QTimeZone::utc())
      .toString(QStringLiteral("yyyyMMddTHHmmssZ"))
      .toLatin1();
}

// The one TLS policy of the program: the system's CAs, the host checked, nothing ignored.
QSslConfiguration Tls() { return Pop3Client::SystemTls(); }

QString HttpReason(int status) {
  switch (status) {
    case 401:
    case 403:
      return QStringLiteral("The server refused the user name or password");
    case 404:
    case 410:
      return QStringLiteral("The server has no calendar at this address");
    default:
      return QStringLiteral("The server answered %1").arg(status);
  }
}

}  // namespace

struct AgendaFetcher::Answer {
  int status = 0;
  QByteArray body;
  QByteArray etag;
  QByteArray lastModified;
  QString error;  // no answer at all
};

AgendaSourceKind AgendaSourceKindOf(const QString& source) {
  const QString s = source.trimmed();
  return s.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
                 s.startsWith(QLatin1String("https://"), Qt::CaseInsensitive)
             ? AgendaSourceKind::Http
             : AgendaSourceKind::File;
}

QString AgendaLocalPath(const QString& source) {
  const QString s = source.trimmed();
  if (s.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) return QUrl(s).toLocalFile();
  return s;
}

AgendaFetcher::Answer AgendaFetcher::Send(const QByteArray& verb, const QString& url,
                                          const QList<QPair<QByteArray, QByteArray>>& headers,
                                          const QByteArray& body, const QString& user,
                                          const QString& password, AgendaFetchOutcome& outcome) {
  Answer a;
  QNetworkRequest request{QUrl(url)};
  request.setTransferTimeout(kTimeoutMs);
  request.setSslConfiguration(Tls());
  // A redirect may go from http to https, never from https to http; with a password, never
  // to another server, which would be given it.
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                       user.isEmpty() ? QNetworkRequest::NoLessSafeRedirectPolicy
                                      : QNetworkRequest::SameOriginRedirectPolicy);
  // Sent at once, so a request costs one round trip, and with this calendar's own user and
  // password, never ones the manager remembers from another calendar on the same server.
  if (!user.isEmpty())
    request.setRawHeader("Authorization",
                         "Basic " + (user + QLatin1Char(':') + password).toUtf8().toBase64());
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
  request.setRawHeader("User-Agent", "Quillatorne");
  for (const auto& [name, value] : headers) request.setRawHeader(name, value);
  ++outcome.requests;
  QNetworkReply* reply = network_.sendCustomRequest(request, verb, body);
  int asked = 0;
  // Credentials once per request: asked again means they were refused.
  const auto auth = QObject::connect(&network_, &QNetworkAccessManager::authenticationRequired,
                                     [&](QNetworkReply* r, QAuthenticator* authenticator) {
                                       if (r != reply || user.isEmpty() || asked++ > 0) return;
                                       authenticator->setUser(user);
                                       authenticator->setPassword(password);
                                     });
  QEventLoop loop;
  QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
  QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [&](qint64 received, qint64) {
    if (received > kMaxAnswer) {
      a.error = QStringLiteral("The calendar is too large");
      reply->abort();
    }
  });
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, reply, [&] {
    if (abandon_ && abandon_->load()) {
      a.error = QStringLiteral("Abandoned");
      reply->abort();
    }
  });
  watch.start(100);
  if (!reply->isFinished()) loop.exec();
  QObject::disconnect(auth);
  a.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  if (a.error.isEmpty() && a.status == 0)
    a.error = reply->errorString().isEmpty() ? QStringLiteral("No answer") : reply->errorString();
  if (a.error.isEmpty()) {
    a.body = reply->readAll();
    outcome.received += a.body.size();
    a.etag = reply->rawHeader("ETag");
    a.lastModified = reply->rawHeader("Last-Modified");
  }
  reply->deleteLater();
  return a;
}

AgendaFetchOutcome AgendaFetcher::FetchFile(const QString& source, AgendaCopy& copy) {
  AgendaFetchOutcome out;
  const QString path = AgendaLocalPath(source);
  const QFileInfo info(path);
  if (!info.isFile()) {
    out.error = QStringLiteral("The file \"%1\" cannot be found").arg(path);
    return out;
  }
  const qint64 stamp = info.lastModified().toMSecsSinceEpoch();
  if (stamp == copy.fileStamp && info.size() == copy.fileSize && !copy.data.isEmpty()) return out;
  if (info.size() > kMaxAnswer) {
    out.error = QStringLiteral("The file \"%1\" is too large").arg(path);
    return out;
  }
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    out.error = QStringLiteral("The file \"%1\" cannot be read: %2").arg(path, f.errorString());
    return out;
  }
  const QByteArray data = f.read(kMaxAnswer + 1);
  if (!data.contains("BEGIN:VCALENDAR")) {
    out.error = QStringLiteral("The file \"%1\" is not a calendar").arg(path);
    return out;
  }
  out.changed = data != copy.data;
  copy.data = data;
  copy.fileStamp = stamp;
  copy.fileSize = info.size();
  return out;
}

void AgendaFetcher::FetchIcs(const QString& url, const QString& user, const QString& password,
                             AgendaCopy& copy, AgendaFetchOutcome& out) {
  QList<QPair<QByteArray, QByteArray>> headers;
  if (!copy.data.isEmpty() && copy.ctag.isEmpty()) {
    if (!copy.etag.isEmpty()) headers << qMakePair(QByteArray("If-None-Match"), copy.etag.toUtf8());
    if (!copy.lastModified.isEmpty())
      headers << qMakePair(QByteArray("If-Modified-Since"), copy.lastModified.toUtf8());
  }
  const Answer a = Send("GET", url, headers, {}, user, password, out);
  if (!a.error.isEmpty()) {
    out.error = a.error;
    return;
  }
  if (a.status == 304) return;
  if (a.status != 200) {
    out.error = HttpReason(a.status);
    return;
  }
  if (!a.body.contains("BEGIN:VCALENDAR")) {
    out.error = QStringLiteral("The address does not give a calendar");
    return;
  }
  out.changed = a.body != copy.data;
  copy = AgendaCopy();
  copy.data = a.body;
  copy.etag = QString::fromUtf8(a.etag);
  copy.lastModified = QString::fromUtf8(a.lastModified);
}

void AgendaFetcher::SyncCalDav(const QString& url, const QString& user, const QString& password,
                               QDate from, QDate to, const QString& ctag, AgendaCopy& copy,
                               AgendaFetchOutcome& out) {
  const QList<QPair<QByteArray, QByteArray>> headers = {
      {"Depth", "1"}, {"Content-Type", "application/xml; charset=utf-8"}};
  // Which events the days hold, by their tags only: a small answer however large they are.
  const QByteArray query =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
      "<c:calendar-query xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\">"
      "<d:prop><d:getetag/></d:prop>"
      "<c:filter><c:comp-filter name=\"VCALENDAR\"><c:comp-filter name=\"VEVENT\">"
      "<c:time-range start=\"" +
      UtcStamp(from.addDays(-1)) + "\" end=\"" + UtcStamp(to.addDays(2)) +
      "\"/></c:comp-filter></c:comp-filter></c:filter></c:calendar-query>";
  const Answer tags = Send("REPORT", url, headers, query, user, password, out);
  if (!tags.error.isEmpty() || tags.status != 207) {
    out.error = tags.error.isEmpty() ? HttpReason(tags.status) : tags.error;
    return;
  }
  // What the copy holds of each resource, by its address.
  QHash<QString, QByteArray> kept;
  QHash<QString, QString> keptTags;
  qsizetype offset = 0;
  for (const AgendaResource& r : std::as_const(copy.resources)) {
    kept.insert(r.href, copy.data.mid(offset, r.size));
    keptTags.insert(r.href, r.etag);
    offset += r.size;
  }
  QList<DavResponse> listed;
  QByteArray wanted;
  for (const DavResponse& r : ParseMultistatus(tags.body)) {
    if (r.href.isEmpty()) continue;
    listed << r;
    // A resource without a tag cannot be known unchanged: it is asked for every time.
    if (r.etag.isEmpty() || keptTags.value(r.href) != r.etag || !kept.contains(r.href))
      wanted += "<d:href>" + r.href.toHtmlEscaped().toUtf8() + "</d:href>";
  }
  // The new and changed ones, in one request.
  QHash<QString, DavResponse> fetched;
  if (!wanted.isEmpty()) {
    const QByteArray multiget =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
        "<c:calendar-multiget xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\">"
        "<d:prop><d:getetag/><c:calendar-data/></d:prop>" +
        wanted + "</c:calendar-multiget>";
    const Answer got = Send("REPORT", url, headers, multiget, user, password, out);
    if (!got.error.isEmpty() || got.status != 207) {
      out.error = got.error.isEmpty() ? HttpReason(got.status) : got.error;
      return;
    }
    for (const DavResponse& r : ParseMultistatus(got.body))
      if (!r.calendarData.isEmpty()) fetched.insert(r.href, r);
    out.downloaded = int(fetched.size());
  }
  // The copy anew, in the server's order; resources no longer listed are gone from it, and
  // one that went between the two requests is left out until the next fetch.
  AgendaCopy fresh;
  bool whole = true;
  for (const DavResponse& r : std::as_const(listed)) {
    AgendaResource resource{r.href, r.etag, 0};
    QByteArray part;
    if (const auto it = fetched.constFind(r.href); it != fetched.cend()) {
      part = it->calendarData;
      if (!it->etag.isEmpty()) resource.etag = it->etag;
    } else if (kept.contains(r.href)) {
      part = kept.value(r.href);
    } else {
      whole = false;
      continue;
    }
    if (!part.endsWith('\n')) part += "\r\n";
    resource.size = part.size();
    fresh.data += part;
    fresh.resources << resource;
  }
  out.changed = fresh.data != copy.data;
  // Without the collection's tag the next fetch asks again, for what is missing.
  if (whole) fresh.ctag = ctag;
  fresh.from = from;
  fresh.to = to;
  copy = fresh;
}

AgendaFetchOutcome AgendaFetcher::Fetch(const QString& source, const QString& user,
                                        const QString& password, QDate from, QDate to,
                                        AgendaCopy& copy) {
  if (AgendaSourceKindOf(source) == AgendaSourceKind::File) return FetchFile(source, copy);
  // Credentials a server asked for before are not to be offered to it for another calendar.
  network_.clearAccessCache();
  AgendaFetchOutcome out;
  const QString url = source.trimmed();
  if (QUrl(url).path().endsWith(QLatin1String(".ics"), Qt::CaseInsensitive)) {
    FetchIcs(url, user, password, copy, out);
    return out;
  }
  // A CalDAV collection tells by its tag whether anything in it changed.
  static const QByteArray kPropfind =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
      "<d:propfind xmlns:d=\"DAV:\" xmlns:cs=\"http://calendarserver.org/ns/\">"
      "<d:prop><d:resourcetype/><cs:getctag/><d:sync-token/></d:prop></d:propfind>";
  const Answer probe =
      Send("PROPFIND", url, {{"Depth", "0"}, {"Content-Type", "application/xml; charset=utf-8"}},
           kPropfind, user, password, out);
  if (!probe.error.isEmpty()) {
    out.error = probe.error;
    return out;
  }
  if (probe.status == 401 || probe.status == 403) {
    out.error = HttpReason(probe.status);
    return out;
  }
  QList<DavResponse> about;
  if (probe.status == 207) about = ParseMultistatus(probe.body);
  if (about.isEmpty() || !about.first().isCalendar) {
    // Not a calendar collection: an address of a calendar file after all.
    FetchIcs(url, user, password, copy, out);
    return out;
  }
  const QString ctag = about.first().ctag;
  if (!ctag.isEmpty() && ctag == copy.ctag && copy.from.isValid() && copy.from <= from &&
      copy.to >= to)
    return out;
  SyncCalDav(url, user, password, from, to, ctag, copy, out);
  return out;
}
