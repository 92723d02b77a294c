#pragma once
#include <QAction>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QStackedWidget>
#include <QString>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

#include "app/Scheduler.h"
#include "pages/PageTable.h"

class ElFormCaption;
class MailPush;
class ElSideBar;
class GradientPanel;
class IReminderSelector;
class SettingsPage;

// Composes a wallpaper of the given size from an image, or nothing when it cannot.
using Composer = std::function<std::optional<QImage>(const QString& path, int width, int height)>;

class TFormMain : public QWidget {
  Q_OBJECT

 public:
  explicit TFormMain(QWidget* parent = nullptr);
  ~TFormMain() override;

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
  QSystemTrayIcon* TrayIcon = nullptr;

  // The popup reminders page, once it exists: refreshed on every showing, and the target
  // of a reminder's Edit request.
  void setReminderSelector(IReminderSelector* page) { reminderSelector_ = page; }

  void TimerIDLETimer();
  void TimerEXITTimer();
  void Timer_MinimizeTimer();

  // Window parts, named as the handlers refer to them.
  ElFormCaption* ElFormCaption1 = nullptr;
  ElSideBar* ElSideBar1 = nullptr;
  QLabel* ElLabelCaption = nullptr;
  QStackedWidget* ElPanelFrameHolder = nullptr;
  QLabel* ElPanel2 = nullptr;
  QToolButton* ElToolButton1 = nullptr;
  QToolButton* ElToolButton2 = nullptr;
  QToolButton* ElToolButton3 = nullptr;
  QToolButton* ElToolButton4 = nullptr;
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
  void ElToolButton1Click();
  void ElToolButton2Click();
  void ElToolButton3Click();
  void ElToolButton4Click();
  void ElPanel2Click();
  void TrayIconDblClick();
  // A right click on the tray icon: the menu at the mouse, unless a modal window is open.
  void TrayIconRightClick();
  void MI_ShowHideClick();
  void MI_CheckEmailClick();
  void MI_RefreshClick();
  void MI_RandomClick();
  void MI_NextClick();
  void MI_CloseClick();

  // Another start of the program (or --show) asked for the window; ignored, as the tray
  // icon's clicks are, while one of our modal windows is open.
  void ShowFromOutside();
  // The composition the preview uses; tests put in their own.
  void setComposer(Composer composer) { composer_ = std::move(composer); }
  // True while the tray icon must not react: one of our modal windows is open.
  bool ModalWindowOpen() const;
  // Whether the tray icon is waiting for a system tray to appear.
  bool waitingForTray() const { return trayRetry_ && trayRetry_->isActive(); }
  static QString HomePage();

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

  Scheduler scheduler_;
  MailPush* mailPush_ = nullptr;
  std::array<SettingsPage*, kPageSlots> pages_{};
  IReminderSelector* reminderSelector_ = nullptr;
  Composer composer_;
  QTimer* trayRetry_ = nullptr;
  int currentSlot_ = -1;
  bool closed_ = false;
};
