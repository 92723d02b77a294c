#pragma once
#include <QAction>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QStackedWidget>
#include <QString>
#include <QTimer>
#include <QToolButton>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "agenda/Agenda.h"
#include "app/Scheduler.h"
#include "mail/MailErrors.h"
#include "pages/PageTable.h"
#include "wallpaper/ChangeRules.h"

struct Config;
struct Services;
class RegistryStore;
class DesktopTrayIcon;
class ElFormCaption;
class MailPush;
class PasswordKeeper;
class ElSideBar;
class GradientPanel;
class IReminderPopup;
class IReminderSelector;
class SettingsAutosave;
class SettingsPage;

// Composes a wallpaper of the given size from an image, or nothing when it cannot.
using Composer = std::function<std::optional<QImage>(const QString& path, int width, int height)>;

class TFormMain : public QWidget {
  Q_OBJECT

 public:
  // The window is the one owner of the run's settings record, services and settings store:
  // it hands them to every page and engine. All three must outlive it.
  TFormMain(Config& config, Services& services, RegistryStore& store, QWidget* parent = nullptr);
  ~TFormMain() override;

  Config& config() { return config_; }
  const Services& services() const { return services_; }

  void ToggleMainWindow();
  // Brings the page of that slot to the front and shows its caption line.
  void SelectSlot(int slot);
  int currentSlot() const { return currentSlot_; }
  // The page in that slot, or none.
  SettingsPage* Page(int slot) const;
  // Puts a page into its slot, filling the page area, and fills it from the settings.
  void SetPage(int slot, SettingsPage* page);

  Scheduler& scheduler() { return scheduler_; }
  QTimer* TimerIDLE = nullptr;
  QTimer* TimerEXIT = nullptr;
  QTimer* Timer_Minimize = nullptr;
  DesktopTrayIcon* TrayIcon = nullptr;

  // The popup reminders page, once it exists: refreshed on every showing, and the target
  // of a reminder's Edit request.
  void setReminderSelector(IReminderSelector* page) { reminderSelector_ = page; }

  void TimerIDLETimer();
  // Something happened outside the tick (a click, a command, pushed mail): the tick beats each
  // second again until it is handled, and then sleeps as long as it can.
  void TickSoon();
  void TimerEXITTimer();
  void Timer_MinimizeTimer();

  // Window parts, named as the handlers refer to them.
  ElFormCaption* FormCaption = nullptr;
  ElSideBar* SideBar = nullptr;
  QLabel* ElLabelCaption = nullptr;
  QStackedWidget* ElPanelFrameHolder = nullptr;
  QLabel* Label_HomePage = nullptr;
  QToolButton* ToolButton_Preview = nullptr;
  QToolButton* ToolButton_Set = nullptr;
  QToolButton* ToolButton_Hide = nullptr;
  QToolButton* ToolButton_Exit = nullptr;
  QMenu* PopupMenu_Main = nullptr;
  QAction* MI_ShowHide = nullptr;
  QAction* MI_CheckEmail = nullptr;
  QAction* MI_Refresh = nullptr;
  QAction* MI_Random = nullptr;
  QAction* MI_Next = nullptr;
  QAction* MI_Close = nullptr;

  void ElSideBarItemChange();
  bool ConfirmExit();
  void ShowPreview();
  void PopupMenu_MainPopup();
  void ToolButton_PreviewClick();
  void ToolButton_SetClick();
  void ToolButton_HideClick();
  void ToolButton_ExitClick();
  void Label_HomePageClick();
  void TrayIconDblClick();
  // A right click on the tray icon: the menu at the mouse, unless a modal window is open.
  void TrayIconRightClick();
  void MI_ShowHideClick();
  void MI_CheckEmailClick();
  void MI_RefreshClick();
  void MI_RandomClick();
  void MI_NextClick();
  void MI_CloseClick();
  // Installs that picture now, as "Set" does; failures are shown.
  void SetWallpaper(const QString& path);

  // Another start of the program (or --show) asked for the window; ignored, as the tray
  // icon's clicks are, while one of our modal windows is open.
  void ShowFromOutside();
  // The composition the preview uses; tests put in their own.
  void setComposer(Composer composer) { composer_ = std::move(composer); }
  // True while the tray icon must not react: one of our modal windows is open.
  bool ModalWindowOpen() const;
  // Whether the tray icon is waiting for a system tray to appear.
  bool waitingForTray() const;
  // Ends the program: the confirmed "Exit", --quit, a termination signal. Any other close
  // of the window (the window manager's) only hides it.
  void Exit();
  // Saves the record now (the tool buttons, the end); false when the file could not be written.
  bool SaveNow();
  static QString HomePage();
  // The calendars the agenda follows, fetched on their own thread.
  Agenda* agenda() { return agenda_.get(); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormCreate();
  void FormClose();
  void ShowReminderForEdit(int index);
  void BuildWindow();
  void BuildPages();
  void BuildTrayIcon();
  // The start-up work that may show a box: the start-up wallpaper, the settings notice.
  void AfterStartUp();
  void AddTrayIcon();
  // Shows what a change the user asked for met.
  void ShowErrors(const WallpaperErrors& errors);
  // A fetch brought results: the wallpaper is drawn again when what it shows changed.
  void AgendaFetched();
  void AgendaFailed(const QString& source, const QString& reason);
  // Alarms gone off, shown one after another through the reminder window.
  void CheckAgendaAlarms();
  // The window manager's close (Alt+F4, a task bar, the compositor): what "Hide" does.
  void HideFromOutside();

  Config& config_;
  Services& services_;
  RegistryStore& store_;
  std::unique_ptr<PasswordKeeper> passwords_;  // handed down as services_.passwords
  PasswordKeeper* givenPasswords_ = nullptr;   // what services_.passwords was before
  Scheduler scheduler_;
  MailPush* mailPush_ = nullptr;
  std::array<SettingsPage*, kPageSlots> pages_{};
  IReminderSelector* reminderSelector_ = nullptr;
  Composer composer_;
  ChangeRuleMemory wallpaperMemory_;
  // The monitors the wallpaper was last drawn for; a change to them draws it again.
  MonitorList monitors_;
  void MonitorsChanged();
  std::unique_ptr<SettingsAutosave> autosave_;
  MailErrorReports mailErrors_;
  std::unique_ptr<IReminderPopup> reminderPopup_;  // the window's, marking the tray icon
  int currentSlot_ = -1;
  bool closed_ = false;
  bool exitAsked_ = false;
  std::unique_ptr<Agenda> agenda_;
  QList<AgendaAlarmDue> alarmQueue_;
  bool showingAlarm_ = false;
  int tickDepth_ = 0;  // ticks running: more than one while a popup's own loop ticks
};
