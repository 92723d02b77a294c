// The wallpaper through the XDG desktop portal: the real portal (xdg-desktop-portal with the
// GNOME backend, which stores the picture in the desktop's settings) on a private session bus,
// and a test double for the portals that do not answer.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>
#include <QUuid>
#include <cstdio>
#include <memory>

#include "platform/DesktopPortal.h"
#include "platform/WallpaperInstaller.h"
#include "support/E2E.h"
#include "support/TempHome.h"

using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {
const QString kFrontend = QStringLiteral("/usr/libexec/xdg-desktop-portal");
const QString kGnomeBackend = QStringLiteral("/usr/libexec/xdg-desktop-portal-gnome");
const QString kPortalName = QStringLiteral("org.freedesktop.portal.Desktop");
constexpr int kTestTimeoutMs = 2000;

// A process of the session, ended with the object.
class SessionProcess {
 public:
  SessionProcess(const QString& program, const QStringList& args, const QProcessEnvironment& env) {
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.start(program, args);
    process_.waitForStarted(10000);
  }
  ~SessionProcess() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(5000)) process_.kill();
    process_.waitForFinished(2000);
  }
  // Its standard output so far, kept.
  QString output() {
    out_ += QString::fromUtf8(process_.readAllStandardOutput());
    return out_;
  }

 private:
  QProcess process_;
  QString out_;
};

// A connection of the test's own to the private bus.
class BusClient {
 public:
  explicit BusClient(const SessionBus& bus)
      : name_(QStringLiteral("portal-test-") + QUuid::createUuid().toString(QUuid::Id128)),
        connection_(QDBusConnection::connectToBus(bus.address(), name_)) {}
  ~BusClient() { QDBusConnection::disconnectFromBus(name_); }
  const QDBusConnection& connection() const { return connection_; }
  bool WaitFor(const QString& service) const {
    return WaitUntil([&] { return connection_.interface()->isServiceRegistered(service).value(); },
                     20000);
  }

 private:
  QString name_;
  QDBusConnection connection_;
};

QProcessEnvironment PortalEnvironment(const SessionBus& bus, const QString& display,
                                      const QString& desktop, const TempHome& home) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
  env.insert(QStringLiteral("DISPLAY"), display);
  env.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("x11"));
  env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), desktop);
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path() + QStringLiteral("/run"));
  env.remove(QStringLiteral("WAYLAND_DISPLAY"));
  return env;
}

QImage Halves(QRgb left, QRgb right) {
  QImage image(64, 48, QImage::Format_RGB32);
  image.fill(right);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width() / 2; ++x) image.setPixel(x, y, left);
  return image;
}

bool SamePixels(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return false;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if ((a.pixel(x, y) & 0xFFFFFF) != (b.pixel(x, y) & 0xFFFFFF)) return false;
  return true;
}

// The installer on a compositor it knows by no name, with none of the compositors' tools
// installed: the portal on the test's bus is all it has.
InstallerMachine PortalOnlyMachine(const QDBusConnection& bus) {
  InstallerMachine m;
  m.env = QProcessEnvironment();
  m.env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("river"));
  m.env.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-1"));
  m.installed = [](const QString&) { return false; };
  m.run = RunProgram;
  m.portal = [bus](const QString& file, QString* error) {
    return SetWallpaperThroughPortal(bus, file, kPortalTimeoutMs, error);
  };
  return m;
}

