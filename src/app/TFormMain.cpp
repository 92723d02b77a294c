#include "app/TFormMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDateTime>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include "app/TFormPreview.h"
#include "mail/MailCheck.h"
#include "mail/MailErrors.h"
#include "mail/MailNotify.h"
#include "mail/MailPush.h"
#include "pages/SettingsPage.h"
#include "platform/Services.h"
#include "reminders/PopupScheduler.h"
#include "reminders/ReminderSelector.h"
#include "reminders/ReminderTiming.h"
#include "reminders/TForm_Reminder.h"
#include "settings/Config.h"
#include "settings/ConfigStore.h"
#include "wallpaper/ChangeRules.h"
#include "wallpaper/Compose.h"
#include "widgets/ElFormCaption.h"
#include "widgets/ElSideBar.h"
#include "widgets/GradientPanel.h"
#include "widgets/Pictures.h"
#include "widgets/WholeText.h"

namespace {
constexpr int kFrame = 1;  // border around the whole window
constexpr int kClientWidth = 540;
constexpr int kClientHeight = 380;
constexpr int kTrayRetryMs = 3000;

const char* kSettingsKeptAside =
    "Quillatorne could not read its settings file, so the default settings are in use.\n\n"
    "The file was kept, unchanged, as:\n";

const char* kExitQuestion =
    "If closed, Quillatorne will not be able to update desktop wallpaper and calendar.\n"
    "It is recommended that you hide Quillatorne instead.\n\n"
    "Do you still want to close Quillatorne?";
}  // namespace

QString TFormMain::HomePage() { return QStringLiteral("https://orbwright.example/quillatorne"); }

TFormMain::TFormMain(QWidget* parent) : QWidget(parent) { FormCreate(); }

TFormMain::~TFormMain() = default;

void TFormMain::FormCreate() {
  setWindowTitle(QStringLiteral("Quillatorne"));
  // Our own caption strip stands in for the title bar: no close, minimise or maximise.
  setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
  setWindowIcon(ApplicationIcon());
  // Created fully transparent; the first showing makes it opaque.
  setWindowOpacity(0.0);
  composer_ = [](const QString& path, int w, int h) {
    ComposeResult composed = ComposeWallpaper(path, w, h);
    ShowWallpaperError(composed.error);
    return composed.bitmap;
  };

  Svc().random->Seed(static_cast<uint32_t>(Svc().clock->Now().toSecsSinceEpoch()));

  BuildWindow();

  LoadConfig();
  const auto& program = Cfg().ProgramConfig;
  ElFormCaption1->setTexts(
      QStringLiteral("Quillatorne"),
      QString::asprintf("version %i.%02i", program.VersionMajor, program.VersionMinor));

  BuildPages();
  ElSideBar1->setCurrent(0, 0);
  ElSideBarItemChange();

  scheduler_.steps.StartMailCheck = [] { StartMailCheck(true, -1); };
  scheduler_.steps.CheckPopupReminders = [] { CheckPopupReminders(); };
  scheduler_.steps.CheckTimedChange = [] { CheckTimedChange(); };
  scheduler_.steps.CheckDayChange = [] { CheckDayChange(); };
  scheduler_.steps.RemoveEmailTrayIcon = [] { RemoveEmailTrayIcon(); };
  scheduler_.steps.AnnounceNewMail = [this] {
    // Outside the tick: a box about a failed check must not hold the ticks that follow.
    QTimer::singleShot(0, this, [] { ReportMailCheckErrors(*Svc().messages); });
    AnnounceNewMail(this);
  };
  scheduler_.steps.EditReminder = [this](int index) { ShowReminderForEdit(index); };
  // IMAP servers with IDLE tell of new mail between the timed checks.
  mailPush_ = new MailPush(
      [] {
        return MailPush::Wanted{Cfg().EmailConfig.EnableCheck, Cfg().EmailConfig.Accounts};
      },
      [] { return StartMailCheck(false, -1); }, this);
  // Its threads end before the program does, not with whatever destroys the window.
  connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
    delete mailPush_;
    mailPush_ = nullptr;
  });

  TimerIDLE = new QTimer(this);
  TimerIDLE->setInterval(1000);
  connect(TimerIDLE, &QTimer::timeout, this, &TFormMain::TimerIDLETimer);
  TimerEXIT = new QTimer(this);
  TimerEXIT->setInterval(10000);
  connect(TimerEXIT, &QTimer::timeout, this, &TFormMain::TimerEXITTimer);
  Timer_Minimize = new QTimer(this);
  Timer_Minimize->setInterval(1);
  connect(Timer_Minimize, &QTimer::timeout, this, &TFormMain::Timer_MinimizeTimer);

  BuildTrayIcon();

  if (Cfg().ProgramConfig.ExitAfterSet) TimerEXIT->start();
  Timer_Minimize->start();
  TimerIDLE->start();
}

