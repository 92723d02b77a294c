#include "app/TFormMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDateTime>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <utility>

#include "agenda/AgendaAlarmPopup.h"
#include "app/AttentionPopup.h"
#include "app/SettingsFile.h"
#include "app/TFormPreview.h"
#include "app/TrayNotices.h"
#include "mail/MailCheck.h"
#include "mail/MailErrors.h"
#include "mail/MailNotify.h"
#include "mail/MailPush.h"
#include "pages/SettingsPage.h"
#include "pages/TFrameAgenda.h"
#include "platform/DesktopTrayIcon.h"
#include "platform/MonitorWatch.h"
#include "platform/Services.h"
#include "platform/WindowActivation.h"
#include "reminders/PopupScheduler.h"
#include "reminders/ReminderSelector.h"
#include "reminders/ReminderTiming.h"
#include "reminders/SHLCalendar.h"
#include "reminders/TForm_Reminder.h"
#include "settings/Config.h"
#include "settings/ConfigStore.h"
#include "settings/PasswordKeeper.h"
#include "settings/SettingsAutosave.h"
#include "wallpaper/ChangeRules.h"
#include "wallpaper/Compose.h"
#include "widgets/ElFormCaption.h"
#include "widgets/ElSideBar.h"
#include "widgets/GradientPanel.h"
#include "widgets/Pictures.h"
#include "widgets/WholeText.h"

namespace {
constexpr int kFrame = 1;  // border around the whole window
// Below the caption: the side bar, a one-pixel line, then the page column (its caption strip
// over the page); the tool bar runs along the bottom.
constexpr int kSideBarWidth = 85;
constexpr int kSeparatorWidth = 1;
constexpr int kPageWidth = 454;
constexpr int kPageCaptionHeight = 32;
constexpr int kPageHeight = 322;
constexpr int kToolBarHeight = 26;
constexpr int kHomeLinkWidth = 260;
constexpr int kToolButtonWidth = 70;
constexpr int kColumnHeight = kPageCaptionHeight + kPageHeight;
constexpr int kClientWidth = kSideBarWidth + kSeparatorWidth + kPageWidth;
constexpr int kClientHeight = kColumnHeight + kToolBarHeight;

const char* kSettingsKeptAside =
    "Quillatorne could not read its settings file, so the default settings are in use.\n\n"
    "The file was kept, unchanged, as:\n";

const char* kExitQuestion =
    "If closed, Quillatorne will not be able to update desktop wallpaper and calendar.\n"
    "It is recommended that you hide Quillatorne instead.\n\n"
    "Do you still want to close Quillatorne?";
}  // namespace

QString TFormMain::HomePage() { return QStringLiteral("https://orbwright.example/quillatorne"); }

TFormMain::TFormMain(Config& config, Services& services, RegistryStore& store, QWidget* parent)
    : QWidget(parent),
      config_(config),
      services_(services),
      store_(store),
      scheduler_(config.DynamicConfig) {
  FormCreate();
}

TFormMain::~TFormMain() {
  // The services outlive the window; its keeper does not.
  if (services_.passwords == passwords_.get()) services_.passwords = givenPasswords_;
}

