#pragma once
// The pages of the settings window: where each sits in the side bar, its caption line and
// picture, when it is filled again, and how it is made. The main window builds its side
// bar and page area from this table and nothing else.
#include <QIcon>
#include <QList>
#include <functional>

struct Config;
struct Services;
class QWidget;
class SettingsPage;

// A page's slot: side-bar section * 5 + item.
enum PageSlot : int {
  kSourcePage = 0,
  kRulesPage = 1,
  kCalendarStylePage = 5,
  kCalendarOptionsPage = 6,
  kAgendaPage = 7,
  kPopupRemindersPage = 10,
  kColorDotsPage = 11,
  kMailAccountsPage = 15,
  kMailActionsPage = 16,
  kMailOptionsPage = 17,
  kProgramOptionsPage = 20,
  kHelpPage = 25,
};
constexpr int kPageSlots = 50;
constexpr int kItemsPerSection = 5;

// When the main window fills a page from the settings again, beyond its creation.
enum class PageRefresh {
  Never,
  WhenSelected,     // it shows settings another page edits too
  WhenWindowShown,  // popups change its list while the window is hidden
};

using PageFactory = std::function<SettingsPage*(Config&, Services&, QWidget* parent)>;

struct PageEntry {
  int section;
  int item;
  const char* item_caption;  // under the picture in the side bar
  const char* caption;       // the caption line above the page
  QIcon (*picture)();
  PageRefresh refresh;
  PageFactory create;  // empty while the page is not built yet: the slot stays empty
  int slot() const { return section * kItemsPerSection + item; }
};

// The side-bar sections' captions, by section.
const QList<const char*>& PageSections();
// Every page, by section and item.
const QList<PageEntry>& Pages();
// The entry of that slot, or none.
const PageEntry* PageAt(int slot);