void TFormMain::BuildWindow() {
  setFixedSize(kClientWidth + 2 * kFrame, ElFormCaption::kHeight + kClientHeight + 2 * kFrame);
  if (QScreen* s = QGuiApplication::primaryScreen()) {
    move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
  }

  ElFormCaption1 = new ElFormCaption(this);
  ElFormCaption1->setGeometry(kFrame, kFrame, kClientWidth, ElFormCaption::kHeight);
  const int top = kFrame + ElFormCaption::kHeight;  // the client area starts here
  const int left = kFrame;

  ElSideBar1 = new ElSideBar(this);
  ElSideBar1->setGeometry(left, top, 85, 354);
  for (const char* section : PageSections()) ElSideBar1->addSection(QString::fromLatin1(section));
  for (const PageEntry& p : Pages())
    ElSideBar1->addItem(p.section, QString::fromLatin1(p.item_caption), p.picture());
  connect(ElSideBar1, &ElSideBar::itemChanged, this, &TFormMain::ElSideBarItemChange);

  auto* ElPanel3 = new QWidget(this);
  ElPanel3->setGeometry(left + 85, top, 1, 354);
  ElPanel3->setAutoFillBackground(true);
  QPalette sep = ElPanel3->palette();
  sep.setColor(QPalette::Window, QColor(0x7a, 0x8c, 0xa8));
  ElPanel3->setPalette(sep);

  auto* ElPanelCaption =
      new GradientPanel(Qt::white, QColor(0x87, 0xce, 0xeb), Qt::Horizontal, this);
  ElPanelCaption->setGeometry(left + 86, top, 454, 32);
  ElLabelCaption = new QLabel(ElPanelCaption);
  ElLabelCaption->setGeometry(8, 0, 446, 32);
  ElLabelCaption->setFont(CaptionStripFont());
  ElLabelCaption->setStyleSheet(QStringLiteral("color: #1f4fb0;"));

  ElPanelFrameHolder = new QStackedWidget(this);
  ElPanelFrameHolder->setGeometry(left + 86, top + 32, 454, 322);
  ElPanelFrameHolder->setAutoFillBackground(true);
  // Shown in front while the selected slot has no page yet.
  ElPanelFrameHolder->addWidget(new QWidget(ElPanelFrameHolder));

  auto* ElToolBar =
      new GradientPanel(QColor(0xf2, 0xf2, 0xf2), QColor(0xd6, 0xdc, 0xe6), Qt::Vertical, this);
  ElToolBar->setGeometry(left, top + 354, kClientWidth, 26);
  ElPanel2 = new QLabel(HomePage(), ElToolBar);
  ElPanel2->setGeometry(0, 0, 260, 26);
  ElPanel2->setAlignment(Qt::AlignCenter);
  QFont linkFont(QStringLiteral("Tahoma"));
  linkFont.setPixelSize(11);
  linkFont.setBold(true);
  ElPanel2->setFont(linkFont);
  ElPanel2->setStyleSheet(QStringLiteral("color: #000080;"));
  ElPanel2->setCursor(Qt::PointingHandCursor);
  ElPanel2->setToolTip(QStringLiteral("Open the Quillatorne home page"));
  ElPanel2->installEventFilter(this);

  QToolButton** buttons[] = {&ElToolButton1, &ElToolButton2, &ElToolButton3, &ElToolButton4};
  const char* captions[] = {"Preview", "Set", "Hide", "Exit"};
  void (TFormMain::*handlers[])() = {&TFormMain::ElToolButton1Click, &TFormMain::ElToolButton2Click,
                                     &TFormMain::ElToolButton3Click,
                                     &TFormMain::ElToolButton4Click};
  for (int i = 0; i < 4; ++i) {
    auto* b = new QToolButton(ElToolBar);
    b->setText(QString::fromLatin1(captions[i]));
    b->setAutoRaise(true);
    b->setGeometry(260 + 70 * i, 1, 70, 24);
    connect(b, &QToolButton::clicked, this, handlers[i]);
    *buttons[i] = b;
  }
}

