#include "platform/WallpaperInstaller.h"

#include <unistd.h>
#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "platform/DesktopPortal.h"
#include "wallpaper/MonitorLayout.h"
#include "wallpaper/PngWriter.h"

namespace {
constexpr int kCommandTimeoutMs = 4000;

// Desktops that read pictures through gdk-pixbuf, whose recent builds skip BMP.
bool NeedsPng(DesktopKind kind) {
  switch (kind) {
    case DesktopKind::Gnome:
    case DesktopKind::Cinnamon:
    case DesktopKind::Mate:
    case DesktopKind::Xfce:
    case DesktopKind::Lxde:
    case DesktopKind::Sway:
    case DesktopKind::Hyprland:
    case DesktopKind::OtherWayland:
      return true;
    default:
      return false;
  }
}

QString DesktopName(DesktopKind kind) {
  switch (kind) {
    case DesktopKind::Gnome:
      return QStringLiteral("GNOME");
    case DesktopKind::Cinnamon:
      return QStringLiteral("Cinnamon");
    case DesktopKind::Mate:
      return QStringLiteral("MATE");
    case DesktopKind::Plasma:
      return QStringLiteral("KDE Plasma");
    case DesktopKind::Xfce:
      return QStringLiteral("XFCE");
    case DesktopKind::Lxqt:
      return QStringLiteral("LXQt");
    case DesktopKind::Lxde:
      return QStringLiteral("LXDE");
    case DesktopKind::Sway:
      return QStringLiteral("sway");
    case DesktopKind::Hyprland:
      return QStringLiteral("Hyprland");
    default:
      return QStringLiteral("this desktop");
  }
}

DesktopKind KindFromName(QString name) {
  name = name.trimmed().toLower();
  if (name == "gnome" || name == "ubuntu" || name == "budgie" || name == "budgie-desktop" ||
      name == "unity" || name == "pantheon" || name == "gnome-classic" ||
      name == "gnome-flashback") {
    return DesktopKind::Gnome;
  }
  if (name == "x-cinnamon" || name == "cinnamon") return DesktopKind::Cinnamon;
  if (name == "mate") return DesktopKind::Mate;
  if (name == "kde" || name == "plasma" || name == "plasmawayland") return DesktopKind::Plasma;
  if (name == "xfce" || name == "xfce4" || name == "xubuntu") return DesktopKind::Xfce;
  if (name == "lxqt") return DesktopKind::Lxqt;
  if (name == "lxde" || name == "lubuntu") return DesktopKind::Lxde;
  if (name == "sway") return DesktopKind::Sway;
  if (name == "hyprland") return DesktopKind::Hyprland;
  return DesktopKind::Unknown;
}

// A name the desktop has not shown before: desktops ignore a re-set of the path they show. The
// copies of monitors other than the primary carry the monitor's name.
QString FreshCopyName(const QString& dir, const QString& monitor, const QString& suffix) {
  static qint64 last = 0;
  qint64 stamp = QDateTime::currentMSecsSinceEpoch();
  if (stamp <= last) stamp = last + 1;
  last = stamp;
  const QString part = monitor.isEmpty() ? QString() : SafeFileNamePart(monitor) + QLatin1Char('-');
  return dir + QStringLiteral("/Quillatorne-%1%2.%3").arg(part).arg(stamp).arg(suffix);
}

// The copies made for the desktop on earlier changes, but those to keep.
QStringList OtherCopies(const QString& dir, const QStringList& keep) {
  static const QRegularExpression copy(QStringLiteral("^Quillatorne-(.+-)?\\d{10,}\\.(png|bmp)$"));
  QStringList keepNames;
  for (const QString& k : keep) keepNames << QFileInfo(k).fileName();
  QStringList result;
  const QDir d(dir);
  for (const QString& name :
       d.entryList({QStringLiteral("Quillatorne-*.png"), QStringLiteral("Quillatorne-*.bmp")},
                   QDir::Files)) {
    if (copy.match(name).hasMatch() && !keepNames.contains(name)) result << d.filePath(name);
  }
  return result;
}

bool MakeCopy(DesktopKind kind, const QString& bmpPath, const QImage& image, const QString& copy,
              QString* error) {
  if (NeedsPng(kind)) {
    // Uncompressed: the copy is written on every change and read once, from the page cache;
    // compressing it cost five times the whole composition.
    try {
      WritePngFile(image, copy);
      return true;
    } catch (const std::exception& e) {
      *error = QString::fromUtf8(e.what());
      return false;
    }
  }
  if (::link(QFile::encodeName(bmpPath).constData(), QFile::encodeName(copy).constData()) == 0) {
    return true;
  }
  if (QFile::copy(bmpPath, copy)) return true;
  *error = QStringLiteral("could not write %1").arg(copy);
  return false;
}

bool Installed(const InstallerMachine& m, const QString& program) {
  return !m.installed || m.installed(program);
}

// What a desktop is told to show: a file on one output, or on every output (no name).
struct Shown {
  QString output;
  QString file;
};

// Hyprland's own wallpaper daemon, when it runs.
bool TellHyprpaper(const InstallerMachine& m, const QList<Shown>& shown, QString* error) {
  const QString hyprctl = QStringLiteral("hyprctl");
  if (!Installed(m, hyprctl)) {
    *error = QStringLiteral("hyprctl is not installed");
    return false;
  }
  for (const Shown& s : shown) {
    if (!m.run(hyprctl, {"hyprpaper", "preload", s.file}, nullptr, error) ||
        !m.run(hyprctl, {"hyprpaper", "wallpaper", s.output + QLatin1Char(',') + s.file}, nullptr,
               error))
      return false;
  }
  QString ignored;
  m.run(hyprctl, {"hyprpaper", "unload", "unused"}, nullptr, &ignored);
  return true;
}

// A compositor with no tool of its own: swww (awww since its rename), else swaybg, which draws
// the background for as long as it runs, each output its own picture; as the last resort the
// desktop portal, whose backend for the desktop may know a way (one picture for all).
bool TellOtherCompositor(const InstallerMachine& m, const QList<Shown>& shown, QString* error) {
  QStringList tried;
  for (const QString& daemonClient : {QStringLiteral("awww"), QStringLiteral("swww")}) {
    if (!Installed(m, daemonClient)) continue;
    QString why;
    bool all = true;
    for (const Shown& s : shown) {
      QStringList args{QStringLiteral("img")};
      if (!s.output.isEmpty()) args << QStringLiteral("-o") << s.output;
      if (!m.run(daemonClient, args << s.file, nullptr, &why)) {
        all = false;
        break;
      }
    }
    if (all) return true;
    tried << daemonClient + QStringLiteral(": ") + why;
  }
  const bool swaybg = Installed(m, QStringLiteral("swaybg"));
  if (swaybg && m.keepRunning) {
    QStringList args;
    for (const Shown& s : shown) {
      if (!s.output.isEmpty()) args << QStringLiteral("-o") << s.output;
      args << QStringLiteral("-m") << QStringLiteral("fill") << QStringLiteral("-i") << s.file;
    }
    QString why;
    if (m.keepRunning(QStringLiteral("swaybg"), args, &why)) return true;
    tried << QStringLiteral("swaybg: ") + why;
  }
  if (m.portal) {
    QString why;
    if (m.portal(shown.first().file, &why)) return true;
    tried << QStringLiteral("desktop portal: ") + why;
  }
  QStringList said;
  // swaybg works on every wlroots compositor: without it the user learns what to install.
  if (!swaybg) {
    said << QStringLiteral(
        "no known way to set the wallpaper on this desktop worked; install swaybg (or swww, "
        "or hyprpaper on Hyprland)");
  }
  *error = (said + tried).join(QStringLiteral("; "));
  return false;
}

// XFCE keeps a picture per monitor and workspace: each monitor's keys get its picture; keys of
// monitors it does not know (an old "monitor0") get the primary's. A monitor without keys yet
// gets those of its first workspace.
bool TellXfce(const InstallerMachine& m, const QList<Shown>& shown, QString* error) {
  const QString xfconf = QStringLiteral("xfconf-query");
  QString listing;
  if (!m.run(xfconf, {"-c", "xfce4-desktop", "-l"}, &listing, error)) return false;
  static const QRegularExpression key(
      QStringLiteral("^/backdrop/screen\\d+/monitor([^/]+)/workspace\\d+/last-image$"));
  QStringList properties;
  QStringList monitorsWithKeys;
  for (const QString& line : listing.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
    const QString p = line.trimmed();
    if (!p.startsWith(QLatin1String("/backdrop/")) || !p.endsWith(QLatin1String("/last-image")))
      continue;
    properties << p;
    const QRegularExpressionMatch match = key.match(p);
    if (match.hasMatch()) monitorsWithKeys << match.captured(1);
  }
  const auto fileFor = [&](const QString& property) {
    const QRegularExpressionMatch match = key.match(property);
    for (const Shown& s : shown)
      if (match.hasMatch() && !s.output.isEmpty() && s.output == match.captured(1)) return s.file;
    return shown.first().file;
  };
  for (const QString& p : properties) {
    if (!m.run(xfconf, {"-c", "xfce4-desktop", "-p", p, "-s", fileFor(p)}, nullptr, error))
      return false;
  }
  for (const Shown& s : shown) {
    // A fresh session has no backdrop properties yet, a new monitor none of its own.
    if (!properties.isEmpty() && (s.output.isEmpty() || monitorsWithKeys.contains(s.output)))
      continue;
    const QString monitor = s.output.isEmpty() ? QStringLiteral("0") : s.output;
    if (!m.run(xfconf,
               {"-c", "xfce4-desktop", "-p",
                QStringLiteral("/backdrop/screen0/monitor%1/workspace0/last-image").arg(monitor),
                "-n", "-t", "string", "-s", s.file},
               nullptr, error))
      return false;
  }
  return true;
}

// The GNOME family shows one picture on all monitors: spanned, it is the whole desktop's.
bool TellGnomeFamily(const InstallerMachine& m, const QString& schema, const QString& key,
                     const QString& value, bool spanned, QString* error) {
  const QString gsettings = QStringLiteral("gsettings");
  if (!m.run(gsettings, {"set", schema, key, value}, nullptr, error)) return false;
  if (spanned &&
      !m.run(gsettings, {"set", schema, "picture-options", "spanned"}, nullptr, error))
    return false;
  return true;
}

bool TellDesktop(const InstallerMachine& m, DesktopKind kind, const QList<Shown>& shown,
                 bool spanned, QString* error) {
  const QString& file = shown.first().file;
  const QString uri = QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded);
  switch (kind) {
    case DesktopKind::Gnome: {
      const QString schema = QStringLiteral("org.gnome.desktop.background");
      if (!TellGnomeFamily(m, schema, "picture-uri", uri, spanned, error)) return false;
      // GNOME 42 and later show this one with a dark style; older ones lack the key.
      QString ignored;
      m.run(QStringLiteral("gsettings"), {"set", schema, "picture-uri-dark", uri}, nullptr,
            &ignored);
      return true;
    }
    case DesktopKind::Cinnamon:
      return TellGnomeFamily(m, "org.cinnamon.desktop.background", "picture-uri", uri, spanned,
                             error);
    case DesktopKind::Mate:
      return TellGnomeFamily(m, "org.mate.background", "picture-filename", file, spanned, error);
    case DesktopKind::Plasma:
      return m.run(QStringLiteral("plasma-apply-wallpaperimage"), {file}, nullptr, error);
    case DesktopKind::Lxqt:
      return m.run(QStringLiteral("pcmanfm-qt"), {QStringLiteral("--set-wallpaper=") + file},
                   nullptr, error);
    case DesktopKind::Lxde:
      return m.run(QStringLiteral("pcmanfm"), {QStringLiteral("--set-wallpaper=") + file}, nullptr,
                   error);
    case DesktopKind::Hyprland:
      if (TellHyprpaper(m, shown, error)) return true;
      [[fallthrough]];  // no hyprpaper running: as any other compositor
    case DesktopKind::OtherWayland:
      return TellOtherCompositor(m, shown, error);
    case DesktopKind::Sway: {
      // swaymsg joins its arguments into one command, so the names are quoted.
      const auto quoted = [](QString text) {
        text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
        text.replace(QLatin1Char('"'), QStringLiteral("\\\""));
        return QLatin1Char('"') + text + QLatin1Char('"');
      };
      for (const Shown& s : shown) {
        const QString output = s.output.isEmpty() ? QStringLiteral("*") : quoted(s.output);
        if (!m.run(QStringLiteral("swaymsg"), {"output", output, "bg", quoted(s.file), "fill"},
                   nullptr, error))
          return false;
      }
      return true;
    }
    case DesktopKind::Xfce:
      return TellXfce(m, shown, error);
    default:
      *error = QStringLiteral("unknown desktop");
      return false;
  }
}

