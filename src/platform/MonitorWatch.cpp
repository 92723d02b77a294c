#include "platform/MonitorWatch.h"

#include <QGuiApplication>
#include <QProcessEnvironment>
#include <QScreen>
#include <QStandardPaths>

#include "platform/WallpaperInstaller.h"

MonitorWatch::MonitorWatch(QObject* parent) : QObject(parent) {
  settle_.setSingleShot(true);
  settle_.setInterval(kSettleMs);
  connect(&settle_, &QTimer::timeout, this, &MonitorWatch::changed);
  connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
    Watch(screen);
    Changing();
  });
  connect(qGuiApp, &QGuiApplication::screenRemoved, this, &MonitorWatch::Changing);
  connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, &MonitorWatch::Changing);
  for (QScreen* screen : QGuiApplication::screens()) Watch(screen);
  if (DetectDesktop(QProcessEnvironment::systemEnvironment()) == DesktopKind::Sway) {
    const QString swaymsg = QStandardPaths::findExecutable(QStringLiteral("swaymsg"));
    if (!swaymsg.isEmpty()) {
      connect(&swayEvents_, &QProcess::readyReadStandardOutput, this, [this] {
        swayEvents_.readAllStandardOutput();
        Changing();
      });
      swayEvents_.setStandardErrorFile(QProcess::nullDevice());
      swayEvents_.start(swaymsg, {"-m", "-t", "subscribe", "[\"output\"]"});
    }
  }
}

MonitorWatch::~MonitorWatch() {
  if (swayEvents_.state() == QProcess::NotRunning) return;
  swayEvents_.kill();
  swayEvents_.waitForFinished(1000);
}

void MonitorWatch::Watch(QScreen* screen) {
  // A new mode or layout moves the geometry; a new scale changes the dots per inch; a turn
  // changes the orientation (and the geometry).
  connect(screen, &QScreen::geometryChanged, this, &MonitorWatch::Changing);
  connect(screen, &QScreen::physicalDotsPerInchChanged, this, &MonitorWatch::Changing);
  connect(screen, &QScreen::logicalDotsPerInchChanged, this, &MonitorWatch::Changing);
  connect(screen, &QScreen::orientationChanged, this, &MonitorWatch::Changing);
}

// Each change starts the quiet time afresh.
void MonitorWatch::Changing() { settle_.start(); }
