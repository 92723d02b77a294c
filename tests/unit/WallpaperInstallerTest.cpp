#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>

#include "platform/WallpaperInstaller.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {
struct EnvCase {
  const char* current;  // XDG_CURRENT_DESKTOP
  const char* session;  // DESKTOP_SESSION
  bool swaysock;
  DesktopKind kind;
};
class Detecting : public ::testing::TestWithParam<EnvCase> {};

TEST_P(Detecting, RecognisesTheSessionsDesktop) {
  const EnvCase& c = GetParam();
  QProcessEnvironment env;
  if (*c.current) env.insert("XDG_CURRENT_DESKTOP", c.current);
  if (*c.session) env.insert("DESKTOP_SESSION", c.session);
  if (c.swaysock) env.insert("SWAYSOCK", "/run/user/1000/sway-ipc.sock");
  EXPECT_EQ(DetectDesktop(env), c.kind);
}

INSTANTIATE_TEST_SUITE_P(Sessions, Detecting,
                         ::testing::Values(EnvCase{"GNOME", "", false, DesktopKind::Gnome},
                                           EnvCase{"ubuntu:GNOME", "", false, DesktopKind::Gnome},
                                           EnvCase{"Budgie:GNOME", "", false, DesktopKind::Gnome},
                                           EnvCase{"Unity", "", false, DesktopKind::Gnome},
                                           EnvCase{"X-Cinnamon", "", false, DesktopKind::Cinnamon},
                                           EnvCase{"MATE", "", false, DesktopKind::Mate},
                                           EnvCase{"KDE", "", false, DesktopKind::Plasma},
                                           EnvCase{"XFCE", "", false, DesktopKind::Xfce},
                                           EnvCase{"LXQt", "", false, DesktopKind::Lxqt},
                                           EnvCase{"sway", "", false, DesktopKind::Sway},
                                           EnvCase{"", "", true, DesktopKind::Sway},
                                           EnvCase{"", "plasma", false, DesktopKind::Plasma},
                                           EnvCase{"i3", "i3", false, DesktopKind::Unknown},
                                           EnvCase{"", "", false, DesktopKind::Unknown}));

// Desktops that store the wallpaper in their settings have it back after a login; sway's
// background and a bare X11 root window start empty with every session.
TEST(DesktopKeepsWallpaper, OnlyWhereTheDesktopStoresIt) {
  const struct {
    const char* current;
    bool swaysock;
    bool keeps;
  } cases[] = {{"GNOME", false, true}, {"ubuntu:GNOME", false, true},
               {"KDE", false, true},   {"XFCE", false, true},
               {"MATE", false, true},  {"X-Cinnamon", false, true},
               {"sway", false, false}, {"", true, false},
               {"i3", false, false},   {"", false, false}};
  for (const auto& c : cases) {
    QProcessEnvironment env;
    if (*c.current) env.insert("XDG_CURRENT_DESKTOP", c.current);
    if (c.swaysock) env.insert("SWAYSOCK", "/run/user/1000/sway-ipc.sock");
    EXPECT_EQ(DesktopKeepsWallpaper(env), c.keeps) << c.current << (c.swaysock ? " SWAYSOCK" : "");
  }
}