// Desktops that show each monitor its own picture.
bool PerMonitor(DesktopKind kind) {
  switch (kind) {
    case DesktopKind::Sway:
    case DesktopKind::Hyprland:
    case DesktopKind::OtherWayland:
    case DesktopKind::Xfce:
      return true;
    default:
      return false;
  }
}

// Desktops that take one picture for all monitors and can span it across them.
bool Spans(DesktopKind kind) {
  return kind == DesktopKind::Gnome || kind == DesktopKind::Cinnamon || kind == DesktopKind::Mate;
}

}  // namespace

bool RunProgram(const QString& program, const QStringList& args, QString* output, QString* error) {
  const QString exe = QStandardPaths::findExecutable(program);
  if (exe.isEmpty()) {
    *error = QStringLiteral("%1 is not installed").arg(program);
    return false;
  }
  QProcess p;
  p.setProcessChannelMode(QProcess::SeparateChannels);
  p.start(exe, args);
  if (!p.waitForStarted(kCommandTimeoutMs)) {
    *error = QStringLiteral("%1 could not be started").arg(program);
    return false;
  }
  // Bounded: a hung desktop tool must not freeze the program.
  if (!p.waitForFinished(kCommandTimeoutMs)) {
    p.kill();
    p.waitForFinished(1000);
    *error = QStringLiteral("%1 did not answer within %2 seconds")
                 .arg(program)
                 .arg(kCommandTimeoutMs / 1000);
    return false;
  }
  if (output) *output = QString::fromLocal8Bit(p.readAllStandardOutput());
  if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
    const QString err = QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
    *error = QStringLiteral("%1 failed (exit code %2)%3")
                 .arg(program)
                 .arg(p.exitCode())
                 .arg(err.isEmpty() ? QString() : QStringLiteral(": ") + err);
    return false;
  }
  return true;
}

