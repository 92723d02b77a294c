#include "support/TestCertificates.h"

#include <QFile>
#include <QProcess>

TestCertificates::TestCertificates() {
  if (!dir_.isValid()) {
    error_ = QStringLiteral("no temporary folder");
    return;
  }
  const QString d = dir_.path();
  QFile ext(d + "/server.ext");
  if (!ext.open(QIODevice::WriteOnly) ||
      ext.write("basicConstraints = CA:FALSE\n"
                "keyUsage = digitalSignature, keyEncipherment\n"
                "extendedKeyUsage = serverAuth\n"
                "subjectAltName = DNS:localhost\n") < 0) {
    error_ = QStringLiteral("cannot write server.ext");
    return;
  }
  ext.close();
  const QStringList ec = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
  // The server key must be readable by Dovecot's unprivileged processes too.
  Run(QStringList{"req", "-x509"} + ec +
      QStringList{"-keyout", d + "/ca.key", "-out", caFile(), "-days", "2", "-subj",
                  "/CN=Quillatorne Test CA", "-addext", "basicConstraints=critical,CA:TRUE",
                  "-addext", "keyUsage=critical,keyCertSign,cRLSign"}) &&
      Run(QStringList{"req"} + ec +
          QStringList{"-keyout", keyFile(), "-out", d + "/server.csr", "-subj", "/CN=localhost"}) &&
      Run({"x509", "-req", "-in", d + "/server.csr", "-CA", caFile(), "-CAkey", d + "/ca.key",
           "-CAcreateserial", "-out", certFile(), "-days", "2", "-extfile", d + "/server.ext"});
}

bool TestCertificates::Run(const QStringList& arguments) {
  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.start(QStringLiteral("openssl"), arguments);
  if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
    error_ = QStringLiteral("openssl %1 failed: %2")
                 .arg(arguments.join(' '), QString::fromLocal8Bit(p.readAll()));
    return false;
  }
  return true;
}

QList<QSslCertificate> TestCertificates::ca() const {
  return QSslCertificate::fromPath(caFile());
}