// sway's answers, cut to what is read: a bar of 30 pixels on top of the second output.
TEST(SwayUsableArea, IsTheVisibleWorkspaceOfTheOutputFromItsCorner) {
  const QString outputs = R"([
    {"name": "HEADLESS-1", "rect": {"x": 0, "y": 0, "width": 1280, "height": 720}},
    {"name": "HEADLESS-2", "rect": {"x": 1280, "y": 0, "width": 640, "height": 360}}])";
  const QString workspaces = R"([
    {"name": "1", "output": "HEADLESS-1", "visible": true,
     "rect": {"x": 0, "y": 0, "width": 1280, "height": 720}},
    {"name": "2", "output": "HEADLESS-2", "visible": false,
     "rect": {"x": 1280, "y": 0, "width": 640, "height": 360}},
    {"name": "3", "output": "HEADLESS-2", "visible": true,
     "rect": {"x": 1280, "y": 30, "width": 640, "height": 330}}])";
  EXPECT_EQ(SwayUsableArea(workspaces, outputs, "HEADLESS-1"), QRect(0, 0, 1280, 720));
  EXPECT_EQ(SwayUsableArea(workspaces, outputs, "HEADLESS-2"), QRect(0, 30, 640, 330));
  EXPECT_TRUE(SwayUsableArea(workspaces, outputs, "HDMI-A-1").isEmpty());
  EXPECT_TRUE(SwayUsableArea("not json", outputs, "HEADLESS-1").isEmpty());
}

// A machine whose programs are recorded and answered by script.
class Installer : public ::testing::Test {
 protected:
  struct Call {
    QString program;
    QStringList args;
    bool fileThere;  // the file named in the call existed while the program ran
  };
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    bmp_ = dir_.path() + "/Quillatorne.bmp";
    picture_ = QImage(40, 30, QImage::Format_RGB32);
    picture_.fill(qRgb(10, 200, 30));
    ASSERT_TRUE(picture_.save(bmp_, "BMP"));
    machine_.env = QProcessEnvironment();
    machine_.run = [this](const QString& program, const QStringList& args, QString* output,
                          QString* error) {
      const QString file = FileIn(args);
      calls_.append({program, args, !file.isEmpty() && QFileInfo(file).isFile()});
      if (output) *output = listing_;
      if (failing_.contains(program) || failing_.contains(program + " " + args.value(2))) {
        *error = program + " said no";
        return false;
      }
      return true;
    };
    machine_.setRootPixmap = [this](const QImage& image, QString* error) {
      rootSets_ << image.size();
      if (!rootWorks_) *error = "no X server";
      return rootWorks_;
    };
  }
  // The picture file a call names, as a plain path.
  QString FileIn(const QStringList& args) const {
    for (QString a : args) {
      if (a.startsWith("file://")) return QUrl(a).toLocalFile();
      if (a.startsWith("--set-wallpaper=")) a = a.mid(16);
      if (a.startsWith('"')) a = a.mid(1, a.size() - 2);
      if (a.startsWith(dir_.path())) return a;
    }
    return QString();
  }
  bool Install(QString* error = nullptr) {
    QString e;
    const bool ok = InstallWallpaperOn(machine_, bmp_, picture_, &e);
    if (error) *error = e;
    return ok;
  }
  QStringList Copies() const { return QDir(dir_.path()).entryList({"Quillatorne-*"}, QDir::Files); }
  void Desktop(const char* name, bool x11 = false) {
    machine_.env.insert("XDG_CURRENT_DESKTOP", name);
    if (x11) machine_.env.insert("DISPLAY", ":5");
  }

  QTemporaryDir dir_;
  QString bmp_;
  QImage picture_;
  InstallerMachine machine_;
  QList<Call> calls_;
  QString listing_;
  QStringList failing_;  // programs, or "program third-argument", that fail
  QList<QSize> rootSets_;
  bool rootWorks_ = true;
};
}  // namespace