namespace {
// --- The X11 root window -------------------------------------------------------------------

struct XcbConnection {
  xcb_connection_t* c = nullptr;
  ~XcbConnection() {
    if (c) xcb_disconnect(c);
  }
};

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
  xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
      c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t atom = r ? r->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
  std::free(r);
  return atom;
}

xcb_pixmap_t PixmapProperty(xcb_connection_t* c, xcb_window_t root, xcb_atom_t atom) {
  if (atom == XCB_ATOM_NONE) return XCB_NONE;
  xcb_get_property_reply_t* r =
      xcb_get_property_reply(c, xcb_get_property(c, 0, root, atom, XCB_ATOM_PIXMAP, 0, 1), nullptr);
  xcb_pixmap_t pixmap = XCB_NONE;
  if (r && r->type == XCB_ATOM_PIXMAP && r->format == 32 && xcb_get_property_value_length(r) >= 4) {
    std::memcpy(&pixmap, xcb_get_property_value(r), 4);
  }
  std::free(r);
  return pixmap;
}

const xcb_visualtype_t* FindVisual(const xcb_screen_t* screen) {
  for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem; xcb_depth_next(&d)) {
    for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
      if (v.data->visual_id == screen->root_visual) return v.data;
    }
  }
  return nullptr;
}
}  // namespace

