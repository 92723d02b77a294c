#include "settings/ConfigStore.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <limits>
#include <type_traits>
#include <utility>
#include <variant>

#include "settings/ConfigFields.h"

namespace {

const QString kBase = QStringLiteral("Base");
const QString kWallpaper = QStringLiteral("Wallpaper");
const QString kCalendar = QStringLiteral("Calendar");
const QString kReminders = QStringLiteral("Reminders");
const QString kProgram = QStringLiteral("Program");
const QString kEmail = QStringLiteral("Email");
const QString kEmailAccounts = QStringLiteral("Email Accounts");
const QString kColorReminders = QStringLiteral("ColorReminders");
const QString kAgenda = QStringLiteral("Agenda");

// One value of a record, read or written by its type.
bool ReadValue(const RegistryStore& s, const QString& sec, const QString& name, bool def) {
  return s.ReadBool(sec, name, def);
}
int ReadValue(const RegistryStore& s, const QString& sec, const QString& name, int def) {
  return s.ReadInteger(sec, name, def);
}
Color ReadValue(const RegistryStore& s, const QString& sec, const QString& name, Color def) {
  return static_cast<Color>(s.ReadInteger(sec, name, static_cast<int>(def)));
}
double ReadValue(const RegistryStore& s, const QString& sec, const QString& name, double def) {
  return s.ReadDateTime(sec, name, def);
}
MailSecurity ReadValue(const RegistryStore& s, const QString& sec, const QString& name,
                       MailSecurity def) {
  return MailSecurityFromInt(s.ReadInteger(sec, name, static_cast<int>(def)));
}
MailProtocol ReadValue(const RegistryStore& s, const QString& sec, const QString& name,
                       MailProtocol def) {
  return MailProtocolFromInt(s.ReadInteger(sec, name, static_cast<int>(def)));
}
// The other choices keep whatever number the file holds, one that names no choice included:
// each reader treats such a number as its type says, and a save writes it back unchanged.
template <class E, std::enable_if_t<std::is_enum_v<E>, int> = 0>
E ReadValue(const RegistryStore& s, const QString& sec, const QString& name, E def) {
  return static_cast<E>(s.ReadInteger(sec, name, static_cast<int>(def)));
}
QString ReadValue(const RegistryStore& s, const QString& sec, const QString& name,
                  const QString& def) {
  return s.ReadString(sec, name, def);
}
void WriteValue(RegistryStore& s, const QString& sec, const QString& name, bool v) {
  s.WriteBool(sec, name, v);
}
void WriteValue(RegistryStore& s, const QString& sec, const QString& name, int v) {
  s.WriteInteger(sec, name, v);
}
void WriteValue(RegistryStore& s, const QString& sec, const QString& name, Color v) {
  s.WriteInteger(sec, name, static_cast<int>(v));
}
void WriteValue(RegistryStore& s, const QString& sec, const QString& name, double v) {
  s.WriteDateTime(sec, name, v);
}
template <class E, std::enable_if_t<std::is_enum_v<E>, int> = 0>
void WriteValue(RegistryStore& s, const QString& sec, const QString& name, E v) {
  s.WriteInteger(sec, name, static_cast<int>(v));
}
void WriteValue(RegistryStore& s, const QString& sec, const QString& name, const QString& v) {
  s.WriteString(sec, name, v);
}

// Every field of one record; list items add their number to each value name.
template <class R>
void ReadFields(const RegistryStore& s, const QString& section, ConfigFields<R> fields, R& record,
                const QString& suffix = QString()) {
  for (const auto& f : fields) {
    const QString name = QString::fromLatin1(f.name) + suffix;
    std::visit(
        [&](auto member) {
          using T = std::remove_cvref_t<decltype(record.*member)>;
          record.*member = ReadValue(s, section, name, std::get<T>(f.readDefault));
        },
        f.member);
  }
}

template <class R>
void WriteFields(RegistryStore& s, const QString& section, ConfigFields<R> fields, const R& record,
                 const QString& suffix = QString()) {
  for (const auto& f : fields) {
    const QString name = QString::fromLatin1(f.name) + suffix;
    std::visit([&](auto member) { WriteValue(s, section, name, record.*member); }, f.member);
  }
}

// Where a list keeps its count and its items. An item has either a section of its own
// (prefix + number) or shares one section, its number following each value name.
struct ListLayout {
  QString countSection;
  QString countName;
  QString items;  // the shared section, or the prefix of each item's section
  bool sectionPerItem;
  int first;  // the number of the first item: 1, or 0 for the colour dots
};

const ListLayout kPathList{kWallpaper, QStringLiteral("PathsCount"), kWallpaper, false, 1};
const ListLayout kReminderList{kReminders, QStringLiteral("Reminder Count"),
                               QStringLiteral("Popup Reminder "), true, 1};
// Snoozed copies outlive the run; they come back as snoozed copies, never as list entries.
const ListLayout kSnoozedList{kReminders, QStringLiteral("Snoozed Count"),
                              QStringLiteral("Snoozed Reminder "), true, 1};
const ListLayout kAccountList{kEmail, QStringLiteral("AccountsNumber"), kEmailAccounts, false, 1};
const ListLayout kColorDotList{kColorReminders, QStringLiteral("ColorRemCount"), kColorReminders,
                               false, 0};
const ListLayout kAgendaList{kAgenda, QStringLiteral("AgendaCount"), kAgenda, false, 1};

// The section and the value-name suffix of item number n.
std::pair<QString, QString> ItemPlace(const ListLayout& l, int n) {
  const QString number = QString::number(n);
  return l.sectionPerItem ? std::pair{l.items + number, QString()} : std::pair{l.items, number};
}

// A number as the store writes it into a name: decimal, no sign, no leading zero.
int StoredNumber(QStringView digits) {
  if (digits.isEmpty() || digits.size() > 10 || (digits.size() > 1 && digits[0] == u'0')) return -1;
  qint64 n = 0;
  for (QChar c : digits) {
    if (c < u'0' || c > u'9') return -1;
    n = n * 10 + (c.unicode() - u'0');
  }
  return n <= std::numeric_limits<int>::max() ? static_cast<int>(n) : -1;
}

// The item numbers of a list to read. A count is trusted only as far as entries exist: a
// count of 0x7fffffff must not make start-up invent two billion items. A missing item
// between present ones still reads as its defaults, unless the hole is so long that only a
// damaged file has it; then it is closed up, and nothing present is lost.
QList<int> ItemsToRead(const RegistryStore& s, const ListLayout& l, const QStringList& names,
                       int count) {
  constexpr int kLongestHole = 64;
  QList<int> items;
  if (count <= 0) return items;
  const qint64 last = qint64(l.first) + count - 1;
  const auto listed = l.sectionPerItem ? s.SectionNames() : s.ValueNames(l.items);
  if (!listed) {  // a store that cannot list its names: as the count says
    for (qint64 n = l.first; n <= last; ++n) items << static_cast<int>(n);
    return items;
  }
  QList<int> present;
  for (const QString& name : *listed) {
    for (const QString& base : names) {
      if (!name.startsWith(base, Qt::CaseInsensitive)) continue;
      const int n = StoredNumber(QStringView(name).mid(base.size()));
      if (n >= l.first && n <= last) present << n;
    }
  }
  std::sort(present.begin(), present.end());
  present.erase(std::unique(present.begin(), present.end()), present.end());
  qint64 next = l.first;
  for (int n : present) {
    if (n - next <= kLongestHole)
      for (qint64 m = next; m < n; ++m) items << static_cast<int>(m);
    items << n;
    next = qint64(n) + 1;
  }
  return items;
}

template <class R>
QStringList ItemNames(const ListLayout& l, ConfigFields<R> fields) {
  if (l.sectionPerItem) return {l.items};
  QStringList names;
  for (const auto& f : fields) names << QString::fromLatin1(f.name);
  return names;
}

template <class R, class Make>
void LoadList(const RegistryStore& s, const ListLayout& l, ConfigFields<R> fields, QList<R>& list,
              Make make) {
  list.clear();
  const int count = s.ReadInteger(l.countSection, l.countName, 0);
  for (int n : ItemsToRead(s, l, ItemNames(l, fields), count)) {
    list.append(make());
    const auto [section, suffix] = ItemPlace(l, n);
    ReadFields(s, section, fields, list.last(), suffix);
  }
}

template <class R>
void SaveList(RegistryStore& s, const ListLayout& l, ConfigFields<R> fields, const QList<R>& list) {
  s.WriteInteger(l.countSection, l.countName, static_cast<int>(list.size()));
  for (int i = 0; i < list.size(); ++i) {
    const auto [section, suffix] = ItemPlace(l, l.first + i);
    WriteFields(s, section, fields, list[i], suffix);
  }
}

PopupReminder LoadedReminder() {
  PopupReminder r;
  r.Id = NextReminderId();
  return r;
}

PopupReminder LoadedSnoozedCopy() {
  PopupReminder r = LoadedReminder();
  r.IsSnoozed = true;
  return r;
}

// The mail options live beside the accounts when there are any.
const QString& MailOptionsSection(const EmailConfigT& e) {
  return e.Accounts.isEmpty() ? kEmail : kEmailAccounts;
}

const QString kPathName = QStringLiteral("Path ");

void LoadStored(const RegistryStore& s, Config& c) {
  auto& w = c.WallpaperConfig;
  const int paths = s.ReadInteger(kPathList.countSection, kPathList.countName, 0);
  for (int n : ItemsToRead(s, kPathList, {kPathName}, paths)) {
    const QString p = s.ReadString(kWallpaper, kPathName + QString::number(n), QString());
    if (!p.isEmpty()) w.Paths.append(p);
  }
  ReadFields(s, kWallpaper, WallpaperFields(), w);
  if (w.ChangeDelay < 0 || w.ChangeDelay >= kChangeDelayCount) w.ChangeDelay = kDefaultChangeDelay;

  ReadFields(s, kCalendar, CalendarFields(), c.CalendarConfig);
  LoadList(s, kReminderList, ReminderFields(), c.RemindersConfig.Reminders, LoadedReminder);
  LoadList(s, kSnoozedList, ReminderFields(), c.DynamicConfig.SnoozedReminders, LoadedSnoozedCopy);
  ReadFields(s, kReminders, ReminderOptionFields(), c.RemindersConfig);
  ReadFields(s, kProgram, ProgramFields(), c.ProgramConfig);

  auto& e = c.EmailConfig;
  LoadList(s, kAccountList, AccountFields(), e.Accounts, [] { return EmailAccount(); });
  ReadFields(s, MailOptionsSection(e), MailOptionFields(), e);

  LoadList(s, kColorDotList, ColorDotFields(), c.ColorRemConfig.ColorReminders,
           [] { return ColorReminder(); });

  LoadList(s, kAgendaList, AgendaCalendarFields(), c.AgendaConfig.Calendars,
           [] { return AgendaCalendar(); });
  ReadFields(s, kAgenda, AgendaOptionFields(), c.AgendaConfig);
}

void SaveAll(RegistryStore& s, const Config& c, const PasswordForFileFn& forFile) {
  s.WriteBool(kBase, QStringLiteral("OK"), true);

  const auto& w = c.WallpaperConfig;
  s.WriteInteger(kPathList.countSection, kPathList.countName, static_cast<int>(w.Paths.size()));
  for (int n = 1; n <= w.Paths.size(); ++n)
    s.WriteString(kWallpaper, kPathName + QString::number(n), w.Paths[n - 1]);
  WriteFields(s, kWallpaper, WallpaperFields(), w);

  WriteFields(s, kCalendar, CalendarFields(), c.CalendarConfig);
  SaveList(s, kReminderList, ReminderFields(), c.RemindersConfig.Reminders);
  SaveList(s, kSnoozedList, ReminderFields(), c.DynamicConfig.SnoozedReminders);
  WriteFields(s, kReminders, ReminderOptionFields(), c.RemindersConfig);
  WriteFields(s, kProgram, ProgramFields(), c.ProgramConfig);

  const auto& e = c.EmailConfig;
  // The file keeps a password only until the keyring holds it.
  QList<EmailAccount> accounts = e.Accounts;
  if (forFile)
    for (EmailAccount& a : accounts) forFile(a.Password, a.PasswordKey);
  SaveList(s, kAccountList, AccountFields(), accounts);
  WriteFields(s, MailOptionsSection(e), MailOptionFields(), e);

  SaveList(s, kColorDotList, ColorDotFields(), c.ColorRemConfig.ColorReminders);

  QList<AgendaCalendar> calendars = c.AgendaConfig.Calendars;
  if (forFile)
    for (AgendaCalendar& a : calendars) forFile(a.Password, a.PasswordKey);
  SaveList(s, kAgendaList, AgendaCalendarFields(), calendars);
  WriteFields(s, kAgenda, AgendaOptionFields(), c.AgendaConfig);
}

// Takes down what a save writes, in order, instead of keeping it.
class RecordingBackend : public IRegistryBackend {
 public:
  QByteArray bytes;
  bool KeyExists(const QString&) const override { return true; }
  bool CreateKey(const QString& key) override {
    bytes += key.toUtf8() + '\n';
    return true;
  }
  std::optional<RegValue> QueryValue(const QString&, const QString&) const override {
    return std::nullopt;
  }
  bool SetValue(const QString& key, const QString& name, const RegValue& value) override {
    bytes += key.toUtf8() + '\0' + name.toUtf8() + '\0' + QByteArray::number(value.type) + '\0' +
             QByteArray::number(value.data.size()) + '\0' + value.data;
    return true;
  }
};

}  // namespace

void LoadConfig(const RegistryStore& store, Config& config, const QString& programDir) {
  if (store.ReadBool(kBase, QStringLiteral("OK"), false)) {
    LoadStored(store, config);
    return;
  }
  // Never saved: keep the initial values; offer the pictures shipped beside the program.
  const QString images = programDir + QStringLiteral("images");
  if (QFileInfo(images).isDir()) config.WallpaperConfig.Paths.append(images);
}

bool SaveConfig(RegistryStore& store, const Config& config, const PasswordForFileFn& forFile) {
  store.backend().BeginUpdate();
  SaveAll(store, config, forFile);
  return store.backend().EndUpdate();
}

QByteArray ConfigSnapshot(const Config& config, const PasswordForFileFn& forFile) {
  RecordingBackend recording;
  RegistryStore store(recording);
  store.OpenKey(QString::fromLatin1(kProductKey));
  SaveAll(store, config, forFile);
  return recording.bytes;
}