TEST_F(Installer, GnomeGetsAFreshPngUriForBothStylesEveryTime) {
  Desktop("ubuntu:GNOME");
  ASSERT_TRUE(Install());
  ASSERT_TRUE(Install());
  ASSERT_EQ(calls_.size(), 4);
  QStringList uris;
  for (const Call& c : calls_) {
    EXPECT_EQ(c.program, "gsettings");
    EXPECT_TRUE(c.fileThere);
    uris << c.args[3];
  }
  EXPECT_THAT(calls_[0].args,
              ElementsAre("set", "org.gnome.desktop.background", "picture-uri", uris[0]));
  EXPECT_THAT(calls_[1].args,
              ElementsAre("set", "org.gnome.desktop.background", "picture-uri-dark", uris[0]));
  EXPECT_EQ(uris[1], uris[0]);
  EXPECT_EQ(uris[2], uris[3]);
  EXPECT_NE(uris[2], uris[0]);  // a path GNOME already shows would be ignored
  // Only the copy on show is kept, and it is a PNG of the picture; the program's BMP stays.
  const QString current = QUrl(uris[2]).toLocalFile();
  EXPECT_THAT(Copies(), ElementsAre(QFileInfo(current).fileName()));
  EXPECT_TRUE(current.endsWith(".png"));
  EXPECT_EQ(QImage(current, "PNG").convertToFormat(QImage::Format_RGB32), picture_);
  EXPECT_TRUE(QFile::exists(bmp_));
}

TEST_F(Installer, OlderGnomeWithoutTheDarkKeyStillSucceeds) {
  Desktop("GNOME");
  failing_ << "gsettings picture-uri-dark";
  EXPECT_TRUE(Install());
}

struct ToolCase {
  const char* desktop;
  const char* program;
  const char* key;  // an argument the call must carry
  const char* suffix;
};
class DesktopTool : public Installer, public ::testing::WithParamInterface<ToolCase> {};

TEST_P(DesktopTool, IsToldAboutAFreshFileOfAFormItReads) {
  const ToolCase& c = GetParam();
  Desktop(c.desktop);
  ASSERT_TRUE(Install());
  ASSERT_EQ(calls_.size(), 1);
  EXPECT_EQ(calls_[0].program, c.program);
  if (*c.key) {
    EXPECT_THAT(calls_[0].args, ::testing::Contains(QString::fromLatin1(c.key)));
  }
  EXPECT_TRUE(calls_[0].fileThere);
  const QString file = FileIn(calls_[0].args);
  EXPECT_TRUE(file.endsWith(c.suffix)) << qPrintable(file);
  EXPECT_NE(file, bmp_);
  EXPECT_EQ(QImage(file).convertToFormat(QImage::Format_RGB32), picture_);
}

INSTANTIATE_TEST_SUITE_P(
    Desktops, DesktopTool,
    ::testing::Values(ToolCase{"X-Cinnamon", "gsettings", "org.cinnamon.desktop.background",
                               ".png"},
                      ToolCase{"MATE", "gsettings", "picture-filename", ".png"},
                      ToolCase{"KDE", "plasma-apply-wallpaperimage", "", ".bmp"},
                      ToolCase{"LXQt", "pcmanfm-qt", "", ".bmp"},
                      ToolCase{"sway", "swaymsg", "bg", ".png"}));

TEST_F(Installer, XfceSetsEveryMonitorAndWorkspace) {
  Desktop("XFCE");
  listing_ =
      "/backdrop/screen0/monitor0/workspace0/last-image\n/backdrop/screen0/monitor0/workspace0/"
      "image-style\n"
      "/backdrop/screen0/monitorHDMI-1/workspace0/last-image\n/backdrop/screen0/monitorHDMI-1/"
      "workspace1/last-image\n"
      "/desktop-icons/style\n";
  ASSERT_TRUE(Install());
  ASSERT_EQ(calls_.size(), 4);
  EXPECT_THAT(calls_[0].args, ElementsAre("-c", "xfce4-desktop", "-l"));
  QStringList set;
  for (int i = 1; i < 4; ++i) {
    EXPECT_EQ(calls_[i].args[4], "-s");
    EXPECT_TRUE(calls_[i].fileThere);
    set << calls_[i].args[3];
  }
  EXPECT_THAT(set, ElementsAre("/backdrop/screen0/monitor0/workspace0/last-image",
                               "/backdrop/screen0/monitorHDMI-1/workspace0/last-image",
                               "/backdrop/screen0/monitorHDMI-1/workspace1/last-image"));
}

