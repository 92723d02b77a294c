#include "settings/ConfigFields.h"

// The read defaults are not always the initial values of Config.h: a store that was saved
// once but lacks a value reads it as below (PosX 0, the colours white, EnableCheck off).

ConfigFields<WallpaperConfigT> WallpaperFields() {
  using W = WallpaperConfigT;
  static const ConfigField<W> fields[] = {
      {"ChangeRule", &W::ChangeRule, WallpaperChangeRule::RandomByTime},
      {"ChangeDelay", &W::ChangeDelay, kDefaultChangeDelay},
      {"BackgroundColor", &W::BackgroundColor, Color(0x000000)},
      {"StretchToFit", &W::StretchToFit, true},
      {"ConstrainProportions", &W::ConstrainProportions, true},
      {"Recursive", &W::Recursive, false},
      {"ShowImage", &W::ShowImage, true},
      {"SelPath", &W::SelPath},
      {"SelFile", &W::SelFile},
      {"LastTimeWallpaperChanged", &W::LastTimeWallpaperChanged, 0.0},
  };
  return fields;
}

ConfigFields<CalendarConfigT> CalendarFields() {
  using C = CalendarConfigT;
  static const ConfigField<C> fields[] = {
      {"ShowCalendar", &C::ShowCalendar, true},
      {"Style", &C::Style, CalendarStyle::Classic},
      {"Size", &C::Size, 50},
      {"PosX", &C::PosX, 0},
      {"PosY", &C::PosY, 0},
      {"FirstWeekDay", &C::FirstWeekDay, WeekStart::Monday},
      {"Language", &C::Language, CalendarLanguage::English},
      {"DrawGlass", &C::DrawGlass, true},
      {"DrawTextShadow", &C::DrawTextShadow, true},
      {"Font", &C::Font, "Arial"},
      {"ColorMonthYear", &C::ColorMonthYear, Color(0xFFFFFF)},
      {"ColorDayNames", &C::ColorDayNames, Color(0xFFFFFF)},
      {"ColorDayNumbers", &C::ColorDayNumbers, Color(0xFFFFFF)},
      {"ColorWeekMarker", &C::ColorWeekMarker, Color(0xFFFFFF)},
  };
  return fields;
}

ConfigFields<ProgramConfigT> ProgramFields() {
  using P = ProgramConfigT;
  static const ConfigField<P> fields[] = {
      {"ExitAfterSet", &P::ExitAfterSet, false},
      {"EnableSounds", &P::EnableSounds, true},
      {"AllowXP", &P::AllowXP, false},
      {"LastYear", &P::LastYear, 0},
      {"LastMonth", &P::LastMonth, 0},
      {"LastDay", &P::LastDay, 0},
      {"LastImageFileName", &P::LastImageFileName},
  };
  return fields;
}

ConfigFields<EmailConfigT> MailOptionFields() {
  using E = EmailConfigT;
  static const ConfigField<E> fields[] = {
      {"EmailClient", &E::EmailClient},
      {"DiffProgram", &E::DiffProgram},
      {"EnableCheck", &E::EnableCheck, false},
      {"IntervalMinutes", &E::IntervalMinutes, 20},
      {"ReportErrorsDialog", &E::ReportErrorsDialog, false},
      {"ReportErrorsSound", &E::ReportErrorsSound, false},
      {"CheckOnStartup", &E::CheckOnStartup, false},
      {"ErrorSound", &E::ErrorSound},
      {"AddIcon", &E::AddIcon, false},
      {"LeftLaunch", &E::LeftLaunch, false},
      {"LeftRemoveIcon", &E::LeftRemoveIcon, false},
      {"LeftShowMenu", &E::LeftShowMenu, false},
      {"RightLaunch", &E::RightLaunch, false},
      {"RightRemoveIcon", &E::RightRemoveIcon, false},
      {"RightShowMenu", &E::RightShowMenu, false},
      {"Animate", &E::Animate, false},
      {"ShowDialog", &E::ShowDialog, false},
      {"OnlyOnce", &E::OnlyOnce, false},
      {"LaunchEmailProgram", &E::LaunchEmailProgram, false},
      {"LaunchDiffProgram", &E::LaunchDiffProgram, false},
      {"PlaySound", &E::PlaySound, false},
      {"Sound", &E::Sound},
      {"CountOnlyNew", &E::CountOnlyNew, false},
      {"ShowSenders", &E::ShowSenders, true},
      {"ShowNotification", &E::ShowNotification, false},
  };
  return fields;
}

ConfigFields<PopupReminder> ReminderFields() {
  using R = PopupReminder;
  static const ConfigField<R> fields[] = {
      {"Name", &R::Name},
      {"Text", &R::Text},
      {"DateTime", &R::DateTime, 0.0},
      {"Recur", &R::Recur, Recurrence::None},
      // Added after the first files were written: a file without it reads 0, the day
      // of the stored date, as it always did.
      {"RecurDay", &R::RecurDay, 0},
  };
  return fields;
}

ConfigFields<RemindersConfigT> ReminderOptionFields() {
  using R = RemindersConfigT;
  static const ConfigField<R> fields[] = {
      {"DesktopNotifications", &R::DesktopNotifications, true},
  };
  return fields;
}

ConfigFields<EmailAccount> AccountFields() {
  using A = EmailAccount;
  // Written as "name n"; names match without regard to case, so "Name n" reads the same.
  static const ConfigField<A> fields[] = {
      {"name ", &A::Name},
      {"Server ", &A::Server},
      {"User ", &A::User},
      {"Password ", &A::Password},
      {"EnableCheck ", &A::EnableCheck, false},
      // Absent in files written before accounts had a choice: plain POP3, as they were.
      {"Security ", &A::Security, MailSecurity::None},
      {"PasswordKey ", &A::PasswordKey},
      {"Protocol ", &A::Protocol, MailProtocol::Pop3},
  };
  return fields;
}

ConfigFields<ColorReminder> ColorDotFields() {
  using D = ColorReminder;
  static const ConfigField<D> fields[] = {
      {"date", &D::date, 0},
      {"style", &D::style, DotColor::Red},
  };
  return fields;
}

ConfigFields<AgendaConfigT> AgendaOptionFields() {
  using A = AgendaConfigT;
  static const ConfigField<A> fields[] = {
      {"ShowList", &A::ShowList, false},
      {"ListDays", &A::ListDays, 7},
      {"RefreshMinutes", &A::RefreshMinutes, 15},
  };
  return fields;
}

ConfigFields<AgendaCalendar> AgendaCalendarFields() {
  using C = AgendaCalendar;
  static const ConfigField<C> fields[] = {
      {"URL ", &C::URL},
      {"User ", &C::User},
      {"Password ", &C::Password},
      {"Color ", &C::MarkColor, Color(0xE08030)},
      {"Enabled ", &C::Enabled, true},
      {"Alarms ", &C::Alarms, false},
      {"PasswordKey ", &C::PasswordKey},
  };
  return fields;
}