void TFormMain::FormCreate() {
  setWindowTitle(QStringLiteral("Quillatorne"));
  // Our own caption strip stands in for the title bar: no close, minimise or maximise.
  setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
  setWindowIcon(ApplicationIcon());
  // Created fully transparent; the first showing makes it opaque.
  setWindowOpacity(0.0);
  composer_ = [this](const QString& path, int w, int h) {
    ComposeResult composed = ComposeWallpaper(path, w, h, config_, services_.desktop->ScreenSize(),
                                              CalendarToday(*services_.clock));
    ShowWallpaperError(composed.error, *services_.messages);
    return composed.bitmap;
  };

  services_.random->Seed(static_cast<uint32_t>(services_.clock->Now().toSecsSinceEpoch()));

  BuildWindow();

  passwords_ = std::make_unique<PasswordKeeper>(services_.keyring);
  givenPasswords_ = std::exchange(services_.passwords, passwords_.get());
  LoadSettings(store_, config_, passwords_.get());
  autosave_ = std::make_unique<SettingsAutosave>(
      config_, [this] { return SaveSettings(store_, config_, passwords_.get()); });
  autosave_->MarkSaved();
  const auto& program = config_.ProgramConfig;
  FormCaption->setTexts(
      QStringLiteral("Quillatorne"),
      QString::asprintf("version %i.%02i", program.VersionMajor, program.VersionMinor));

  BuildPages();
  SideBar->setCurrent(0, 0);
  ElSideBarItemChange();

  reminderPopup_ = std::make_unique<AttentionPopup>(WindowReminderPopup(), [this](bool on) {
    if (TrayIcon) TrayIcon->SetNeedsAttention(on);
  });
  scheduler_.steps.StartMailCheck = [this] { StartMailCheck(config_, services_, true, -1); };
  scheduler_.steps.CheckPopupReminders = [this] {
    CheckPopupReminders(config_, *reminderPopup_, *services_.clock, services_.notifications);
  };
  scheduler_.steps.CheckTimedChange = [this] {
    RunAutomaticChange(wallpaperMemory_, *services_.messages,
                       [this] { return CheckTimedChange(config_, services_, wallpaperMemory_); });
  };
  scheduler_.steps.CheckDayChange = [this] {
    RunAutomaticChange(wallpaperMemory_, *services_.messages,
                       [this] { return CheckDayChange(config_, services_, wallpaperMemory_); });
  };
  scheduler_.steps.RemoveEmailTrayIcon = [] { RemoveEmailTrayIcon(); };
  scheduler_.steps.AnnounceNewMail = [this] {
    // Outside the tick: a box about a failed check must not hold the ticks that follow.
    QTimer::singleShot(0, this, [this] { mailErrors_.Report(config_.EmailConfig, services_); });
    AnnounceNewMail(this, config_, services_);
  };
  scheduler_.steps.EditReminder = [this](int index) { ShowReminderForEdit(index); };
  scheduler_.steps.CheckAgendaAlarms = [this] { CheckAgendaAlarms(); };

  monitors_ = services_.desktop->Monitors();
  connect(new MonitorWatch(this), &MonitorWatch::changed, this, &TFormMain::MonitorsChanged);

  agenda_ = std::make_unique<Agenda>(AgendaFolder());
  connect(agenda_.get(), &Agenda::Fetched, this, &TFormMain::AgendaFetched);
  connect(agenda_.get(), &Agenda::Failed, this, &TFormMain::AgendaFailed);
  // Calendars whose passwords are still on their way from the keyring are fetched by the
  // first tick after they have arrived; their copies are on the calendar at once.
  agenda_->Start(config_.AgendaConfig, services_.clock->Now(), !passwords_->Pending());

  // IMAP servers with IDLE tell of new mail between the timed checks.
  mailPush_ = new MailPush(
      [this] {
        return MailPush::Wanted{config_.EmailConfig.EnableCheck, config_.EmailConfig.Accounts};
      },
      [this] {
        const bool started = StartMailCheck(config_, services_, false, -1);
        if (started) TickSoon();  // its announcement comes with the tick
        return started;
      },
      services_.imapClient, this);
  // Its threads end before the program does, not with whatever destroys the window.
  connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
    delete mailPush_;
    mailPush_ = nullptr;
  });

  TimerIDLE = new QTimer(this);
  TimerIDLE->setTimerType(Qt::PreciseTimer);  // it sleeps until deadlines, which must not slip
  TimerIDLE->setInterval(kBusyTickMs);
  connect(TimerIDLE, &QTimer::timeout, this, &TFormMain::TimerIDLETimer);
  TimerEXIT = new QTimer(this);
  TimerEXIT->setInterval(10000);
  connect(TimerEXIT, &QTimer::timeout, this, &TFormMain::TimerEXITTimer);
  Timer_Minimize = new QTimer(this);
  Timer_Minimize->setInterval(1);
  connect(Timer_Minimize, &QTimer::timeout, this, &TFormMain::Timer_MinimizeTimer);

  BuildTrayIcon();

  if (config_.ProgramConfig.ExitAfterSet) TimerEXIT->start();
  Timer_Minimize->start();
  TimerIDLE->start();
}

