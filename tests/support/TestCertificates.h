#pragma once
// A certificate authority of the test's own and a server certificate it signed for
// "localhost" only, made with openssl in a temporary folder. Trusted through a client's
// configuration, never the system's store.
#include <QList>
#include <QSslCertificate>
#include <QString>
#include <QTemporaryDir>

class TestCertificates {
 public:
  TestCertificates();
  bool ok() const { return error_.isEmpty(); }
  QString error() const { return error_; }
  QString caFile() const { return dir_.path() + "/ca.pem"; }
  QString certFile() const { return dir_.path() + "/server.pem"; }
  QString keyFile() const { return dir_.path() + "/server.key"; }
  QList<QSslCertificate> ca() const;

 private:
  bool Run(const QStringList& arguments);
  QTemporaryDir dir_;
  QString error_;
};