void TFormMain::BuildTrayIcon() {
  PopupMenu_Main = new QMenu(this);
  MI_ShowHide = PopupMenu_Main->addAction(QStringLiteral("Show Quillatorne"), this,
                                          &TFormMain::MI_ShowHideClick);
  MI_CheckEmail = PopupMenu_Main->addAction(QStringLiteral("Check e-mail"), this,
                                            &TFormMain::MI_CheckEmailClick);
  PopupMenu_Main->addSeparator();
  MI_Refresh = PopupMenu_Main->addAction(QStringLiteral("Refresh wallpaper"), this,
                                         &TFormMain::MI_RefreshClick);
  MI_Random = PopupMenu_Main->addAction(QStringLiteral("Set random wallpaper"), this,
                                        &TFormMain::MI_RandomClick);
  MI_Next = PopupMenu_Main->addAction(QStringLiteral("Set next wallpaper"), this,
                                      &TFormMain::MI_NextClick);
  PopupMenu_Main->addSeparator();
  MI_Close = PopupMenu_Main->addAction(QStringLiteral("Exit Quillatorne"), this,
                                       &TFormMain::MI_CloseClick);
  connect(PopupMenu_Main, &QMenu::aboutToShow, this, &TFormMain::PopupMenu_MainPopup);
  PopupMenu_MainPopup();

  TrayIcon = new QSystemTrayIcon(this);
  TrayIcon->setToolTip(QStringLiteral("Quillatorne"));
  TrayIcon->setIcon(ApplicationIcon());
  // Not the icon's own context menu: that one would open even over a modal window.
  connect(TrayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
    if (r == QSystemTrayIcon::DoubleClick) TrayIconDblClick();
    if (r == QSystemTrayIcon::Context) TrayIconRightClick();
  });

  // During log-in the panel may come up after us: look again now and then, not in a loop.
  trayRetry_ = new QTimer(this);
  trayRetry_->setInterval(kTrayRetryMs);
  connect(trayRetry_, &QTimer::timeout, this, &TFormMain::AddTrayIcon);
}

void TFormMain::AddTrayIcon() {
  if (!QSystemTrayIcon::isSystemTrayAvailable()) {
    if (!trayRetry_->isActive()) trayRetry_->start();
    return;
  }
  trayRetry_->stop();
  TrayIcon->show();
}

void TFormMain::BuildPages() {
  for (const PageEntry& p : Pages())
    if (p.create) SetPage(p.slot(), p.create(Cfg(), Svc(), ElPanelFrameHolder));
}

SettingsPage* TFormMain::Page(int slot) const {
  return slot >= 0 && slot < kPageSlots ? pages_[slot] : nullptr;
}

