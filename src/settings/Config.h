#pragma once
// The settings record. Plain fields; the main window owns the program's one and hands it to
// the pages and engines; LoadConfig/SaveConfig persist it (ConfigStore.h).
#include <QHash>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>

#include "agenda/AgendaView.h"
#include "reminders/LookOut.h"

using Color = uint32_t;  // 0x00BBGGRR, red in the low byte

// A value shared with the mail worker: always read and written whole. Copying takes a
// snapshot, so the record stays a plain copyable value.
template <typename T>
class Shared {
 public:
  Shared(T v = T()) : v_(v) {}
  Shared(const Shared& o) : v_(o.load()) {}
  Shared& operator=(const Shared& o) {
    store(o.load());
    return *this;
  }
  Shared& operator=(T v) {
    store(v);
    return *this;
  }
  operator T() const { return load(); }
  T load() const { return v_.load(std::memory_order_acquire); }
  void store(T v) { v_.store(v, std::memory_order_release); }
  T exchange(T v) { return v_.exchange(v, std::memory_order_acq_rel); }

 private:
  std::atomic<T> v_;
};

// The settings below that are one of a few choices are stored as the choice's number. A file
// may hold a number that names no choice (written by hand, or by a later version): it is kept
// as it is, so it is saved back unchanged, and every reader treats it as the comment beside
// its type says.

// How the wallpaper picture changes by itself. Any other number never changes it by itself.
enum class WallpaperChangeRule : int { Never = 0, RandomOnStartup = 1, RandomByTime = 2 };

// The calendar's layout. Any other number draws no calendar.
enum class CalendarStyle : int { Classic = 0, Vertical = 1, Horizontal = 2 };

// The first column of the calendar. Any other number starts on Sunday.
enum class WeekStart : int { Sunday = 0, Monday = 1 };

// The month and day names: the system's language, or English. Any other number is English.
enum class CalendarLanguage : int { Local = 0, English = 1 };

// How a popup reminder comes back. Any other number does not recur.
enum class Recurrence : int { None = 0, Daily = 1, Weekly = 2, Monthly = 3, Yearly = 4 };

// The colour of a day's dot; the dots of one day are drawn in this order. Any other number is
// never drawn.
enum class DotColor : int { Red = 0, Yellow = 1, Green = 2 };
constexpr int kDotColorCount = 3;
constexpr DotColor kDotColorsInOrder[kDotColorCount] = {DotColor::Red, DotColor::Yellow,
                                                        DotColor::Green};

constexpr int kChangeDelayCount = 15;
constexpr int kDefaultChangeDelay = 10;
// Seconds of change delay for ChangeDelay index 0..14; any other index counts as 10.
int ChangeDelaySeconds(int index);

struct PopupReminder {
  QString Name = QStringLiteral("New reminder");
  QString Text = QStringLiteral("<enter text here>");
  double DateTime = 0;  // a new reminder is due now: see NewPopupReminder()
  Recurrence Recur = Recurrence::None;
  // Day of the month a monthly or yearly reminder keeps where a shorter month cut it
  // short (31 -> 30 April -> 31 May); 0 until it first moves on. Stored beside Recur, so
  // the day outlives a restart.
  int RecurDay = 0;
  // Not persisted:
  bool Showing = false;
  bool IsSnoozed = false;
  int ListIndex = -1;
  bool Missed = false;  // pops up late: its time passed while the program was not looking
  quint64 Id = 0;       // identity for the whole run, so answers reach the right entry
};
// A reminder as the user adds it: due now.
PopupReminder NewPopupReminder(double now);

// How an account's connection is secured; stored as its number.
enum class MailSecurity { None = 0, StartTls = 1, SslTls = 2 };
enum class MailProtocol { Pop3 = 0, Imap = 1 };

struct EmailAccount {
  QString Name;
  QString Server;
  QString User;
  QString Password;
  bool EnableCheck = false;
  // Accounts stored before this setting existed speak plain POP3, as they always did.
  MailSecurity Security = MailSecurity::None;
  // Accounts stored before IMAP was offered are POP3.
  MailProtocol Protocol = MailProtocol::Pop3;
  // The keyring entry holding this account's password, its own for good. Empty in files
  // written before each account had one: then its entry is "user@server".
  QString PasswordKey{};
};
// A stored number that names no setting reads as plain POP3, like an absent one.
inline MailSecurity MailSecurityFromInt(int n) {
  return n == 1 ? MailSecurity::StartTls : n == 2 ? MailSecurity::SslTls : MailSecurity::None;
}
inline MailProtocol MailProtocolFromInt(int n) {
  return n == 1 ? MailProtocol::Imap : MailProtocol::Pop3;
}
// A new account: "New" on "server" as "user", checked, IMAP over SSL/TLS.
EmailAccount NewEmailAccount();

struct ColorReminder {
  int date = 0;   // day number; a new one is today: see NewColorReminder()
  DotColor style = DotColor::Red;
};
ColorReminder NewColorReminder(double today);

// A calendar the agenda follows: a local .ics file, an http(s) address of one, or a CalDAV
// calendar collection.
struct AgendaCalendar {
  QString URL;
  QString User;
  QString Password;
  Color MarkColor = 0xE08030;  // stored as "Color n"
  bool Enabled = true;
  bool Alarms = false;
  // The keyring entry holding its password, its own for good; empty until it has one.
  QString PasswordKey{};
};