// The real portal for GNOME: the frontend and its backend, started by the test under an X
// display of its own, with the settings (dconf) and the permissions in a temporary home.
class RealPortal : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!QFileInfo::exists(kFrontend) || !QFileInfo::exists(kGnomeBackend))
      GTEST_SKIP() << "xdg-desktop-portal-gnome is not installed (scripts/setup.sh installs it)";
    ASSERT_TRUE(display_.ok());
    ASSERT_TRUE(bus_.ok());
    client_ = std::make_unique<BusClient>(bus_);
    QDir().mkpath(home_.path() + "/.config");
    QDir().mkpath(home_.path() + "/run");
    QFile::setPermissions(home_.path() + "/run",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    env_ = PortalEnvironment(bus_, display_.display(), QStringLiteral("GNOME"), home_);
    backend_ = std::make_unique<SessionProcess>(kGnomeBackend, QStringList(), env_);
    ASSERT_TRUE(client_->WaitFor(QStringLiteral("org.freedesktop.impl.portal.desktop.gnome")));
    frontend_ = std::make_unique<SessionProcess>(kFrontend, QStringList(), env_);
    ASSERT_TRUE(client_->WaitFor(kPortalName));
    QDir().mkpath(folder_);
  }

  // What the user answered once to "Allow applications to set backgrounds?", kept in the
  // portal's permission store: "yes" or "no".
  bool Answer(const QString& answer) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.impl.portal.PermissionStore"),
        QStringLiteral("/org/freedesktop/impl/portal/PermissionStore"),
        QStringLiteral("org.freedesktop.impl.portal.PermissionStore"),
        QStringLiteral("SetPermission"));
    call << QStringLiteral("wallpaper") << true << QStringLiteral("wallpaper") << QString()
         << QStringList{answer};
    return client_->connection().call(call, QDBus::Block, 20000).type() ==
           QDBusMessage::ReplyMessage;
  }

  // The GNOME background's picture, as a file path, read back from the desktop's settings.
  QString Background() const {
    QProcess gsettings;
    gsettings.setProcessEnvironment(env_);
    gsettings.start(QStringLiteral("gsettings"),
                    {QStringLiteral("get"), QStringLiteral("org.gnome.desktop.background"),
                     QStringLiteral("picture-uri")});
    if (!gsettings.waitForFinished(10000)) return QString();
    QString value = QString::fromUtf8(gsettings.readAllStandardOutput()).trimmed();
    if (value.size() >= 2 && value.startsWith('\'')) value = value.mid(1, value.size() - 2);
    return value.startsWith(QLatin1String("file://")) ? QUrl(value).toLocalFile() : value;
  }

  bool Install(const QImage& picture, QString* error) {
    return InstallWallpaperOn(PortalOnlyMachine(client_->connection()),
                              folder_ + "/Quillatorne.bmp", picture, error);
  }

  TempHome home_;  // first: the bus and the services it starts live in it
  XvfbDisplay display_{320, 200};
  SessionBus bus_;
  std::unique_ptr<BusClient> client_;
  QProcessEnvironment env_;
  std::unique_ptr<SessionProcess> backend_, frontend_;
  QString folder_ = home_.dataDir();
};
}  // namespace

TEST_F(RealPortal, TheDesktopShowsEachPictureTheInstallerHandsOver) {
  ASSERT_TRUE(Answer("yes"));
  const QString before = Background();
  for (const QImage& picture : {Halves(0xFF0000, 0x0000FF), Halves(0x00FF00, 0xFFFF00)}) {
    QString error;
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(Install(picture, &error)) << qPrintable(error);
    std::printf("[ figure ] installed through the portal in %lld ms (sanitized build)\n",
                static_cast<long long>(clock.elapsed()));
    QString shown;
    EXPECT_TRUE(WaitUntil(
        [&] {
          shown = Background();
          return SamePixels(QImage(shown), picture);
        },
        10000))
        << qPrintable(shown);
    EXPECT_NE(shown, before);
  }
}

TEST_F(RealPortal, ARefusalIsAFailureThatSaysWhatToInstall) {
  ASSERT_TRUE(Answer("no"));
  const QString before = Background();
  QString error;
  EXPECT_FALSE(Install(Halves(0xFF0000, 0x0000FF), &error));
  EXPECT_THAT(error.toStdString(), HasSubstr("desktop portal refused"));
  EXPECT_THAT(error.toStdString(), HasSubstr("install swaybg"));
  EXPECT_EQ(Background(), before);
  // The copy made for the portal is not left behind.
  EXPECT_THAT(QDir(folder_).entryList({"Quillatorne-*"}, QDir::Files), IsEmpty());
}

