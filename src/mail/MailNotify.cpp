#include "mail/MailNotify.h"

#include <QCursor>
#include <QFileInfo>
#include <QMenu>
#include <QTimer>
#include <QWidget>

#include "mail/MailCheck.h"
#include "platform/DesktopNotifications.h"
#include "platform/DesktopTrayIcon.h"
#include "platform/Services.h"
#include "settings/Config.h"

namespace {
QPointer<MailNotifier> g_notifier;

void LaunchIfExists(const QString& file, IDesktop& desktop) {
  // Only a file that exists is opened; the shell's answer is not looked at.
  if (!file.isEmpty() && QFileInfo(file).isFile()) desktop.ShellOpen(file);
}
}  // namespace

void LaunchMailProgram(const EmailConfigT& e, IDesktop& desktop) {
  LaunchIfExists(e.EmailClient, desktop);
}
void LaunchOtherProgram(const EmailConfigT& e, IDesktop& desktop) {
  LaunchIfExists(e.DiffProgram, desktop);
}

void AnnounceNewMail(QWidget* mainWindow, Config& config, const Services& services) {
  // Every tick passes here, shown window or not: a good moment to free an ended worker.
  ReleaseFinishedMailCheck();
  const auto& e = config.EmailConfig;
  auto& d = config.DynamicConfig;
  // Take the count and leave 0 in one step, so a count published meanwhile is not lost.
  const int n = d.NewMailCount.exchange(0);
  // Taken with the count, so that names never outlive the count they belong to.
  const QList<MailSummary> summaries = TakeNewMailSummaries();
  if (n == 0) {
    d.AnnouncedMailCount = 0;
    return;
  }
  if (e.PlaySound && !e.Sound.isEmpty() && QFileInfo(e.Sound).isFile())
    services.desktop->PlaySound(e.Sound);
  if (e.LaunchEmailProgram) LaunchMailProgram(e, *services.desktop);
  if (e.LaunchDiffProgram) LaunchOtherProgram(e, *services.desktop);
  if (e.AddIcon) MailNotifier::Instance(mainWindow, config, services)->ShowIcon();
  if (!e.ShowDialog && !e.ShowNotification) return;
  if (e.OnlyOnce && n == d.AnnouncedMailCount) return;
  const QString text = NewMailText(n, e.ShowSenders ? summaries : QList<MailSummary>());
  // The notification first: the box waits for the user.
  if (e.ShowNotification && services.notifications)
    d.MailNotification = NotifyNewMail(*services.notifications, text, d.MailNotification);
  if (e.ShowDialog)
    services.messages->Show(text, QStringLiteral("Email Checker Message"),
                            MB_OK | MB_ICONINFORMATION);
  d.AnnouncedMailCount = n;
}

quint64 NotifyNewMail(INotifications& notifications, const QString& text, quint64 previous) {
  // The newest count replaces the one before, rather than piling up in the centre.
  if (previous) notifications.Close(previous);
  const qsizetype lineEnd = text.indexOf('\n');
  DesktopNotification note;
  note.summary = text.left(lineEnd);
  if (lineEnd >= 0) note.body = text.mid(lineEnd + 1).trimmed();
  note.category = QStringLiteral("email.arrived");
  return notifications.Notify(note);
}

QString NewMailText(int count, const QList<MailSummary>& summaries) {
  QString text = QStringLiteral("You have %1 email message(s) waiting!").arg(count);
  if (!summaries.isEmpty()) text += '\n';
  for (const MailSummary& s : summaries.mid(0, kMaxMailSummaries)) text += '\n' + SummaryLine(s);
  return text;
}

void RemoveEmailTrayIcon() {
  if (MailNotifier* n = MailNotifier::Existing()) n->RemoveIcon();
}

MailNotifier::MailNotifier(QWidget* mainWindow, const Config& config, const Services& services)
    : QObject(mainWindow), config_(config), services_(services) {
  StaticIcon = MailIcon();
  IL_Animate = MailAnimationFrames();

  TrayIcon_Email = new DesktopTrayIcon(QStringLiteral("quillatorne-mail"), this);
  TrayIcon_Email->setIcon(StaticIcon);
  TrayIcon_Email->setToolTip(QStringLiteral("Quillatorne"));
  connect(TrayIcon_Email, &DesktopTrayIcon::activated, this,
          [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger)
              TrayIcon_EmailClick(Qt::LeftButton, QCursor::pos());
            else if (reason == QSystemTrayIcon::Context)
              TrayIcon_EmailClick(Qt::RightButton, QCursor::pos());
          });

  PopupMenu_Email = new QMenu(mainWindow);
  MI_LaunchEmailClient = PopupMenu_Email->addAction(QStringLiteral("Launch email client"));
  MI_JustRemoveIcon = PopupMenu_Email->addAction(QStringLiteral("Just remove icon"));
  MI_Cancel = PopupMenu_Email->addAction(QStringLiteral("Cancel"));
  connect(MI_LaunchEmailClient, &QAction::triggered, this,
          &MailNotifier::MI_LaunchEmailClientClick);
  connect(MI_JustRemoveIcon, &QAction::triggered, this, &MailNotifier::MI_JustRemoveIconClick);
  // A panel that draws menus shows this one on a right click; a left click is its Activate.
  TrayIcon_Email->setMenu(PopupMenu_Email);

  Timer_Animate = new QTimer(this);
  Timer_Animate->setInterval(200);
  connect(Timer_Animate, &QTimer::timeout, this, &MailNotifier::AnimateStep);
}

MailNotifier* MailNotifier::Instance(QWidget* mainWindow, const Config& config,
                                     const Services& services) {
  if (!g_notifier || g_notifier->parent() != mainWindow)
    g_notifier = new MailNotifier(mainWindow, config, services);
  return g_notifier;
}

MailNotifier* MailNotifier::Existing() { return g_notifier; }

void MailNotifier::ShowIcon() {
  animated_ = config_.EmailConfig.Animate;
  if (animated_) {
    if (!Timer_Animate->isActive()) {
      frame_ = 0;
      TrayIcon_Email->setIcon(IL_Animate[frame_]);
      Timer_Animate->start();
    }
  } else {
    Timer_Animate->stop();
    TrayIcon_Email->setIcon(StaticIcon);
  }
  present_ = true;
  TrayIcon_Email->show();
}

void MailNotifier::RemoveIcon() {
  Timer_Animate->stop();
  TrayIcon_Email->hide();
  present_ = false;
  animated_ = false;
}

void MailNotifier::AnimateStep() {
  frame_ = (frame_ + 1) % IL_Animate.size();
  TrayIcon_Email->setIcon(IL_Animate[frame_]);
}

void MailNotifier::TrayIcon_EmailClick(Qt::MouseButton button, QPoint pos) {
  const auto& e = config_.EmailConfig;
  bool launch = false, remove = false, menu = false;
  if (button == Qt::LeftButton) {
    launch = e.LeftLaunch;
    remove = e.LeftRemoveIcon;
    menu = e.LeftShowMenu;
  } else if (button == Qt::RightButton) {
    launch = e.RightLaunch;
    remove = e.RightRemoveIcon;
    menu = e.RightShowMenu;
  }
  if (launch) LaunchMailProgram(e, *services_.desktop);
  if (remove) RemoveIcon();
  if (menu && DesktopTrayIcon::CanPopUpMenus()) PopupMenu_Email->popup(pos);
}

void MailNotifier::MI_LaunchEmailClientClick() {
  LaunchMailProgram(config_.EmailConfig, *services_.desktop);
}
void MailNotifier::MI_JustRemoveIconClick() { RemoveIcon(); }