bool SetX11RootPixmap(const QImage& source, QString* error) {
  XcbConnection conn;
  int screenNumber = 0;
  conn.c = xcb_connect(nullptr, &screenNumber);
  if (!conn.c || xcb_connection_has_error(conn.c)) {
    *error = QStringLiteral("cannot connect to the X display");
    return false;
  }
  xcb_connection_t* c = conn.c;
  const xcb_setup_t* setup = xcb_get_setup(c);
  auto it = xcb_setup_roots_iterator(setup);
  for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
  if (!it.rem) {
    *error = QStringLiteral("the X display has no such screen");
    return false;
  }
  const xcb_screen_t* screen = it.data;
  const uint8_t depth = screen->root_depth;
  uint8_t bitsPerPixel = 0;
  for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f)) {
    if (f.data->depth == depth) bitsPerPixel = f.data->bits_per_pixel;
  }
  const xcb_visualtype_t* visual = FindVisual(screen);
  // The common true-colour layout, which is the picture's own 0xffRRGGBB in memory.
  if ((depth != 24 && depth != 32) || bitsPerPixel != 32 ||
      setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST || !visual ||
      visual->red_mask != 0xFF0000 || visual->green_mask != 0xFF00 || visual->blue_mask != 0xFF) {
    *error = QStringLiteral("the X display's pixel format (depth %1) is not supported").arg(depth);
    return false;
  }
  const QImage image = source.convertToFormat(QImage::Format_RGB32);
  const int width = image.width(), height = image.height();
  if (width <= 0 || height <= 0 || width > 32767 || height > 32767) {
    *error = QStringLiteral("the picture's size does not suit the X display");
    return false;
  }
  const uint32_t maxRequestBytes = xcb_get_maximum_request_length(c) * 4u;
  const uint32_t rowBytes = static_cast<uint32_t>(width) * 4u;
  if (maxRequestBytes <= 64 + rowBytes) {
    *error = QStringLiteral("the picture is too wide for the X display");
    return false;
  }
  const int rowsPerRequest = static_cast<int>((maxRequestBytes - 64) / rowBytes);

  const xcb_window_t root = screen->root;
  const xcb_pixmap_t pixmap = xcb_generate_id(c);
  if (xcb_generic_error_t* e = xcb_request_check(
          c, xcb_create_pixmap_checked(c, depth, pixmap, root, static_cast<uint16_t>(width),
                                       static_cast<uint16_t>(height)))) {
    std::free(e);
    *error = QStringLiteral("the X server could not make a %1 x %2 pixmap").arg(width).arg(height);
    return false;
  }
  const xcb_gcontext_t gc = xcb_generate_id(c);
  xcb_create_gc(c, gc, pixmap, 0, nullptr);
  for (int y = 0; y < height; y += rowsPerRequest) {
    const int rows = std::min(rowsPerRequest, height - y);
    xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, static_cast<uint16_t>(width),
                  static_cast<uint16_t>(rows), 0, static_cast<int16_t>(y), 0, depth,
                  static_cast<uint32_t>(rows) * rowBytes, image.constScanLine(y));
  }
  xcb_free_gc(c, gc);

  const xcb_atom_t rootAtom = Atom(c, "_XROOTPMAP_ID");
  const xcb_atom_t esetrootAtom = Atom(c, "ESETROOT_PMAP_ID");
  if (rootAtom == XCB_ATOM_NONE || esetrootAtom == XCB_ATOM_NONE) {
    *error = QStringLiteral("the X server refused the root pixmap properties");
    return false;
  }
  xcb_grab_server(c);
  const xcb_pixmap_t oldRoot = PixmapProperty(c, root, rootAtom);
  const xcb_pixmap_t oldEsetroot = PixmapProperty(c, root, esetrootAtom);
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, root, rootAtom, XCB_ATOM_PIXMAP, 32, 1, &pixmap);
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, root, esetrootAtom, XCB_ATOM_PIXMAP, 32, 1,
                      &pixmap);
  const uint32_t background = pixmap;
  xcb_change_window_attributes(c, root, XCB_CW_BACK_PIXMAP, &background);
  xcb_clear_area(c, 0, root, 0, 0, 0, 0);
  // The previous setter (us on an earlier change, or another tool) kept its pixmap alive by
  // retaining its connection's resources; by convention that pixmap is freed by the next one.
  if (oldRoot != XCB_NONE && oldRoot == oldEsetroot) xcb_kill_client(c, oldRoot);
  xcb_ungrab_server(c);
  // Our pixmap must outlive this connection.
  xcb_set_close_down_mode(c, XCB_CLOSE_DOWN_RETAIN_PERMANENT);
  // A round trip, so every request above has been handled before we look for errors.
  std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  bool failed = xcb_connection_has_error(c) != 0;
  while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
    if (event->response_type == 0) failed = true;
    std::free(event);
  }
  if (failed) {
    *error = QStringLiteral("the X server rejected the root pixmap");
    return false;
  }
  return true;
}

