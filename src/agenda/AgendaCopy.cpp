#include "agenda/AgendaCopy.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <stdexcept>

#include "platform/ReplacedFile.h"

namespace {
// The data follows a one-line header of JSON, so one rename replaces both together.
constexpr qsizetype kMaxHeader = 8 * 1024 * 1024;
constexpr qint64 kMaxCopy = 64 * 1024 * 1024;
}  // namespace

QString AgendaCopyPath(const QString& folder, const QString& url, const QString& user) {
  const QByteArray id =
      QCryptographicHash::hash((url + QLatin1Char('\n') + user).toUtf8(), QCryptographicHash::Sha1)
          .toHex();
  return folder + QLatin1Char('/') + QString::fromLatin1(id) + QStringLiteral(".ics");
}

bool LoadAgendaCopy(const QString& path, AgendaCopy& copy) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxCopy) return false;
  const QByteArray header = f.readLine(kMaxHeader);
  const QJsonObject o = QJsonDocument::fromJson(header).object();
  if (o.value(QStringLiteral("v")).toInt() != 1) return false;
  copy = AgendaCopy();
  copy.etag = o.value(QStringLiteral("etag")).toString();
  copy.lastModified = o.value(QStringLiteral("lastModified")).toString();
  copy.ctag = o.value(QStringLiteral("ctag")).toString();
  copy.fileStamp = o.value(QStringLiteral("fileStamp")).toInteger(-1);
  copy.fileSize = o.value(QStringLiteral("fileSize")).toInteger(-1);
  copy.from = QDate::fromString(o.value(QStringLiteral("from")).toString(), Qt::ISODate);
  copy.to = QDate::fromString(o.value(QStringLiteral("to")).toString(), Qt::ISODate);
  copy.data = f.readAll();
  // Resources that do not add up to the data are no resources: the next fetch asks for all.
  qsizetype total = 0;
  for (const QJsonValue& v : o.value(QStringLiteral("resources")).toArray()) {
    const QJsonObject r = v.toObject();
    const AgendaResource resource{r.value(QStringLiteral("href")).toString(),
                                  r.value(QStringLiteral("etag")).toString(),
                                  qsizetype(r.value(QStringLiteral("size")).toInteger(-1))};
    if (resource.href.isEmpty() || resource.size < 0) total = -1;
    if (total < 0) break;
    total += resource.size;
    copy.resources << resource;
  }
  if (total != (copy.resources.isEmpty() ? 0 : copy.data.size())) {
    copy.resources.clear();
    copy.ctag.clear();
  }
  return true;
}

bool SaveAgendaCopy(const QString& path, const AgendaCopy& copy, QString* error) {
  QJsonObject o{{QStringLiteral("v"), 1},
                {QStringLiteral("etag"), copy.etag},
                {QStringLiteral("lastModified"), copy.lastModified},
                {QStringLiteral("ctag"), copy.ctag},
                {QStringLiteral("fileStamp"), copy.fileStamp},
                {QStringLiteral("fileSize"), copy.fileSize},
                {QStringLiteral("from"), copy.from.toString(Qt::ISODate)},
                {QStringLiteral("to"), copy.to.toString(Qt::ISODate)}};
  if (!copy.resources.isEmpty()) {
    QJsonArray resources;
    for (const AgendaResource& r : copy.resources)
      resources << QJsonObject{{QStringLiteral("href"), r.href},
                               {QStringLiteral("etag"), r.etag},
                               {QStringLiteral("size"), qint64(r.size)}};
    o.insert(QStringLiteral("resources"), resources);
  }
  const QByteArray header = QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
  try {
    // Calendars are private: the folder is the user's alone.
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) throw std::runtime_error("cannot create " + folder.toStdString());
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ReplacedFile out(path);
    out.Write(header.constData(), size_t(header.size()));
    out.Write(copy.data.constData(), size_t(copy.data.size()));
    out.Commit();
  } catch (const std::exception& e) {
    if (error) *error = QString::fromUtf8(e.what());
    return false;
  }
  return true;
}