void TFormMain::BuildWindow() {
  setFixedSize(kClientWidth + 2 * kFrame, ElFormCaption::kHeight + kClientHeight + 2 * kFrame);
  if (QScreen* s = QGuiApplication::primaryScreen()) {
    move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
  }

  FormCaption = new ElFormCaption(this);
  FormCaption->setGeometry(kFrame, kFrame, kClientWidth, ElFormCaption::kHeight);
  const int top = kFrame + ElFormCaption::kHeight;  // the client area starts here
  const int left = kFrame;

  SideBar = new ElSideBar(this);
  SideBar->setGeometry(left, top, kSideBarWidth, kColumnHeight);
  for (const char* section : PageSections()) SideBar->addSection(QString::fromLatin1(section));
  for (const PageEntry& p : Pages())
    SideBar->addItem(p.section, QString::fromLatin1(p.item_caption), p.picture());
  connect(SideBar, &ElSideBar::itemChanged, this, &TFormMain::ElSideBarItemChange);

  auto* separator = new QWidget(this);
  separator->setGeometry(left + kSideBarWidth, top, kSeparatorWidth, kColumnHeight);
  separator->setAutoFillBackground(true);
  QPalette sep = separator->palette();
  sep.setColor(QPalette::Window, QColor(0x7a, 0x8c, 0xa8));
  separator->setPalette(sep);

  auto* ElPanelCaption =
      new GradientPanel(Qt::white, QColor(0x87, 0xce, 0xeb), Qt::Horizontal, this);
  const int pageLeft = left + kSideBarWidth + kSeparatorWidth;
  ElPanelCaption->setGeometry(pageLeft, top, kPageWidth, kPageCaptionHeight);
  ElLabelCaption = new QLabel(ElPanelCaption);
  constexpr int kCaptionIndent = 8;
  ElLabelCaption->setGeometry(kCaptionIndent, 0, kPageWidth - kCaptionIndent, kPageCaptionHeight);
  ElLabelCaption->setFont(CaptionStripFont());
  ElLabelCaption->setStyleSheet(QStringLiteral("color: #1f4fb0;"));

  ElPanelFrameHolder = new QStackedWidget(this);
  ElPanelFrameHolder->setGeometry(pageLeft, top + kPageCaptionHeight, kPageWidth, kPageHeight);
  ElPanelFrameHolder->setAutoFillBackground(true);
  // Shown in front while the selected slot has no page yet.
  ElPanelFrameHolder->addWidget(new QWidget(ElPanelFrameHolder));

  auto* ElToolBar =
      new GradientPanel(QColor(0xf2, 0xf2, 0xf2), QColor(0xd6, 0xdc, 0xe6), Qt::Vertical, this);
  ElToolBar->setGeometry(left, top + kColumnHeight, kClientWidth, kToolBarHeight);
  Label_HomePage = new QLabel(HomePage(), ElToolBar);
  Label_HomePage->setGeometry(0, 0, kHomeLinkWidth, kToolBarHeight);
  Label_HomePage->setAlignment(Qt::AlignCenter);
  QFont linkFont(QStringLiteral("Tahoma"));
  linkFont.setPixelSize(11);
  linkFont.setBold(true);
  Label_HomePage->setFont(linkFont);
  Label_HomePage->setStyleSheet(QStringLiteral("color: #000080;"));
  Label_HomePage->setCursor(Qt::PointingHandCursor);
  Label_HomePage->setToolTip(QStringLiteral("Open the Quillatorne home page"));
  Label_HomePage->installEventFilter(this);

  QToolButton** buttons[] = {&ToolButton_Preview, &ToolButton_Set, &ToolButton_Hide,
                             &ToolButton_Exit};
  const char* captions[] = {"Preview", "Set", "Hide", "Exit"};
  void (TFormMain::*handlers[])() = {
      &TFormMain::ToolButton_PreviewClick, &TFormMain::ToolButton_SetClick,
      &TFormMain::ToolButton_HideClick, &TFormMain::ToolButton_ExitClick};
  for (int i = 0; i < 4; ++i) {
    auto* b = new QToolButton(ElToolBar);
    b->setText(QString::fromLatin1(captions[i]));
    b->setAutoRaise(true);
    b->setGeometry(kHomeLinkWidth + kToolButtonWidth * i, 1, kToolButtonWidth, kToolBarHeight - 2);
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

  TrayIcon = new DesktopTrayIcon(QStringLiteral("quillatorne"), this);
  TrayIcon->setToolTip(QStringLiteral("Quillatorne"));
  TrayIcon->setIcon(ApplicationIcon());
  TrayIcon->setAttentionIcon(AttentionIcon());
  // Panels that draw menus themselves get this one; a classic tray's right click opens it
  // below (not the icon's own context menu: that one would open even over a modal window).
  TrayIcon->setMenu(PopupMenu_Main);
  connect(TrayIcon, &DesktopTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
    const bool onlyClick = TrayIcon->activateIsTheOnlyClick();
    if (r == QSystemTrayIcon::DoubleClick || (onlyClick && r == QSystemTrayIcon::Trigger))
      TrayIconDblClick();
    if (r == QSystemTrayIcon::Context) TrayIconRightClick();
  });
}