DesktopKind DetectDesktop(const QProcessEnvironment& env) {
  for (const QString& name :
       env.value(QStringLiteral("XDG_CURRENT_DESKTOP")).split(QLatin1Char(':'))) {
    const DesktopKind kind = KindFromName(name);
    if (kind != DesktopKind::Unknown) return kind;
  }
  if (!env.value(QStringLiteral("SWAYSOCK")).isEmpty()) return DesktopKind::Sway;
  if (!env.value(QStringLiteral("HYPRLAND_INSTANCE_SIGNATURE")).isEmpty())
    return DesktopKind::Hyprland;
  const DesktopKind kind = KindFromName(env.value(QStringLiteral("DESKTOP_SESSION")));
  if (kind == DesktopKind::Unknown && !env.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty())
    return DesktopKind::OtherWayland;
  return kind;
}

QRect SwayUsableArea(const QString& workspacesJson, const QString& outputsJson,
                     const QString& output) {
  auto rect = [](const QJsonValue& v) {
    const QJsonObject r = v.toObject();
    return QRect(r["x"].toInt(), r["y"].toInt(), r["width"].toInt(), r["height"].toInt());
  };
  QRect outputRect;
  for (const QJsonValue& o : QJsonDocument::fromJson(outputsJson.toUtf8()).array()) {
    if (o["name"].toString() == output) outputRect = rect(o["rect"]);
  }
  if (outputRect.isEmpty()) return QRect();
  for (const QJsonValue& w : QJsonDocument::fromJson(workspacesJson.toUtf8()).array()) {
    if (w["output"].toString() == output && w["visible"].toBool())
      return rect(w["rect"])
          .translated(-outputRect.topLeft())
          .intersected(QRect(QPoint(0, 0), outputRect.size()));
  }
  return QRect();
}

