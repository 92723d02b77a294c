#include "app/TFormMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QVBoxLayout>

#include "mail/MailCheck.h"
#include "mail/MailNotify.h"
#include "platform/Services.h"
#include "reminders/PopupScheduler.h"
#include "reminders/ReminderSelector.h"
#include "settings/Config.h"
#include "settings/ConfigStore.h"
#include "wallpaper/ChangeRules.h"

namespace {
struct SlotCaption {
  int slot;
  const char* caption;
};
const SlotCaption kCaptions[] = {
    {0, "Wallpaper: Source Directories"}, {1, "Wallpaper: Showing Rules"},
    {5, "Calendar: Visual Style"},        {6, "Calendar: Options"},
    {10, "Reminders: Popup Reminders"},   {11, "Reminders: Color-Dot Reminders"},
    {15, "Email: Accounts"},              {16, "Email: Actions"},
    {17, "Email: Options"},               {20, "Options: Program Options"},
    {25, "Help: Quillatorne Manual"},
};
}  // namespace

TFormMain::TFormMain(QWidget* parent) : QWidget(parent) { FormCreate(); }

TFormMain::~TFormMain() = default;

void TFormMain::FormCreate() {
  setWindowTitle(QStringLiteral("Quillatorne"));
  setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setFixedSize(540, 380);
  // Created fully transparent; the first showing makes it opaque.
  setWindowOpacity(0.0);

  for (const auto& c : kCaptions) pageTable_[c.slot].caption = QString::fromLatin1(c.caption);
  Svc().random->Seed(static_cast<uint32_t>(Svc().clock->Now().toSecsSinceEpoch()));

  auto* layout = new QVBoxLayout(this);
  ElLabelCaption = new QLabel(this);
  ElPanelFrameHolder = new QStackedWidget(this);
  layout->addWidget(ElLabelCaption);
  layout->addWidget(ElPanelFrameHolder, 1);

  LoadConfig();
  ChooseStartupWallpaper();
  SelectSlot(0);

  scheduler_.steps.StartMailCheck = [] { StartMailCheck(true, -1); };
  scheduler_.steps.CheckPopupReminders = [] { CheckPopupReminders(); };
  scheduler_.steps.CheckTimedChange = [] { CheckTimedChange(); };
  scheduler_.steps.CheckDayChange = [] { CheckDayChange(); };
  scheduler_.steps.RemoveEmailTrayIcon = [] { RemoveEmailTrayIcon(); };
  scheduler_.steps.AnnounceNewMail = [this] { AnnounceNewMail(this); };
  scheduler_.steps.EditReminder = [this](int index) { ShowReminderForEdit(index); };

  TimerIDLE = new QTimer(this);
  TimerIDLE->setInterval(1000);
  connect(TimerIDLE, &QTimer::timeout, this, &TFormMain::TimerIDLETimer);
  TimerEXIT = new QTimer(this);
  TimerEXIT->setInterval(10000);
  connect(TimerEXIT, &QTimer::timeout, this, &TFormMain::TimerEXITTimer);
  Timer_Minimize = new QTimer(this);
  Timer_Minimize->setInterval(1);
  connect(Timer_Minimize, &QTimer::timeout, this, &TFormMain::Timer_MinimizeTimer);

  TrayIcon = new QSystemTrayIcon(this);
  TrayIcon->setToolTip(QStringLiteral("Quillatorne"));
  TrayIcon->setIcon(QApplication::windowIcon());

  if (Cfg().ProgramConfig.ExitAfterSet) TimerEXIT->start();
  Timer_Minimize->start();
  TimerIDLE->start();
}

void TFormMain::SelectSlot(int slot) {
  if (slot < 0 || slot >= kPageSlots) return;
  currentSlot_ = slot;
  if (QWidget* page = pageTable_[slot].page) ElPanelFrameHolder->setCurrentWidget(page);
  ElLabelCaption->setText(pageTable_[slot].caption);
}

void TFormMain::ToggleMainWindow() {
  auto& d = Cfg().DynamicConfig;
  if (d.WindowVisible) {
    hide();
  } else {
    setWindowOpacity(1.0);
    show();
    raise();
    activateWindow();
    // Popups may have removed or moved reminders while the window was hidden.
    if (reminderSelector_) reminderSelector_->LoadFromConfig();
  }
  d.WindowVisible = !d.WindowVisible;
}

void TFormMain::TimerIDLETimer() { scheduler_.TimerIDLETimer(); }

void TFormMain::Timer_MinimizeTimer() {
  Timer_Minimize->stop();
  ToggleMainWindow();
  TrayIcon->show();
}

void TFormMain::TimerEXITTimer() {
  TimerEXIT->stop();
  if (!Cfg().DynamicConfig.WindowVisible) close();
}

void TFormMain::ShowReminderForEdit(int index) {
  ToggleMainWindow();
  SelectSlot(10);
  if (reminderSelector_) reminderSelector_->SelectReminder(index);
}

void TFormMain::FormClose() {
  if (closed_) return;
  closed_ = true;
  TimerIDLE->stop();
  SaveConfig();
}

void TFormMain::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
  QCoreApplication::quit();
}