void TFormMain::AddTrayIcon() { TrayIcon->show(); }

bool TFormMain::waitingForTray() const { return TrayIcon && TrayIcon->waitingForTray(); }

void TFormMain::BuildPages() {
  for (const PageEntry& p : Pages())
    if (p.create) SetPage(p.slot(), p.create(config_, services_, ElPanelFrameHolder));
  if (auto* page = qobject_cast<TFrameAgenda*>(Page(kAgendaPage)))
    connect(page, &TFrameAgenda::refreshRequested, this, [this] {
      if (agenda_) agenda_->Refresh(config_.AgendaConfig, services_.clock->Now());
    });
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
  SideBar->setCurrent(slot / kItemsPerSection, slot % kItemsPerSection);
  QWidget* page = pages_[slot];
  ElPanelFrameHolder->setCurrentWidget(page ? page : ElPanelFrameHolder->widget(0));
  const PageEntry* entry = PageAt(slot);
  ElLabelCaption->setText(entry ? QString::fromLatin1(entry->caption) : QString());
}

void TFormMain::ElSideBarItemChange() {
  const int slot = SideBar->currentSection() * kItemsPerSection + SideBar->currentItem();
  SelectSlot(slot);
  const PageEntry* entry = PageAt(slot);
  if (entry && entry->refresh == PageRefresh::WhenSelected && pages_[slot])
    pages_[slot]->LoadFromConfig();
}

void TFormMain::ToggleMainWindow() {
  auto& d = config_.DynamicConfig;
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
  TickSoon();
  // Menus exported to some panels are not asked before they show; keep the caption right.
  if (MI_ShowHide) PopupMenu_MainPopup();
}

void TFormMain::ShowFromOutside() {
  // As the tray icon: the window stays as it is while a reminder, the preview or a box waits
  // for an answer.
  if (ModalWindowOpen()) return;
  // A request during start-up: finish hiding first, so the toggle below shows.
  if (Timer_Minimize->isActive()) Timer_MinimizeTimer();
  if (!config_.DynamicConfig.WindowVisible) {
    ToggleMainWindow();
  } else {
    BringForward(this);
  }
}