bool DesktopKeepsWallpaper(const QProcessEnvironment& env) {
  switch (DetectDesktop(env)) {
    case DesktopKind::Sway:
    case DesktopKind::Hyprland:  // hyprpaper's preload lasts only as long as the session
    case DesktopKind::OtherWayland:
    case DesktopKind::Unknown:
      return false;
    default:
      return true;
  }
}

static bool KeepRunning(const QString& program, const QStringList& args, QString* error) {
  // Ours alone, replaced on each change; it ends with the program.
  static QPointer<QProcess> current;
  auto* next = new QProcess(qApp);
  next->setProcessChannelMode(QProcess::ForwardedErrorChannel);
  next->start(program, args);
  if (!next->waitForStarted(3000)) {
    if (error) *error = next->errorString();
    delete next;
    return false;
  }
  // Drawn by the new one before the old one goes: no flash of the bare background.
  if (current) {
    QProcess* old = current;
    QTimer::singleShot(1000, old, [old] {
      old->terminate();
      if (!old->waitForFinished(2000)) old->kill();
      old->deleteLater();
    });
  }
  current = next;
  return true;
}

InstallerMachine SystemInstallerMachine() {
  InstallerMachine m;
  m.run = RunProgram;
  m.installed = [](const QString& program) {
    return !QStandardPaths::findExecutable(program).isEmpty();
  };
  m.keepRunning = KeepRunning;
  m.portal = [](const QString& file, QString* error) {
    return SetWallpaperThroughPortal(QDBusConnection::sessionBus(), file, kPortalTimeoutMs, error);
  };
  m.setRootPixmap = SetX11RootPixmap;
  return m;
}

