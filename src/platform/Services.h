#pragma once
// The seams between the program and the machine it runs on. Each has one production
// implementation in this folder; the tests install fakes.
#include <QDateTime>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/Monitors.h"

class IClock {
 public:
  virtual ~IClock() = default;
  // The wall clock, in the time zone in force now (which may change while the program runs).
  virtual QDateTime Now() const = 0;
  // Milliseconds since a fixed moment, sleep and suspend included. Unlike the wall clock it
  // never jumps: neither daylight saving, nor a change of zone, nor a clock set by hand.
  virtual qint64 ElapsedMs() const = 0;
};

// A generator yielding 0..32767, seeded once at start-up.
class IRandom {
 public:
  virtual ~IRandom() = default;
  virtual void Seed(uint32_t seed) = 0;
  virtual int Next() = 0;
};

class IDesktop {
 public:
  virtual ~IDesktop() = default;
  // The primary screen in device pixels.
  virtual QSize ScreenSize() const = 0;
  // Every monitor in device pixels, the primary marked; by default the primary screen alone.
  virtual MonitorList Monitors() const {
    return {Monitor{QString(), QRect(QPoint(0, 0), ScreenSize()), true}};
  }
  // Makes the file the desktop wallpaper; the image is the same picture, for desktops
  // that need another file format. Returns false with a reason on failure.
  virtual bool InstallWallpaper(const QString& bmpPath, const QImage& image, QString* error) = 0;
  // Gives each monitor its own picture (the primary's first); a desktop that shows one
  // picture on all monitors gets the primary's.
  virtual bool InstallWallpapers(const QList<MonitorPicture>& pictures, QString* error) {
    if (pictures.isEmpty()) return true;
    return InstallWallpaper(pictures.first().file, pictures.first().image, error);
  }
  // Whether the desktop keeps the wallpaper from one session to the next; one that does not
  // shows its own background after every login until it is told again.
  virtual bool KeepsWallpaper() const { return true; }
  // The part of the primary screen that panels leave free, in device pixels from the
  // screen's top-left corner.
  virtual QRect AvailableArea() const { return QRect(QPoint(0, 0), ScreenSize()); }
  // Starts an executable detached, or hands any other file or a URL to the desktop.
  virtual bool ShellOpen(const QString& target) = 0;
  // Plays a sound file without waiting; no audio device is not an error.
  virtual void PlaySound(const QString& file) = 0;
};

// Message box flags and answers, as the Win32 message box takes and gives them.
enum : unsigned {
  MB_OK = 0x00,
  MB_OKCANCEL = 0x01,
  MB_YESNO = 0x04,
  MB_ICONERROR = 0x10,
  MB_ICONQUESTION = 0x20,
  MB_ICONWARNING = 0x30,
  MB_ICONINFORMATION = 0x40,
  MB_DEFBUTTON2 = 0x100,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

class IMessageBoxes {
 public:
  virtual ~IMessageBoxes() = default;
  // Modal; keeps the event loop (and so the tick) running. Returns IDOK, IDYES, ...
  virtual int Show(const QString& text, const QString& caption, unsigned flags) = 0;
};

class IKeyring;        // platform/Keyring.h
class INotifications;  // platform/DesktopNotifications.h
class PasswordKeeper;  // settings/PasswordKeeper.h
class Pop3Client;      // mail/Pop3Client.h
class ImapClient;      // mail/ImapClient.h

// Make the clients of the mail checks, and of the IMAP accounts' watch for new mail.
using Pop3ClientFactory = std::function<std::unique_ptr<Pop3Client>()>;
using ImapClientFactory = std::function<std::unique_ptr<ImapClient>()>;

struct Services {
  IClock* clock = nullptr;
  IRandom* random = nullptr;
  IDesktop* desktop = nullptr;
  IMessageBoxes* messages = nullptr;
  IKeyring* keyring = nullptr;              // none: passwords stay in the settings file
  INotifications* notifications = nullptr;  // none: windows only
  // Where passwords go, given by the main window; none: they stay in the record as it is.
  PasswordKeeper* passwords = nullptr;
  Pop3ClientFactory mailClient;             // none: the real POP3 client
  ImapClientFactory imapClient;             // none: the real IMAP client
};

// The production implementations, for the whole run (needs a QGuiApplication for the
// desktop). Tests build a record of fakes instead.
Services ProductionServices();

// "Now" as the program's date-time (days since 1899-12-30).
double NowDays(const IClock& clock);
// The general error report: every exception that reaches the event loop ends here.
void ReportError(IMessageBoxes& boxes, const QString& message);