TEST_F(Installer, XfceWithoutBackdropsYetCreatesTheFirst) {
  Desktop("XFCE");
  ASSERT_TRUE(Install());
  ASSERT_EQ(calls_.size(), 2);
  EXPECT_THAT(calls_[1].args,
              ::testing::IsSupersetOf(
                  {QString("-n"), QString("/backdrop/screen0/monitor0/workspace0/last-image")}));
}

TEST_F(Installer, WithoutAKnownDesktopOnX11TheRootWindowIsPainted) {
  machine_.env.insert("DISPLAY", ":5");
  ASSERT_TRUE(Install());
  EXPECT_THAT(calls_, IsEmpty());
  EXPECT_THAT(rootSets_, ElementsAre(QSize(40, 30)));
  EXPECT_THAT(Copies(), IsEmpty());
}

TEST_F(Installer, AFailingDesktopToolFallsBackToTheRootWindowOnX11) {
  Desktop("KDE", true);
  failing_ << "plasma-apply-wallpaperimage";
  EXPECT_TRUE(Install());
  EXPECT_EQ(rootSets_.size(), 1);
  EXPECT_THAT(Copies(), IsEmpty());  // the copy nobody took is not left behind
}

TEST_F(Installer, FailuresSayWhatWentWrong) {
  QString error;
  EXPECT_FALSE(Install(&error));
  EXPECT_THAT(error.toStdString(), HasSubstr("no known way"));

  Desktop("KDE");
  failing_ << "plasma-apply-wallpaperimage";
  EXPECT_FALSE(Install(&error));
  EXPECT_THAT(error.toStdString(), HasSubstr("KDE Plasma: plasma-apply-wallpaperimage said no"));
  EXPECT_TRUE(rootSets_.isEmpty());  // a Wayland session has no root window to paint

  machine_.env.insert("DISPLAY", ":5");
  machine_.env.insert("WAYLAND_DISPLAY", "wayland-0");  // XWayland's root window is never seen
  EXPECT_FALSE(Install(&error));
  EXPECT_TRUE(rootSets_.isEmpty());

  machine_.env.remove("WAYLAND_DISPLAY");
  rootWorks_ = false;
  EXPECT_FALSE(Install(&error));
  EXPECT_THAT(error.toStdString(), HasSubstr("X11 root window: no X server"));
}

TEST_F(Installer, TheSwayPathIsQuotedForItsCommandParser) {
  Desktop("sway");
  ASSERT_TRUE(Install());
  ASSERT_EQ(calls_.size(), 1);
  EXPECT_EQ(calls_[0].args[0], "output");
  EXPECT_EQ(calls_[0].args[1], "*");
  EXPECT_TRUE(calls_[0].args[3].startsWith('"') && calls_[0].args[3].endsWith('"'));
}