bool InstallWallpapersOn(const InstallerMachine& m, const QList<MonitorPicture>& pictures,
                         QString* error) {
  if (pictures.isEmpty()) return true;
  QString reason;
  const DesktopKind kind = DetectDesktop(m.env);
  // Under a Wayland compositor the X root window (of XWayland) is never seen.
  const bool x11 = !m.env.value(QStringLiteral("DISPLAY")).isEmpty() &&
                   m.env.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty();
  const bool several = pictures.size() > 1;
  // One picture across all monitors, each region at its monitor's place, for the desktops
  // that show a single one.
  QImage spannedImage;
  const auto spanned = [&]() -> const QImage& {
    if (spannedImage.isNull()) spannedImage = SpannedPicture(pictures);
    return spannedImage;
  };
  if (kind != DesktopKind::Unknown) {
    const QString dir = QFileInfo(pictures.first().file).absolutePath();
    const QString suffix = NeedsPng(kind) ? QStringLiteral("png") : QStringLiteral("bmp");
    const bool span = several && Spans(kind);
    QList<Shown> shown;
    QStringList made;
    bool copied = true;
    if (span) {
      made << FreshCopyName(dir, QString(), suffix);
      copied = MakeCopy(kind, QString(), spanned(), made.last(), &reason);
      shown << Shown{QString(), made.last()};
    } else {
      const qsizetype count = several && PerMonitor(kind) ? pictures.size() : 1;
      for (qsizetype i = 0; copied && i < count; ++i) {
        const MonitorPicture& p = pictures[i];
        made << FreshCopyName(dir, i == 0 ? QString() : p.monitor.name, suffix);
        copied = MakeCopy(kind, p.file, p.image, made.last(), &reason);
        // One monitor alone: every output, also one that comes later.
        shown << Shown{count > 1 ? p.monitor.name : QString(), made.last()};
      }
    }
    if (copied && TellDesktop(m, kind, shown, span, &reason)) {
      // The desktop shows the new copies now; the older ones can go.
      for (const QString& old : OtherCopies(dir, made)) QFile::remove(old);
      return true;
    }
    for (const QString& copy : made) QFile::remove(copy);
    reason = DesktopName(kind) + QStringLiteral(": ") + reason;
    // The desktop's own mechanism failed; on X11 the root window is still worth a try.
    if (!x11) {
      if (error) *error = reason;
      return false;
    }
  } else if (!x11) {
    if (error) *error = QStringLiteral("no known way to set the wallpaper on this desktop");
    return false;
  }
  QString rootReason;
  // The root window spans all monitors.
  if (m.setRootPixmap(several ? spanned() : pictures.first().image, &rootReason)) return true;
  if (error) {
    *error = reason.isEmpty() ? QStringLiteral("X11 root window: ") + rootReason
                              : reason + QStringLiteral("; X11 root window: ") + rootReason;
  }
  return false;
}

bool InstallWallpaperOn(const InstallerMachine& m, const QString& bmpPath, const QImage& image,
                        QString* error) {
  return InstallWallpapersOn(
      m, {MonitorPicture{Monitor{QString(), image.rect(), true}, bmpPath, image}}, error);
}

bool InstallMonitorWallpapers(const QList<MonitorPicture>& pictures, QString* error) {
  static const InstallerMachine machine = SystemInstallerMachine();
  return InstallWallpapersOn(machine, pictures, error);
}

bool InstallDesktopWallpaper(const QString& bmpPath, const QImage& image, QString* error) {
  static const InstallerMachine machine = SystemInstallerMachine();
  return InstallWallpaperOn(machine, bmpPath, image, error);
}
