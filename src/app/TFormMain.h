#pragma once
#include <QLabel>
#include <QStackedWidget>
#include <QString>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>
#include <array>

#include "app/Scheduler.h"

class IReminderSelector;

// One slot of the side bar's page table: slot = section * 5 + item.
struct PageSlot {
  QWidget* page = nullptr;
  QString caption;
};
constexpr int kPageSlots = 50;

class TFormMain : public QWidget {
  Q_OBJECT

 public:
  explicit TFormMain(QWidget* parent = nullptr);
  ~TFormMain() override;

  void ToggleMainWindow();
  // Brings the page of that slot to the front and shows its caption line.
  void SelectSlot(int slot);
  int currentSlot() const { return currentSlot_; }
  const std::array<PageSlot, kPageSlots>& PageTable() const { return pageTable_; }

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

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void FormCreate();
  void FormClose();
  void ShowReminderForEdit(int index);

  Scheduler scheduler_;
  std::array<PageSlot, kPageSlots> pageTable_;
  QStackedWidget* ElPanelFrameHolder = nullptr;
  QLabel* ElLabelCaption = nullptr;
  IReminderSelector* reminderSelector_ = nullptr;
  int currentSlot_ = -1;
  bool closed_ = false;
};