namespace {
// Compositors known by no name of their own, and Hyprland: which tool draws the picture.
struct CompositorCase {
  const char* name;
  const char* desktop;          // XDG_CURRENT_DESKTOP
  QStringList installed;        // programs on PATH; "portal": a desktop portal on the bus
  QStringList failing;          // of those, the ones that say no (their daemon is not running)
  const char* expectedProgram;  // the last program that got the picture; empty: none could
};

class CompositorInstaller : public Installer, public ::testing::WithParamInterface<CompositorCase> {
 protected:
  void SetUp() override {
    Installer::SetUp();
    const CompositorCase& c = GetParam();
    machine_.env.insert("XDG_CURRENT_DESKTOP", c.desktop);
    machine_.env.insert("WAYLAND_DISPLAY", "wayland-1");
    machine_.installed = [c](const QString& program) { return c.installed.contains(program); };
    machine_.keepRunning = [this](const QString& program, const QStringList& args, QString* error) {
      if (failing_.contains(program)) {
        *error = "exited at once";
        return false;
      }
      kept_ << program + " " + args.join(' ');
      return true;
    };
    machine_.portal = [this, c](const QString& file, QString* error) {
      portalGot_ << file;
      if (!c.installed.contains("portal")) {
        *error = "no desktop portal runs on the session bus";
        return false;
      }
      if (failing_.contains("portal")) {
        *error = "the desktop portal refused to set the wallpaper";
        return false;
      }
      portalShown_ = QFileInfo(file).isFile();
      return true;
    };
    failing_ = c.failing;
  }
  QStringList kept_;
  QStringList portalGot_;
  bool portalShown_ = false;  // the portal was handed a file that exists
};

TEST_P(CompositorInstaller, TheFirstToolThatWorksGetsAFreshPng) {
  const CompositorCase& c = GetParam();
  QString error;
  const bool ok = Install(&error);
  const QString expected = QString::fromLatin1(c.expectedProgram);
  if (expected.isEmpty()) {
    EXPECT_FALSE(ok);
    // The user is told what to install.
    if (!c.installed.contains("swaybg")) {
      // The user is told what to install, and why the others did not do.
      EXPECT_THAT(error.toStdString(), HasSubstr("install swaybg"));
    }
    for (const QString& failed : c.failing)
      EXPECT_THAT(error.toStdString(), HasSubstr(failed.toStdString()));
    EXPECT_THAT(error.toStdString(), HasSubstr("desktop portal"));
    EXPECT_THAT(Copies(), IsEmpty());
    return;
  }
  ASSERT_TRUE(ok) << error.toStdString();
  ASSERT_EQ(Copies().size(), 1);
  const QString copy = dir_.path() + "/" + Copies().first();
  EXPECT_TRUE(copy.endsWith(".png"));
  if (expected == "swaybg") {
    ASSERT_EQ(kept_.size(), 1);
    EXPECT_EQ(kept_[0], "swaybg -m fill -i " + copy);
    EXPECT_THAT(portalGot_, IsEmpty());  // the portal only when the tools could not
  } else if (expected == "portal") {
    EXPECT_THAT(portalGot_, ElementsAre(copy));
    EXPECT_TRUE(portalShown_);
    EXPECT_TRUE(kept_.isEmpty());
  } else {
    ASSERT_FALSE(calls_.isEmpty());
    QStringList named;
    for (const Call& call : calls_)
      if (call.program == expected && call.args.join(' ').contains(copy)) named << call.program;
    EXPECT_FALSE(named.isEmpty()) << expected.toStdString();
    EXPECT_TRUE(kept_.isEmpty());
  }
  // Kept across sessions by none of them: the program puts the picture back at start-up.
  EXPECT_FALSE(DesktopKeepsWallpaper(machine_.env));
}

INSTANTIATE_TEST_SUITE_P(
    Tools, CompositorInstaller,
    ::testing::Values(
        CompositorCase{"HyprlandWithHyprpaper", "Hyprland", {"hyprctl", "swaybg"}, {}, "hyprctl"},
        CompositorCase{
            "HyprlandWithoutHyprpaper", "Hyprland", {"hyprctl", "swaybg"}, {"hyprctl"}, "swaybg"},
        CompositorCase{"RiverWithSwww", "river", {"swww", "swaybg"}, {}, "swww"},
        CompositorCase{"LabwcWithAwwwNotRunning", "labwc", {"awww", "swaybg"}, {"awww"}, "swaybg"},
        CompositorCase{"NiriWithSwaybg", "niri", {"swaybg"}, {}, "swaybg"},
        CompositorCase{"CosmicWithNothing", "COSMIC", {}, {}, ""},
        CompositorCase{"CosmicWithThePortalOnly", "COSMIC", {"portal"}, {}, "portal"},
        CompositorCase{"WayfireWhoseSwaybgFailsUsesThePortal",
                       "wayfire",
                       {"swaybg", "portal"},
                       {"swaybg"},
                       "portal"},
        CompositorCase{"HyprlandWithNothingButThePortal", "Hyprland", {"portal"}, {}, "portal"},
        CompositorCase{"RiverWhosePortalRefuses", "river", {"portal"}, {"portal"}, ""},
        CompositorCase{"LabwcWithEverythingFailing",
                       "labwc",
                       {"swww", "swaybg", "portal"},
                       {"swww", "swaybg", "portal"},
                       ""}),
    [](const auto& info) { return std::string(info.param.name); });
}  // namespace

