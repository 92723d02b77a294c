#include "pages/PageTable.h"

#include "pages/TFrameAgenda.h"
#include "pages/TFrameCalendarOptions.h"
#include "pages/TFrameCalendarStyle.h"
#include "pages/TFrameEmailAccounts.h"
#include "pages/TFrameEmailActions.h"
#include "pages/TFrameEmailOptions.h"
#include "pages/TFrameHelpContents.h"
#include "pages/TFrameOptionsCommon.h"
#include "pages/TFrameRemindersDate.h"
#include "pages/TFrameRemindersDot.h"
#include "pages/TFrameWallpaperRules.h"
#include "pages/TFrameWallpaperSource.h"
#include "widgets/Pictures.h"

namespace {
template <typename Page>
PageFactory Make() {
  return [](Config& config, Services& services, QWidget* parent) -> SettingsPage* {
    return new Page(config, services, parent);
  };
}
}  // namespace

const QList<const char*>& PageSections() {
  static const QList<const char*> sections = {"Wallpaper", "Calendar", "Reminders",
                                              "Email",     "Options",  "Help"};
  return sections;
}

const QList<PageEntry>& Pages() {
  using R = PageRefresh;
  static const QList<PageEntry> pages = {
      {0, 0, "Source", "Wallpaper: Source Directories", SourcePicture, R::Never,
       Make<TFrameWallpaperSource>()},
      {0, 1, "Rules", "Wallpaper: Showing Rules", RulesPicture, R::WhenSelected,
       Make<TFrameWallpaperRules>()},
      {1, 0, "Style/Pos", "Calendar: Visual Style", CalendarStylePicture, R::Never,
       Make<TFrameCalendarStyle>()},
      {1, 1, "Options", "Calendar: Options", CalendarOptionsPicture, R::WhenSelected,
       Make<TFrameCalendarOptions>()},
      {1, 2, "Agenda", "Calendar: Agenda", AgendaPicture, R::Never, Make<TFrameAgenda>()},
      {2, 0, "Popup", "Reminders: Popup Reminders", PopupRemindersPicture, R::WhenWindowShown,
       Make<TFrameRemindersDate>()},
      {2, 1, "Color-Dot", "Reminders: Color-Dot Reminders", ColorDotsPicture, R::Never,
       Make<TFrameRemindersDot>()},
      {3, 0, "Accounts", "Email: Accounts", MailAccountsPicture, R::Never,
       Make<TFrameEmailAccounts>()},
      {3, 1, "Actions", "Email: Actions", MailActionsPicture, R::Never, Make<TFrameEmailActions>()},
      {3, 2, "Options", "Email: Options", MailOptionsPicture, R::Never, Make<TFrameEmailOptions>()},
      {4, 0, "Application", "Options: Program Options", ProgramOptionsPicture, R::WhenSelected,
       Make<TFrameOptionsCommon>()},
      {5, 0, "Contents", "Help: Quillatorne Manual", HelpPicture, R::Never,
       Make<TFrameHelpContents>()},
  };
  return pages;
}

const PageEntry* PageAt(int slot) {
  for (const PageEntry& p : Pages())
    if (p.slot() == slot) return &p;
  return nullptr;
}