void TFormMain::SetPage(int slot, SettingsPage* page) {
  if (slot < 0 || slot >= kPageSlots || !page) return;
  if (SettingsPage* old = pages_[slot]) {
    ElPanelFrameHolder->removeWidget(old);
    old->deleteLater();
  }
  ElPanelFrameHolder->addWidget(page);
  pages_[slot] = page;
  TakeWholeText(page);
  page->LoadFromConfig();
  if (auto* selector = dynamic_cast<IReminderSelector*>(page)) reminderSelector_ = selector;
  if (slot == currentSlot_) ElPanelFrameHolder->setCurrentWidget(page);
}

void TFormMain::SelectSlot(int slot) {
  if (slot < 0 || slot >= kPageSlots) return;
  currentSlot_ = slot;
  ElSideBar1->setCurrent(slot / kItemsPerSection, slot % kItemsPerSection);
  QWidget* page = pages_[slot];
  ElPanelFrameHolder->setCurrentWidget(page ? page : ElPanelFrameHolder->widget(0));
  const PageEntry* entry = PageAt(slot);
  ElLabelCaption->setText(entry ? QString::fromLatin1(entry->caption) : QString());
}

void TFormMain::ElSideBarItemChange() {
  const int slot = ElSideBar1->currentSection() * kItemsPerSection + ElSideBar1->currentItem();
  SelectSlot(slot);
  const PageEntry* entry = PageAt(slot);
  if (entry && entry->refresh == PageRefresh::WhenSelected && pages_[slot])
    pages_[slot]->LoadFromConfig();
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
    for (const PageEntry& p : Pages()) {
      SettingsPage* page = pages_[p.slot()];
      if (p.refresh == PageRefresh::WhenWindowShown && page &&
          dynamic_cast<IReminderSelector*>(page) != reminderSelector_)
        page->LoadFromConfig();
    }
  }
  d.WindowVisible = !d.WindowVisible;
  // Menus exported to some panels are not asked before they show; keep the caption right.
  if (MI_ShowHide) PopupMenu_MainPopup();
}

void TFormMain::ShowFromOutside() {
  // As the tray icon: the window stays as it is while a reminder, the preview or a box waits
  // for an answer.
  if (ModalWindowOpen()) return;
  // A request during start-up: finish hiding first, so the toggle below shows.
  if (Timer_Minimize->isActive()) Timer_MinimizeTimer();
  if (!Cfg().DynamicConfig.WindowVisible) {
    ToggleMainWindow();
  } else {
    raise();
    activateWindow();
  }
}