namespace {
// Two monitors: the primary DP-1 (the fixture's picture) and HDMI-A-1 to its right, portrait.
class TwoMonitorInstaller : public Installer {
 protected:
  void SetUp() override {
    Installer::SetUp();
    QImage side(20, 50, QImage::Format_RGB32);
    side.fill(qRgb(220, 20, 20));
    const QString sideFile = dir_.path() + "/Quillatorne-HDMI-A-1.bmp";
    ASSERT_TRUE(side.save(sideFile, "BMP"));
    pictures_ = {{{"DP-1", QRect(0, 0, 40, 30), true}, bmp_, picture_},
                 {{"HDMI-A-1", QRect(40, 0, 20, 50), false}, sideFile, side}};
    machine_.keepRunning = [this](const QString& program, const QStringList& args, QString*) {
      kept_ << program + " " + args.join(' ');
      return true;
    };
  }
  bool InstallBoth() {
    QString error;
    const bool ok = InstallWallpapersOn(machine_, pictures_, &error);
    EXPECT_TRUE(ok) << error.toStdString();
    return ok;
  }
  // The desktop's copy of the monitor's picture from the last install: the primary's (or the
  // spanned one) carries no monitor name.
  QString CopyOf(const QString& monitor) const {
    const QRegularExpression copy(QRegularExpression::anchoredPattern(
        "Quillatorne-" + (monitor.isEmpty() ? QString() : monitor + "-") + "\\d{10,}\\.png"));
    for (const QString& name : Copies())
      if (copy.match(name).hasMatch()) return dir_.path() + "/" + name;
    return QString();
  }
  QString Primary() const { return CopyOf(QString()); }
  QList<MonitorPicture> pictures_;
  QStringList kept_;
};
}  // namespace

TEST_F(TwoMonitorInstaller, SwayGivesEachOutputItsOwnPicture) {
  Desktop("sway");
  ASSERT_TRUE(InstallBoth());
  const QString primary = Primary(), side = CopyOf("HDMI-A-1");
  EXPECT_EQ(QImage(primary).size(), QSize(40, 30));
  EXPECT_EQ(QImage(side).size(), QSize(20, 50));
  ASSERT_EQ(calls_.size(), 2);
  EXPECT_THAT(calls_[0].args, ElementsAre("output", "\"DP-1\"", "bg", '"' + primary + '"', "fill"));
  EXPECT_THAT(calls_[1].args, ElementsAre("output", "\"HDMI-A-1\"", "bg", '"' + side + '"', "fill"));
  // Installed again: the copies of the first time go, each monitor's own picture stays.
  ASSERT_TRUE(InstallBoth());
  EXPECT_EQ(Copies().size(), 3);
  EXPECT_TRUE(QFileInfo::exists(pictures_[1].file));
  EXPECT_FALSE(QFileInfo::exists(primary));
  EXPECT_FALSE(QFileInfo::exists(side));
}

TEST_F(TwoMonitorInstaller, OtherCompositorsToolsAreToldEachOutput) {
  machine_.env.insert("XDG_CURRENT_DESKTOP", "river");
  machine_.env.insert("WAYLAND_DISPLAY", "wayland-1");
  machine_.installed = [](const QString& program) { return program == "swaybg"; };
  ASSERT_TRUE(InstallBoth());
  EXPECT_THAT(kept_, ElementsAre("swaybg -o DP-1 -m fill -i " + Primary() +
                                 " -o HDMI-A-1 -m fill -i " + CopyOf("HDMI-A-1")));

  machine_.installed = [](const QString& program) { return program == "swww"; };
  calls_.clear();
  ASSERT_TRUE(InstallBoth());
  ASSERT_EQ(calls_.size(), 2);
  EXPECT_THAT(calls_[0].args, ElementsAre("img", "-o", "DP-1", Primary()));
  EXPECT_THAT(calls_[1].args, ElementsAre("img", "-o", "HDMI-A-1", CopyOf("HDMI-A-1")));
}