struct AgendaConfigT {
  QList<AgendaCalendar> Calendars;
  bool ShowList = false;
  int ListDays = 7;
  int RefreshMinutes = 15;
};

struct WallpaperConfigT {
  QStringList Paths;
  WallpaperChangeRule ChangeRule = WallpaperChangeRule::RandomByTime;
  int ChangeDelay = kDefaultChangeDelay;
  Color BackgroundColor = 0x000000;
  bool StretchToFit = true;
  bool ConstrainProportions = true;
  bool Recursive = false;
  bool ShowImage = true;
  QString SelPath;
  QString SelFile;
  double LastTimeWallpaperChanged = 0;
};

struct CalendarConfigT {
  bool ShowCalendar = true;
  CalendarStyle Style = CalendarStyle::Classic;
  int Size = 50;
  int PosX = 120;
  int PosY = 5;
  WeekStart FirstWeekDay = WeekStart::Monday;
  CalendarLanguage Language = CalendarLanguage::English;
  bool DrawGlass = true;
  bool DrawTextShadow = true;
  QString Font = QStringLiteral("Arial");
  Color ColorMonthYear = 0x00B3FF;
  Color ColorDayNames = 0xC0C0C0;
  Color ColorDayNumbers = 0xFFFF00;
  Color ColorWeekMarker = 0x00B3FF;
};

struct RemindersConfigT {
  QList<PopupReminder> Reminders;
  // A due reminder also goes to the desktop's notification centre, where one runs.
  bool DesktopNotifications = true;
};

struct ProgramConfigT {
  bool ExitAfterSet = false;
  bool EnableSounds = true;
  bool AllowXP = false;
  int LastYear = 0;
  int LastMonth = 0;
  int LastDay = 0;
  QString LastImageFileName;
  int VersionMajor = 4;
  int VersionMinor = 2;
};

struct EmailConfigT {
  QList<EmailAccount> Accounts;
  QString EmailClient;
  QString DiffProgram;
  bool EnableCheck = true;
  int IntervalMinutes = 20;
  bool ReportErrorsDialog = false;
  bool ReportErrorsSound = false;
  QString ErrorSound;
  bool CheckOnStartup = false;
  bool AddIcon = false;
  bool LeftLaunch = false;
  bool LeftRemoveIcon = false;
  bool LeftShowMenu = false;
  bool RightLaunch = false;
  bool RightRemoveIcon = false;
  bool RightShowMenu = false;
  bool Animate = false;
  bool ShowDialog = false;
  bool OnlyOnce = false;
  bool LaunchEmailProgram = false;
  bool LaunchDiffProgram = false;
  bool PlaySound = false;
  QString Sound;
  // Count and announce only messages no check has counted before.
  bool CountOnlyNew = false;
  // The announcement names up to five new messages' senders and subjects.
  bool ShowSenders = true;
  // The announcement also goes to the desktop's notification centre.
  bool ShowNotification = false;
};

struct DynamicConfigT {
  bool PreviewOpen = false;
  bool WindowVisible = true;
  // The miniature desktop of the calendar style page: a square, or the screen's shape with
  // its long side kDesktopBoxLongSide.
  static constexpr int kDesktopBoxSide = 140;
  static constexpr int kDesktopBoxLongSide = 187;
  int DesktopBoxWidth = kDesktopBoxSide;
  int DesktopBoxHeight = kDesktopBoxSide;
  // The four values the mail worker shares with the user-interface thread.
  Shared<bool> EmailCheckRunning = false;
  Shared<int> NewMailCount = 0;
  Shared<double> LastEmailCheck = 0.0;
  Shared<bool> NoNewMail = false;
  QString SelectedImage;
  double LastSetTime = 0;
  // The same moment on the clock that does not jump (IClock::ElapsedMs); -1 before the first.
  qint64 LastSetElapsedMs = -1;
  QList<PopupReminder> SnoozedReminders;
  int AnnouncedMailCount = 0;
  // The last new-mail notification still on screen (INotifications' handle), or 0.
  quint64 MailNotification = 0;
  int EditReminderIndex = -1;
  // The checks of the popup reminders: tells a jump of the wall clock from a time nobody
  // looked.
  LookOut ReminderLookOut;
  // Reminders answered with Edit, by identity, with the date-time they had then: seen, so
  // not shown again as missed.
  QHash<quint64, double> RemindersAnsweredWithEdit;
  // What the agenda puts on the calendar now: set when a fetch changes it.
  AgendaView Agenda;
};

struct ColorRemConfigT {
  QList<ColorReminder> ColorReminders;
};

struct Config {
  Config() = default;
  // The miniature desktop on the calendar style page follows the screen's shape.
  explicit Config(QSize screen);

  WallpaperConfigT WallpaperConfig;
  CalendarConfigT CalendarConfig;
  RemindersConfigT RemindersConfig;
  ProgramConfigT ProgramConfig;
  EmailConfigT EmailConfig;
  DynamicConfigT DynamicConfig;
  ColorRemConfigT ColorRemConfig;
  AgendaConfigT AgendaConfig;
};

// A fresh run-wide identity for a popup reminder.
quint64 NextReminderId();