// The portal as sway and most wlroots compositors have it: its backends offer no Wallpaper.
TEST(DesktopPortal, WithoutAWallpaperBackendItSaysSo) {
  if (!QFileInfo::exists(kFrontend)) GTEST_SKIP() << "xdg-desktop-portal is not installed";
  TempHome home;
  SessionBus bus;
  ASSERT_TRUE(bus.ok());
  BusClient client(bus);
  QDir().mkpath(home.path() + "/run");
  SessionProcess frontend(kFrontend, {},
                          PortalEnvironment(bus, QString(), QStringLiteral("sway"), home));
  ASSERT_TRUE(client.WaitFor(kPortalName));
  const QString file = home.write("picture.png", "not looked at");
  QString error;
  EXPECT_FALSE(SetWallpaperThroughPortal(client.connection(), file, kPortalTimeoutMs, &error));
  EXPECT_THAT(error.toStdString(), HasSubstr("no Wallpaper interface"));
}

namespace {
struct DoubleCase {
  const char* name;
  const char* mode;  // the double's mode; none: no portal on the bus at all
  bool succeeds;
  const char* said;  // in the reason given
  bool closed;       // the request withdrawn afterwards
};

class PortalDouble : public ::testing::TestWithParam<DoubleCase> {};
}  // namespace

TEST_P(PortalDouble, GivesAnAnswerWithinItsTime) {
  const DoubleCase& c = GetParam();
  TempHome home;
  SessionBus bus(SessionBus::Bare);
  ASSERT_TRUE(bus.ok());
  BusClient client(bus);
  std::unique_ptr<SessionProcess> portal;
  if (c.mode) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    portal = std::make_unique<SessionProcess>(QStringLiteral(QUILLATORNE_PORTAL_DOUBLE),
                                              QStringList{QString::fromLatin1(c.mode)}, env);
    ASSERT_TRUE(WaitUntil([&] { return portal->output().contains("ready\n"); }, 20000));
  }
  const QString file = home.write("picture.png", "not looked at");
  QString error;
  QElapsedTimer clock;
  clock.start();
  const bool ok = SetWallpaperThroughPortal(client.connection(), file, kTestTimeoutMs, &error);
  std::printf("[ figure ] %s: answered in %lld ms (budget %d ms)\n", c.name,
              static_cast<long long>(clock.elapsed()), kTestTimeoutMs);
  EXPECT_EQ(ok, c.succeeds) << qPrintable(error);
  EXPECT_THAT(error.toStdString(), HasSubstr(c.said));
  if (!portal) return;
  // The request went to the path the handle token names, which is where the answer is awaited.
  const QString sender = client.connection().baseService().mid(1).replace('.', '_');
  const QString request =
      "request /org/freedesktop/portal/desktop/request/" + sender + "/quillatorne";
  EXPECT_TRUE(WaitUntil([&] { return portal->output().contains(request); }, 10000))
      << qPrintable(portal->output());
  if (c.closed) {
    EXPECT_TRUE(WaitUntil([&] { return portal->output().contains("closed "); }, 10000));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Portals, PortalDouble,
    ::testing::Values(
        DoubleCase{"NoneOnTheBus", nullptr, false, "no desktop portal runs on the session bus",
                   false},
        DoubleCase{"NeverAnswers", "silent", false, "did not answer within 2 seconds", true},
        DoubleCase{"NeverReplies", "mute", false, "did not answer within 2 seconds", false},
        DoubleCase{"AnswersBeforeItsReply", "eager", true, "", false}),
    [](const auto& info) { return std::string(info.param.name); });