TEST_F(TwoMonitorInstaller, TheGnomeFamilyGetsOnePictureSpannedAcrossBoth) {
  struct Case {
    const char* desktop;
    const char* schema;
  };
  for (const Case& c : {Case{"GNOME", "org.gnome.desktop.background"},
                        Case{"X-Cinnamon", "org.cinnamon.desktop.background"},
                        Case{"MATE", "org.mate.background"}}) {
    SCOPED_TRACE(c.desktop);
    calls_.clear();
    machine_.env = QProcessEnvironment();
    Desktop(c.desktop);
    ASSERT_TRUE(InstallBoth());
    const QString copy = Primary();
    const QImage spanned(copy);
    ASSERT_EQ(spanned.size(), QSize(60, 50));
    EXPECT_EQ(spanned.pixel(0, 0), qRgb(10, 200, 30));
    EXPECT_EQ(spanned.pixel(59, 49), qRgb(220, 20, 20));
    EXPECT_EQ(spanned.pixel(0, 49), qRgb(0, 0, 0));
    ASSERT_GE(calls_.size(), 2);
    EXPECT_EQ(calls_[0].args[1], c.schema);
    EXPECT_EQ(FileIn(calls_[0].args), copy);
    EXPECT_THAT(calls_[1].args, ElementsAre("set", c.schema, "picture-options", "spanned"));
  }
}

TEST_F(TwoMonitorInstaller, TheX11RootWindowGetsTheSpannedPicture) {
  machine_.env.insert("DISPLAY", ":5");
  ASSERT_TRUE(InstallBoth());
  EXPECT_THAT(rootSets_, ElementsAre(QSize(60, 50)));
}

TEST_F(TwoMonitorInstaller, XfceSetsEachMonitorsKeysToItsPicture) {
  Desktop("XFCE");
  listing_ =
      "/backdrop/screen0/monitor0/workspace0/last-image\n"
      "/backdrop/screen0/monitorDP-1/workspace0/last-image\n"
      "/backdrop/screen0/monitorDP-1/workspace1/last-image\n"
      "/backdrop/screen0/monitorHDMI-A-1/workspace0/last-image\n";
  ASSERT_TRUE(InstallBoth());
  QStringList set;
  for (const Call& c : calls_.mid(1)) set << c.args[3] + " " + QFileInfo(c.args.last()).fileName();
  const QString primary = QFileInfo(Primary()).fileName();
  const QString side = QFileInfo(CopyOf("HDMI-A-1")).fileName();
  EXPECT_THAT(set, ElementsAre("/backdrop/screen0/monitor0/workspace0/last-image " + primary,
                               "/backdrop/screen0/monitorDP-1/workspace0/last-image " + primary,
                               "/backdrop/screen0/monitorDP-1/workspace1/last-image " + primary,
                               "/backdrop/screen0/monitorHDMI-A-1/workspace0/last-image " + side));

  // A monitor XFCE has no keys for yet gets those of its first workspace.
  listing_ = "/backdrop/screen0/monitorDP-1/workspace0/last-image\n";
  calls_.clear();
  ASSERT_TRUE(InstallBoth());
  ASSERT_EQ(calls_.size(), 3);
  EXPECT_THAT(calls_[2].args,
              ElementsAre("-c", "xfce4-desktop", "-p",
                          "/backdrop/screen0/monitorHDMI-A-1/workspace0/last-image", "-n", "-t",
                          "string", "-s", CopyOf("HDMI-A-1")));
}
