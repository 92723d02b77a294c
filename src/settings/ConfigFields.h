#pragma once
// Every persisted setting, declared once: the value name it is stored under, the member that
// holds it and the default it reads as when the store lacks it. LoadConfig and SaveConfig walk
// these tables in order (the order is the order of the values in the file), and so do the tests.
#include <QString>
#include <span>
#include <type_traits>
#include <variant>

#include "settings/Config.h"

template <class Record>
struct ConfigField {
  using Member =
      std::variant<bool Record::*, int Record::*, Color Record::*, double Record::*,
                   QString Record::*, MailSecurity Record::*, MailProtocol Record::*,
                   WallpaperChangeRule Record::*, CalendarStyle Record::*, WeekStart Record::*,
                   CalendarLanguage Record::*, Recurrence Record::*, DotColor Record::*>;
  using Value = std::variant<bool, int, Color, double, QString, MailSecurity, MailProtocol,
                             WallpaperChangeRule, CalendarStyle, WeekStart, CalendarLanguage,
                             Recurrence, DotColor>;

  ConfigField(const char* n, bool Record::*m, bool d) : name(n), member(m), readDefault(d) {}
  ConfigField(const char* n, int Record::*m, int d) : name(n), member(m), readDefault(d) {}
  ConfigField(const char* n, Color Record::*m, Color d) : name(n), member(m), readDefault(d) {}
  ConfigField(const char* n, double Record::*m, double d) : name(n), member(m), readDefault(d) {}
  // A choice, stored as its number.
  template <class E, std::enable_if_t<std::is_enum_v<E>, int> = 0>
  ConfigField(const char* n, E Record::*m, E d) : name(n), member(m), readDefault(d) {}
  ConfigField(const char* n, QString Record::*m, const char* d = "")
      : name(n), member(m), readDefault(QString::fromUtf8(d)) {}

  const char* name;  // list items add their index: "Server " + n, "date" + i
  Member member;
  Value readDefault;
};

template <class Record>
using ConfigFields = std::span<const ConfigField<Record>>;

// Section "Wallpaper", after PathsCount and the paths.
ConfigFields<WallpaperConfigT> WallpaperFields();
// Section "Calendar".
ConfigFields<CalendarConfigT> CalendarFields();
// Section "Program".
ConfigFields<ProgramConfigT> ProgramFields();
// The mail options: in "Email Accounts" while there are accounts, else in "Email".
ConfigFields<EmailConfigT> MailOptionFields();
// One section per reminder: "Popup Reminder " + n, and "Snoozed Reminder " + n for the
// snoozed copies.
ConfigFields<PopupReminder> ReminderFields();
ConfigFields<RemindersConfigT> ReminderOptionFields();
// Section "Email Accounts", each name followed by the account's number from 1.
ConfigFields<EmailAccount> AccountFields();
// Section "ColorReminders", each name followed directly by the dot's index from 0.
ConfigFields<ColorReminder> ColorDotFields();
// Section "Agenda": the options, and each calendar's values followed by its number from 1.
ConfigFields<AgendaConfigT> AgendaOptionFields();
ConfigFields<AgendaCalendar> AgendaCalendarFields();