bool TFormMain::ConfirmExit() {
  return services_.messages->Show(QString::fromLatin1(kExitQuestion),
                                  QStringLiteral("Please Confirm"),
                                  MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void TFormMain::ShowPreview() {
  const QSize size = PreviewSize(services_.desktop->ScreenSize());
  // Composed at the pixels of the screen it opens on (that of this window), so a scaled
  // monitor shows it sharp rather than enlarged.
  const qreal ratio = screen() ? screen()->devicePixelRatio() : devicePixelRatioF();
  const QSize pixels = PreviewPixels(size, ratio);
  auto& d = config_.DynamicConfig;
  std::optional<QImage> bitmap = composer_(d.SelectedImage, pixels.width(), pixels.height());
  if (!bitmap || bitmap->isNull()) return;
  bitmap->setDevicePixelRatio(static_cast<qreal>(bitmap->width()) / size.width());
  d.PreviewOpen = true;
  // However the preview ends, the scheduler must not stay suspended.
  struct Reopen {
    DynamicConfigT& d;
    ~Reopen() { d.PreviewOpen = false; }
  } reopen{d};
  TFormPreview preview(this, *bitmap, size);
  preview.exec();
}

bool TFormMain::ModalWindowOpen() const {
  return config_.DynamicConfig.PreviewOpen || QApplication::activeModalWidget() != nullptr ||
         ReminderWindowOpen();
}

void TFormMain::PopupMenu_MainPopup() {
  const bool visible = config_.DynamicConfig.WindowVisible;
  MI_ShowHide->setText(visible ? QStringLiteral("Hide Quillatorne")
                               : QStringLiteral("Show Quillatorne"));
  // A panel may show the menu over an open reminder or box: what would act waits, greyed.
  const bool modal = ModalWindowOpen();
  for (QAction* item : {MI_ShowHide, MI_Refresh, MI_Random, MI_Next, MI_Close})
    item->setEnabled(!modal);
  MI_CheckEmail->setEnabled(!modal && !config_.DynamicConfig.EmailCheckRunning);
}

void TFormMain::ToolButton_PreviewClick() {
  SaveNow();
  ShowPreview();
}

void TFormMain::ToolButton_SetClick() {
  SaveNow();
  SetWallpaper(config_.DynamicConfig.SelectedImage);
}

void TFormMain::ToolButton_HideClick() {
  SaveNow();
  ToggleMainWindow();
}

void TFormMain::ToolButton_ExitClick() {
  if (ConfirmExit()) Exit();
}

void TFormMain::Label_HomePageClick() { services_.desktop->ShellOpen(HomePage()); }

void TFormMain::TrayIconDblClick() {
  if (!ModalWindowOpen()) ToggleMainWindow();
}

void TFormMain::TrayIconRightClick() {
  if (!ModalWindowOpen()) PopupMenu_Main->popup(QCursor::pos());
}

void TFormMain::MI_ShowHideClick() {
  if (!ModalWindowOpen()) ToggleMainWindow();
}

void TFormMain::MI_CheckEmailClick() {
  if (StartMailCheck(config_, services_, false, -1)) TickSoon();
}

void TFormMain::ShowErrors(const WallpaperErrors& errors) {
  // A change by hand starts the timed rule's delay again.
  TickSoon();
  ShowWallpaperErrors(errors, *services_.messages);
}

void TFormMain::SetWallpaper(const QString& path) {
  ShowErrors(SetChosenWallpaper(path, config_, services_, wallpaperMemory_));
}

void TFormMain::MI_RefreshClick() {
  ShowErrors(RefreshWallpaper(config_, services_, wallpaperMemory_));
}

void TFormMain::MI_RandomClick() {
  ShowErrors(PickWallpaper(true, config_, services_, wallpaperMemory_));
}

void TFormMain::MI_NextClick() {
  ShowErrors(PickWallpaper(false, config_, services_, wallpaperMemory_));
}

void TFormMain::MI_CloseClick() {
  if (ConfirmExit()) Exit();
}

void TFormMain::TimerIDLETimer() {
  // A popup or box opened by this tick runs its own loop, and the ticks go on in it each second.
  if (++tickDepth_ == 1 && !closed_) TimerIDLE->start(kBusyTickMs);
  // A check that ends during this tick is announced by the next one.
  const bool mailWasRunning = config_.DynamicConfig.EmailCheckRunning;
  if (agenda_ && !passwords_->Pending())
    agenda_->Tick(config_.AgendaConfig, services_.clock->Now());
  // Accounts edited on their page, or passwords come from the keyring, are watched from now.
  if (mailPush_) mailPush_->Look();
  scheduler_.TimerIDLETimer();
  // What changed in memory since the last tick reaches the file now, not at the next "Hide".
  if (!closed_) autosave_->Poll();
  // Keeps a menu the panel shows (and never asks us about) current.
  PopupMenu_MainPopup();
  if (--tickDepth_ > 0 || closed_) return;
  const auto& d = config_.DynamicConfig;
  // (Alarm windows open only inside a tick, so none is open once the outermost one ends.)
  const bool busy = d.WindowVisible || ModalWindowOpen() || mailWasRunning || d.EmailCheckRunning ||
                    d.NoNewMail || passwords_->Pending();
  const QDateTime now = services_.clock->Now();
  const QDateTime alarm = agenda_ ? agenda_->NextAlarm(now) : QDateTime();
  TimerIDLE->start(
      NextTickMs(busy, now.time(),
                 {MsUntilTimedChange(config_, wallpaperMemory_, services_.clock->ElapsedMs()),
                  MsUntilTimedMailCheck(config_, NowDays(*services_.clock)),
                  alarm.isValid() ? now.msecsTo(alarm) : -1}));
}

void TFormMain::TickSoon() {
  if (tickDepth_ == 0 && !closed_ && TimerIDLE) TimerIDLE->start(kBusyTickMs);
}

void TFormMain::MonitorsChanged() {
  MonitorList now = services_.desktop->Monitors();
  if (now == monitors_) return;
  monitors_ = std::move(now);
  // The same photograph, composed again for the monitors there are now.
  RunAutomaticChange(wallpaperMemory_, *services_.messages,
                     [this] { return RedrawWallpaper(config_, services_, wallpaperMemory_); });
}

void TFormMain::AgendaFetched() {
  if (auto* page = qobject_cast<TFrameAgenda*>(Page(kAgendaPage)))
    page->ShowStatus(agenda_->Status());
  const AgendaView view = agenda_->View(config_.AgendaConfig, services_.clock->Now());
  if (view == config_.DynamicConfig.Agenda) return;
  config_.DynamicConfig.Agenda = view;
  // The month grid of the colour dots shows the marks too.
  if (SettingsPage* dots = Page(kColorDotsPage))
    for (SHLCalendar* grid : dots->findChildren<SHLCalendar*>()) grid->update();
  if (config_.CalendarConfig.ShowCalendar)
    RunAutomaticChange(wallpaperMemory_, *services_.messages,
                       [this] { return RedrawWallpaper(config_, services_, wallpaperMemory_); });
}

void TFormMain::AgendaFailed(const QString& source, const QString& reason) {
  const QString text =
      QStringLiteral("The calendar %1 could not be fetched: %2").arg(source, reason);
  TellUser(services_.notifications, text);
}

void TFormMain::CheckAgendaAlarms() {
  if (!agenda_) return;
  const QDateTime now = services_.clock->Now();
  alarmQueue_ << agenda_->DueAlarms(now);
  // The window is modal and the tick goes on: alarms that go off meanwhile wait their turn.
  if (showingAlarm_) return;
  showingAlarm_ = true;
  while (!alarmQueue_.isEmpty() && !closed_) {
    const AgendaAlarmDue due = alarmQueue_.takeFirst();
    const AgendaAlarmAnswer answer = ShowAgendaAlarm(
        *agenda_, due, *reminderPopup_,
        config_.RemindersConfig.DesktopNotifications ? services_.notifications : nullptr,
        services_.clock->Now());
    if (answer == AgendaAlarmAnswer::Gone) break;
    if (answer == AgendaAlarmAnswer::Edit) {
      if (!config_.DynamicConfig.WindowVisible) ToggleMainWindow();
      SelectSlot(kAgendaPage);
    }
  }
  showingAlarm_ = false;
}

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
  const QString longMissed = LongMissedReport(
      TakeLongMissedReminders(config_.RemindersConfig.Reminders, NowDays(*services_.clock)));
  // A bad picture must not keep the program from starting: report it and go on.
  RunAutomaticChange(wallpaperMemory_, *services_.messages, [this] {
    return ChooseStartupWallpaper(config_, services_, wallpaperMemory_);
  });
  // The program may have been told to end while a box was open.
  if (closed_) return;
  if (const QString keptAs = store_.backend().movedAsideTo(); !keptAs.isEmpty()) {
    services_.messages->Show(QString::fromLatin1(kSettingsKeptAside) + keptAs,
                             QStringLiteral("Quillatorne"), MB_OK | MB_ICONWARNING);
  }
  if (!longMissed.isEmpty() && !closed_)
    services_.messages->Show(longMissed, QStringLiteral("Quillatorne"), MB_OK | MB_ICONINFORMATION);
}

void TFormMain::TimerEXITTimer() {
  TimerEXIT->stop();
  if (!config_.DynamicConfig.WindowVisible) Exit();
}

void TFormMain::ShowReminderForEdit(int index) {
  // A nested popup's Edit may have shown the window already; showing must not hide it.
  if (!config_.DynamicConfig.WindowVisible) ToggleMainWindow();
  SelectSlot(kPopupRemindersPage);
  if (reminderSelector_) reminderSelector_->SelectReminder(index);
}

void TFormMain::FormClose() {
  if (closed_) return;
  closed_ = true;
  TimerIDLE->stop();
  TrayIcon->hide();
  SaveNow();
}

void TFormMain::Exit() {
  exitAsked_ = true;
  close();
}

void TFormMain::HideFromOutside() {
  SaveNow();
  if (config_.DynamicConfig.WindowVisible) ToggleMainWindow();
}

bool TFormMain::SaveNow() {
  if (!SaveSettings(store_, config_, passwords_.get())) return false;
  // The next tick has nothing new to write.
  if (autosave_) autosave_->MarkSaved();
  return true;
}

void TFormMain::closeEvent(QCloseEvent* event) {
  // The window manager's close is not an exit: the program would end unseen, unconfirmed.
  // (Not told apart by QEvent::spontaneous(): Qt's Wayland plugin closes the window itself.)
  if (!exitAsked_ && !closed_) {
    event->ignore();
    // Not from inside the display's event dispatch, which the hide would re-enter.
    QTimer::singleShot(0, this, &TFormMain::HideFromOutside);
    return;
  }
  FormClose();
  event->accept();
  QCoreApplication::quit();
}

void TFormMain::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(0x00, 0x00, 0x50));
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Label_HomePage && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    Label_HomePageClick();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}
