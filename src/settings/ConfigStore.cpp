#include "settings/ConfigStore.h"

#include <QDir>
#include <QFileInfo>
#include <memory>

#include "mail/MailPasswords.h"
#include "platform/Paths.h"

namespace {

const QString kBase = QStringLiteral("Base");
const QString kWallpaper = QStringLiteral("Wallpaper");
const QString kCalendar = QStringLiteral("Calendar");
const QString kReminders = QStringLiteral("Reminders");
const QString kProgram = QStringLiteral("Program");
const QString kEmail = QStringLiteral("Email");
const QString kEmailAccounts = QStringLiteral("Email Accounts");
const QString kColorReminders = QStringLiteral("ColorReminders");

QString PopupSection(int n) { return QStringLiteral("Popup Reminder %1").arg(n); }
QString SnoozedSection(int n) { return QStringLiteral("Snoozed Reminder %1").arg(n); }

// A popup reminder's four values; a snoozed copy keeps the same four.
PopupReminder ReadReminder(const RegistryStore& s, const QString& section) {
  PopupReminder r;
  r.Id = NextReminderId();
  r.Name = s.ReadString(section, QStringLiteral("Name"), QString());
  r.Text = s.ReadString(section, QStringLiteral("Text"), QString());
  r.DateTime = s.ReadDateTime(section, QStringLiteral("DateTime"), 0);
  r.Recur = s.ReadInteger(section, QStringLiteral("Recur"), 0);
  return r;
}

void WriteReminder(RegistryStore& s, const QString& section, const PopupReminder& r) {
  s.WriteString(section, QStringLiteral("Name"), r.Name);
  s.WriteString(section, QStringLiteral("Text"), r.Text);
  s.WriteDateTime(section, QStringLiteral("DateTime"), r.DateTime);
  s.WriteInteger(section, QStringLiteral("Recur"), r.Recur);
}

// The mail options live beside the accounts when there are any.
const QString& MailOptionsSection(const EmailConfigT& e) {
  return e.Accounts.isEmpty() ? kEmail : kEmailAccounts;
}

struct BoolField {
  const char* name;
  bool EmailConfigT::*field;
};
// In the order they are stored, from ReportErrorsDialog on.
const BoolField kMailFlags1[] = {{"ReportErrorsDialog", &EmailConfigT::ReportErrorsDialog},
                                 {"ReportErrorsSound", &EmailConfigT::ReportErrorsSound},
                                 {"CheckOnStartup", &EmailConfigT::CheckOnStartup}};
const BoolField kMailFlags2[] = {{"AddIcon", &EmailConfigT::AddIcon},
                                 {"LeftLaunch", &EmailConfigT::LeftLaunch},
                                 {"LeftRemoveIcon", &EmailConfigT::LeftRemoveIcon},
                                 {"LeftShowMenu", &EmailConfigT::LeftShowMenu},
                                 {"RightLaunch", &EmailConfigT::RightLaunch},
                                 {"RightRemoveIcon", &EmailConfigT::RightRemoveIcon},
                                 {"RightShowMenu", &EmailConfigT::RightShowMenu},
                                 {"Animate", &EmailConfigT::Animate},
                                 {"ShowDialog", &EmailConfigT::ShowDialog},
                                 {"OnlyOnce", &EmailConfigT::OnlyOnce},
                                 {"LaunchEmailProgram", &EmailConfigT::LaunchEmailProgram},
                                 {"LaunchDiffProgram", &EmailConfigT::LaunchDiffProgram},
                                 {"PlaySound", &EmailConfigT::PlaySound}};

QString N(const char* s) { return QString::fromLatin1(s); }

void LoadStored(const RegistryStore& s, Config& c) {
  auto& w = c.WallpaperConfig;
  const int paths = s.ReadInteger(kWallpaper, N("PathsCount"), 0);
  for (int n = 1; n <= paths; ++n) {
    const QString p = s.ReadString(kWallpaper, QStringLiteral("Path %1").arg(n), QString());
    if (!p.isEmpty()) w.Paths.append(p);
  }
  w.ChangeRule = s.ReadInteger(kWallpaper, N("ChangeRule"), 2);
  w.ChangeDelay = s.ReadInteger(kWallpaper, N("ChangeDelay"), kDefaultChangeDelay);
  if (w.ChangeDelay < 0 || w.ChangeDelay >= kChangeDelayCount) w.ChangeDelay = kDefaultChangeDelay;
  w.BackgroundColor = static_cast<Color>(s.ReadInteger(kWallpaper, N("BackgroundColor"), 0));
  w.StretchToFit = s.ReadBool(kWallpaper, N("StretchToFit"), true);
  w.ConstrainProportions = s.ReadBool(kWallpaper, N("ConstrainProportions"), true);
  w.Recursive = s.ReadBool(kWallpaper, N("Recursive"), false);
  w.ShowImage = s.ReadBool(kWallpaper, N("ShowImage"), true);
  w.SelPath = s.ReadString(kWallpaper, N("SelPath"), QString());
  w.SelFile = s.ReadString(kWallpaper, N("SelFile"), QString());
  w.LastTimeWallpaperChanged = s.ReadDateTime(kWallpaper, N("LastTimeWallpaperChanged"), 0);

  auto& k = c.CalendarConfig;
  k.ShowCalendar = s.ReadBool(kCalendar, N("ShowCalendar"), true);
  k.Style = s.ReadInteger(kCalendar, N("Style"), 0);
  k.Size = s.ReadInteger(kCalendar, N("Size"), 50);
  k.PosX = s.ReadInteger(kCalendar, N("PosX"), 0);
  k.PosY = s.ReadInteger(kCalendar, N("PosY"), 0);
  k.FirstWeekDay = s.ReadInteger(kCalendar, N("FirstWeekDay"), 1);
  k.Language = s.ReadInteger(kCalendar, N("Language"), 1);
  k.DrawGlass = s.ReadBool(kCalendar, N("DrawGlass"), true);
  k.DrawTextShadow = s.ReadBool(kCalendar, N("DrawTextShadow"), true);
  k.Font = s.ReadString(kCalendar, N("Font"), N("Arial"));
  k.ColorMonthYear = static_cast<Color>(s.ReadInteger(kCalendar, N("ColorMonthYear"), 0xFFFFFF));
  k.ColorDayNames = static_cast<Color>(s.ReadInteger(kCalendar, N("ColorDayNames"), 0xFFFFFF));
  k.ColorDayNumbers = static_cast<Color>(s.ReadInteger(kCalendar, N("ColorDayNumbers"), 0xFFFFFF));
  k.ColorWeekMarker = static_cast<Color>(s.ReadInteger(kCalendar, N("ColorWeekMarker"), 0xFFFFFF));

  const int reminders = s.ReadInteger(kReminders, N("Reminder Count"), 0);
  for (int n = 1; n <= reminders; ++n)
    c.RemindersConfig.Reminders.append(ReadReminder(s, PopupSection(n)));
  // Snoozed copies outlive the run; they come back as snoozed copies, never as list entries.
  const int snoozed = s.ReadInteger(kReminders, N("Snoozed Count"), 0);
  for (int n = 1; n <= snoozed; ++n) {
    PopupReminder r = ReadReminder(s, SnoozedSection(n));
    r.IsSnoozed = true;
    c.DynamicConfig.SnoozedReminders.append(r);
  }

  auto& p = c.ProgramConfig;
  p.ExitAfterSet = s.ReadBool(kProgram, N("ExitAfterSet"), false);
  p.EnableSounds = s.ReadBool(kProgram, N("EnableSounds"), true);
  p.AllowXP = s.ReadBool(kProgram, N("AllowXP"), false);
  p.LastYear = s.ReadInteger(kProgram, N("LastYear"), 0);
  p.LastMonth = s.ReadInteger(kProgram, N("LastMonth"), 0);
  p.LastDay = s.ReadInteger(kProgram, N("LastDay"), 0);
  p.LastImageFileName = s.ReadString(kProgram, N("LastImageFileName"), QString());

  auto& e = c.EmailConfig;
  const int accounts = s.ReadInteger(kEmail, N("AccountsNumber"), 0);
  for (int n = 1; n <= accounts; ++n) {
    EmailAccount a;
    a.Name = s.ReadString(kEmailAccounts, QStringLiteral("Name %1").arg(n), QString());
    a.Server = s.ReadString(kEmailAccounts, QStringLiteral("Server %1").arg(n), QString());
    a.User = s.ReadString(kEmailAccounts, QStringLiteral("User %1").arg(n), QString());
    a.Password = s.ReadString(kEmailAccounts, QStringLiteral("Password %1").arg(n), QString());
    a.EnableCheck = s.ReadBool(kEmailAccounts, QStringLiteral("EnableCheck %1").arg(n), false);
    // Mail security (an addition): absent means plain POP3.
    a.Security = MailSecurityFromInt(
        s.ReadInteger(kEmailAccounts, QStringLiteral("Security %1").arg(n), 0));
    e.Accounts.append(a);
  }
  const QString& m = MailOptionsSection(e);
  e.EmailClient = s.ReadString(m, N("EmailClient"), QString());
  e.DiffProgram = s.ReadString(m, N("DiffProgram"), QString());
  e.EnableCheck = s.ReadBool(m, N("EnableCheck"), false);
  e.IntervalMinutes = s.ReadInteger(m, N("IntervalMinutes"), 20);
  for (const auto& f : kMailFlags1) e.*f.field = s.ReadBool(m, N(f.name), false);
  e.ErrorSound = s.ReadString(m, N("ErrorSound"), QString());
  for (const auto& f : kMailFlags2) e.*f.field = s.ReadBool(m, N(f.name), false);
  e.Sound = s.ReadString(m, N("Sound"), QString());

  auto& dots = c.ColorRemConfig.ColorReminders;
  dots.clear();
  const int count = s.ReadInteger(kColorReminders, N("ColorRemCount"), 0);
  for (int i = 0; i < count; ++i) {
    ColorReminder d;
    d.date = s.ReadInteger(kColorReminders, QStringLiteral("date%1").arg(i), 0);
    d.style = s.ReadInteger(kColorReminders, QStringLiteral("style%1").arg(i), 0);
    dots.append(d);
  }
}

void SaveAll(RegistryStore& s, const Config& c) {
  s.WriteBool(kBase, N("OK"), true);

  const auto& w = c.WallpaperConfig;
  s.WriteInteger(kWallpaper, N("PathsCount"), static_cast<int>(w.Paths.size()));
  for (int n = 1; n <= w.Paths.size(); ++n)
    s.WriteString(kWallpaper, QStringLiteral("Path %1").arg(n), w.Paths[n - 1]);
  s.WriteInteger(kWallpaper, N("ChangeRule"), w.ChangeRule);
  s.WriteInteger(kWallpaper, N("ChangeDelay"), w.ChangeDelay);
  s.WriteInteger(kWallpaper, N("BackgroundColor"), static_cast<int>(w.BackgroundColor));
  s.WriteBool(kWallpaper, N("StretchToFit"), w.StretchToFit);
  s.WriteBool(kWallpaper, N("ConstrainProportions"), w.ConstrainProportions);
  s.WriteBool(kWallpaper, N("Recursive"), w.Recursive);
  s.WriteBool(kWallpaper, N("ShowImage"), w.ShowImage);
  s.WriteString(kWallpaper, N("SelPath"), w.SelPath);
  s.WriteString(kWallpaper, N("SelFile"), w.SelFile);
  s.WriteDateTime(kWallpaper, N("LastTimeWallpaperChanged"), w.LastTimeWallpaperChanged);

  const auto& k = c.CalendarConfig;
  s.WriteBool(kCalendar, N("ShowCalendar"), k.ShowCalendar);
  s.WriteInteger(kCalendar, N("Style"), k.Style);
  s.WriteInteger(kCalendar, N("Size"), k.Size);
  s.WriteInteger(kCalendar, N("PosX"), k.PosX);
  s.WriteInteger(kCalendar, N("PosY"), k.PosY);
  s.WriteInteger(kCalendar, N("FirstWeekDay"), k.FirstWeekDay);
  s.WriteInteger(kCalendar, N("Language"), k.Language);
  s.WriteBool(kCalendar, N("DrawGlass"), k.DrawGlass);
  s.WriteBool(kCalendar, N("DrawTextShadow"), k.DrawTextShadow);
  s.WriteString(kCalendar, N("Font"), k.Font);
  s.WriteInteger(kCalendar, N("ColorMonthYear"), static_cast<int>(k.ColorMonthYear));
  s.WriteInteger(kCalendar, N("ColorDayNames"), static_cast<int>(k.ColorDayNames));
  s.WriteInteger(kCalendar, N("ColorDayNumbers"), static_cast<int>(k.ColorDayNumbers));
  s.WriteInteger(kCalendar, N("ColorWeekMarker"), static_cast<int>(k.ColorWeekMarker));

  const auto& reminders = c.RemindersConfig.Reminders;
  s.WriteInteger(kReminders, N("Reminder Count"), static_cast<int>(reminders.size()));
  for (int n = 1; n <= reminders.size(); ++n) WriteReminder(s, PopupSection(n), reminders[n - 1]);
  const auto& snoozed = c.DynamicConfig.SnoozedReminders;
  s.WriteInteger(kReminders, N("Snoozed Count"), static_cast<int>(snoozed.size()));
  for (int n = 1; n <= snoozed.size(); ++n) WriteReminder(s, SnoozedSection(n), snoozed[n - 1]);

  const auto& p = c.ProgramConfig;
  s.WriteBool(kProgram, N("ExitAfterSet"), p.ExitAfterSet);
  s.WriteBool(kProgram, N("EnableSounds"), p.EnableSounds);
  s.WriteBool(kProgram, N("AllowXP"), p.AllowXP);
  s.WriteInteger(kProgram, N("LastYear"), p.LastYear);
  s.WriteInteger(kProgram, N("LastMonth"), p.LastMonth);
  s.WriteInteger(kProgram, N("LastDay"), p.LastDay);
  s.WriteString(kProgram, N("LastImageFileName"), p.LastImageFileName);

  const auto& e = c.EmailConfig;
  s.WriteInteger(kEmail, N("AccountsNumber"), static_cast<int>(e.Accounts.size()));
  for (int n = 1; n <= e.Accounts.size(); ++n) {
    const EmailAccount& a = e.Accounts[n - 1];
    s.WriteString(kEmailAccounts, QStringLiteral("name %1").arg(n), a.Name);
    s.WriteString(kEmailAccounts, QStringLiteral("Server %1").arg(n), a.Server);
    s.WriteString(kEmailAccounts, QStringLiteral("User %1").arg(n), a.User);
    // Mail passwords (an addition): empty in the file once the keyring holds them.
    s.WriteString(kEmailAccounts, QStringLiteral("Password %1").arg(n), PasswordForFile(a));
    s.WriteBool(kEmailAccounts, QStringLiteral("EnableCheck %1").arg(n), a.EnableCheck);
    // Mail security (an addition).
    s.WriteInteger(kEmailAccounts, QStringLiteral("Security %1").arg(n),
                   static_cast<int>(a.Security));
  }
  const QString& m = MailOptionsSection(e);
  s.WriteString(m, N("EmailClient"), e.EmailClient);
  s.WriteString(m, N("DiffProgram"), e.DiffProgram);
  s.WriteBool(m, N("EnableCheck"), e.EnableCheck);
  s.WriteInteger(m, N("IntervalMinutes"), e.IntervalMinutes);
  for (const auto& f : kMailFlags1) s.WriteBool(m, N(f.name), e.*f.field);
  s.WriteString(m, N("ErrorSound"), e.ErrorSound);
  for (const auto& f : kMailFlags2) s.WriteBool(m, N(f.name), e.*f.field);
  s.WriteString(m, N("Sound"), e.Sound);

  const auto& dots = c.ColorRemConfig.ColorReminders;
  s.WriteInteger(kColorReminders, N("ColorRemCount"), static_cast<int>(dots.size()));
  for (int i = 0; i < dots.size(); ++i) {
    s.WriteInteger(kColorReminders, QStringLiteral("date%1").arg(i), dots[i].date);
    s.WriteInteger(kColorReminders, QStringLiteral("style%1").arg(i), dots[i].style);
  }
}

std::unique_ptr<RegistryStore>& MainStore() {
  static std::unique_ptr<RegistryStore> store;
  return store;
}

}  // namespace

void LoadConfig(const RegistryStore& store, Config& config, const QString& programDir) {
  if (store.ReadBool(kBase, N("OK"), false)) {
    LoadStored(store, config);
    return;
  }
  // Never saved: keep the initial values; offer the pictures shipped beside the program.
  const QString images = programDir + QStringLiteral("images");
  if (QFileInfo(images).isDir()) config.WallpaperConfig.Paths.append(images);
}

bool SaveConfig(RegistryStore& store, const Config& config) {
  store.backend().BeginUpdate();
  SaveAll(store, config);
  return store.backend().EndUpdate();
}

void OpenMainStore(IRegistryBackend& backend) {
  MainStore() = std::make_unique<RegistryStore>(backend);
  MainStore()->OpenKey(QString::fromLatin1(kProductKey));
}

RegistryStore* MainIniFile() { return MainStore().get(); }

void LoadConfig() {
  if (!MainIniFile()) return;
  LoadConfig(*MainIniFile(), Cfg(), ProgramDirectory());
  FetchMailPasswords();  // passwords kept in the keyring arrive later, without waiting
}

bool SaveConfig() { return MainIniFile() && SaveConfig(*MainIniFile(), Cfg()); }
