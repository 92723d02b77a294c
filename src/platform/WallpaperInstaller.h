#pragma once
#include <QImage>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>

#include "platform/Monitors.h"

// Makes the picture the desktop's wallpaper by whatever means the running desktop offers.
bool InstallDesktopWallpaper(const QString& bmpPath, const QImage& image, QString* error);
// Each monitor its own picture (the primary's first) where the desktop can show that, else one
// picture spanning all monitors, else the primary's.
bool InstallMonitorWallpapers(const QList<MonitorPicture>& pictures, QString* error);

// The desktops we know how to tell about a new wallpaper.
// OtherWayland: a compositor we do not know by name (river, Wayfire, labwc, niri, COSMIC...).
enum class DesktopKind {
  Unknown,
  Gnome,
  Cinnamon,
  Mate,
  Plasma,
  Xfce,
  Lxqt,
  Lxde,
  Sway,
  Hyprland,
  OtherWayland
};
// Recognised from the session's environment (XDG_CURRENT_DESKTOP, DESKTOP_SESSION, SWAYSOCK,
// HYPRLAND_INSTANCE_SIGNATURE, WAYLAND_DISPLAY).
DesktopKind DetectDesktop(const QProcessEnvironment& env);

// Whether the desktop stores the wallpaper in its own settings, so that it is back after a
// login: the GNOME family, Plasma, XFCE, MATE, Cinnamon, LXQt and LXDE do; sway's background
// and the X11 root window's pixmap end with the session.
bool DesktopKeepsWallpaper(const QProcessEnvironment& env);

// The part of the sway output that its panels leave free (the visible workspace's rectangle),
// from the output's top-left corner in layout pixels, read from swaymsg's get_workspaces and
// get_outputs answers; empty when they do not tell.
QRect SwayUsableArea(const QString& workspacesJson, const QString& outputsJson,
                     const QString& output);
// Runs a program, waiting a few seconds at most; true when it exited with 0.
bool RunProgram(const QString& program, const QStringList& args, QString* output, QString* error);

// What the installer needs from the machine; tests replace the parts.
struct InstallerMachine {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  // Runs a program, waiting a bounded time; true when it ran and exited with 0. Its standard
  // output goes to *output when given; a reason to *error on failure.
  std::function<bool(const QString& program, const QStringList& args, QString* output,
                     QString* error)>
      run;
  // Whether a program is installed (on PATH).
  std::function<bool(const QString& program)> installed;
  // Starts a program that must keep running (swaybg), ending the one started before once the
  // new one runs; false with a reason when it did not start.
  std::function<bool(const QString& program, const QStringList& args, QString* error)> keepRunning;
  // Asks the XDG desktop portal to make the picture file the background (bounded wait);
  // false with a reason when there is none or it would not.
  std::function<bool(const QString& file, QString* error)> portal;
  // Paints the X11 root window with the picture.
  std::function<bool(const QImage& image, QString* error)> setRootPixmap;
};
// The machine as it is: real programs (at most a few seconds each) and the X server.
InstallerMachine SystemInstallerMachine();

// The installer proper, with the machine given: one picture for every monitor...
bool InstallWallpaperOn(const InstallerMachine& machine, const QString& bmpPath,
                        const QImage& image, QString* error);
// ... or one for each. sway, other wlroots compositors and XFCE show each monitor its own; the
// GNOME family and the X11 root window get one picture across all, spanned; the others the
// primary's.
bool InstallWallpapersOn(const InstallerMachine& machine, const QList<MonitorPicture>& pictures,
                         QString* error);

// Sets the root window's background pixmap on the display of $DISPLAY and publishes it in
// _XROOTPMAP_ID and ESETROOT_PMAP_ID, freeing the pixmap an earlier setter left behind.
bool SetX11RootPixmap(const QImage& image, QString* error);