bool TFormMain::ConfirmExit() {
  return Svc().messages->Show(QString::fromLatin1(kExitQuestion), QStringLiteral("Please Confirm"),
                              MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void TFormMain::ShowPreview() {
  const QSize size = PreviewSize(Svc().desktop->ScreenSize());
  // Composed at the pixels of the screen it opens on (that of this window), so a scaled
  // monitor shows it sharp rather than enlarged.
  const qreal ratio = screen() ? screen()->devicePixelRatio() : devicePixelRatioF();
  const QSize pixels = PreviewPixels(size, ratio);
  auto& d = Cfg().DynamicConfig;
  std::optional<QImage> bitmap = composer_(d.SelectedImage, pixels.width(), pixels.height());
  if (!bitmap || bitmap->isNull()) return;
  bitmap->setDevicePixelRatio(static_cast<qreal>(bitmap->width()) / size.width());
  d.PreviewOpen = true;
  // However the preview ends, the scheduler must not stay suspended.
  struct Reopen {
    ~Reopen() { Cfg().DynamicConfig.PreviewOpen = false; }
  } reopen;
  TFormPreview preview(this, *bitmap, size);
  preview.exec();
}

bool TFormMain::ModalWindowOpen() const {
  return Cfg().DynamicConfig.PreviewOpen || QApplication::activeModalWidget() != nullptr ||
         ReminderWindowOpen();
}

void TFormMain::PopupMenu_MainPopup() {
  const bool visible = Cfg().DynamicConfig.WindowVisible;
  MI_ShowHide->setText(visible ? QStringLiteral("Hide Quillatorne")
                               : QStringLiteral("Show Quillatorne"));
  MI_CheckEmail->setEnabled(!Cfg().DynamicConfig.EmailCheckRunning);
}

void TFormMain::ElToolButton1Click() {
  SaveConfig();
  ShowPreview();
}

void TFormMain::ElToolButton2Click() {
  SaveConfig();
  SetChosenWallpaper(Cfg().DynamicConfig.SelectedImage);
}

void TFormMain::ElToolButton3Click() {
  SaveConfig();
  ToggleMainWindow();
}

void TFormMain::ElToolButton4Click() {
  if (ConfirmExit()) close();
}

void TFormMain::ElPanel2Click() { Svc().desktop->ShellOpen(HomePage()); }

void TFormMain::TrayIconDblClick() {
  if (!ModalWindowOpen()) ToggleMainWindow();
}

void TFormMain::TrayIconRightClick() {
  if (!ModalWindowOpen()) PopupMenu_Main->popup(QCursor::pos());
}

void TFormMain::MI_ShowHideClick() {
  if (!ModalWindowOpen()) ToggleMainWindow();
}

void TFormMain::MI_CheckEmailClick() { StartMailCheck(false, -1); }

void TFormMain::MI_RefreshClick() { RefreshWallpaper(); }

void TFormMain::MI_RandomClick() { PickWallpaper(true); }

void TFormMain::MI_NextClick() { PickWallpaper(false); }

void TFormMain::MI_CloseClick() {
  if (ConfirmExit()) close();
}

void TFormMain::TimerIDLETimer() { scheduler_.TimerIDLETimer(); }

void TFormMain::Timer_MinimizeTimer() {
  Timer_Minimize->stop();
  ToggleMainWindow();
  AddTrayIcon();
  AfterStartUp();
}

void TFormMain::AfterStartUp() {
  // Only now, with the tray icon and the timers up: an error box of the start-up wallpaper
  // keeps the event loop going, so reminders, mail and the exit signals are not held up.
  // Reminders missed long ago are taken first: the tick moves the recurring ones on.
  const QString longMissed =
      LongMissedReport(TakeLongMissedReminders(Cfg().RemindersConfig.Reminders, NowDays()));
  ChooseStartupWallpaper();
  // The program may have been told to end while a box was open.
  if (closed_) return;
  if (IRegistryBackend* store = MainIniFile() ? &MainIniFile()->backend() : nullptr) {
    const QString keptAs = store->movedAsideTo();
    if (!keptAs.isEmpty()) {
      Svc().messages->Show(QString::fromLatin1(kSettingsKeptAside) + keptAs,
                           QStringLiteral("Quillatorne"), MB_OK | MB_ICONWARNING);
    }
  }
  if (!longMissed.isEmpty() && !closed_)
    Svc().messages->Show(longMissed, QStringLiteral("Quillatorne"), MB_OK | MB_ICONINFORMATION);
}

void TFormMain::TimerEXITTimer() {
  TimerEXIT->stop();
  if (!Cfg().DynamicConfig.WindowVisible) close();
}

void TFormMain::ShowReminderForEdit(int index) {
  // A nested popup's Edit may have shown the window already; showing must not hide it.
  if (!Cfg().DynamicConfig.WindowVisible) ToggleMainWindow();
  SelectSlot(kPopupRemindersPage);
  if (reminderSelector_) reminderSelector_->SelectReminder(index);
}

void TFormMain::FormClose() {
  if (closed_) return;
  closed_ = true;
  TimerIDLE->stop();
  trayRetry_->stop();
  TrayIcon->hide();
  SaveConfig();
}

void TFormMain::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
  QCoreApplication::quit();
}

void TFormMain::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(0x00, 0x00, 0x50));
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ElPanel2 && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    ElPanel2Click();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}
