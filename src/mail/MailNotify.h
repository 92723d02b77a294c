#pragma once
// The new-mail announcement and the mail tray icon with its small menu.
#include <QIcon>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QPointer>

#include "mail/MailHeaders.h"

class QAction;
class QMenu;
class DesktopTrayIcon;
class QTimer;
class QWidget;
class IDesktop;
class INotifications;
struct Config;
struct EmailConfigT;
struct Services;

// "You have N email message(s) waiting!", then a line per message: "sender: subject".
QString NewMailText(int count, const QList<MailSummary>& summaries);
// Announces NewMailCount when it is not 0, then sets it to 0, as the mail options of
// `config` say.
void AnnounceNewMail(QWidget* mainWindow, Config& config, const Services& services);
// Sends the announcement's text to the notification centre, its first line as the summary
// and the senders below it as the body, withdrawing the one sent before (`previous`, 0 for
// none). Returns the new one's handle, 0 when there is no notification server.
quint64 NotifyNewMail(INotifications& notifications, const QString& text, quint64 previous);
// Takes the mail icon out of the notification area.
void RemoveEmailTrayIcon();
// Open the mail program / the other program when its file exists.
void LaunchMailProgram(const EmailConfigT& e, IDesktop& desktop);
void LaunchOtherProgram(const EmailConfigT& e, IDesktop& desktop);

// The mail icon and its menu; made on first use, owned by the main window.
class MailNotifier : public QObject {
  Q_OBJECT

 public:
  // Reads the mail options of `config` at each use.
  MailNotifier(QWidget* mainWindow, const Config& config, const Services& services);
  // The notifier of this main window, made when missing.
  static MailNotifier* Instance(QWidget* mainWindow, const Config& config,
                                const Services& services);
  // The notifier when one exists.
  static MailNotifier* Existing();

  // Present, then static or animated as Email/Animate says.
  void ShowIcon();
  void RemoveIcon();
  bool iconPresent() const { return present_; }
  bool iconAnimated() const { return animated_; }
  int frame() const { return frame_; }

  void TrayIcon_EmailClick(Qt::MouseButton button, QPoint pos);
  void MI_LaunchEmailClientClick();
  void MI_JustRemoveIconClick();
  // One step of the animation (Timer_Animate, every 200 ms).
  void AnimateStep();

  DesktopTrayIcon* TrayIcon_Email = nullptr;
  QMenu* PopupMenu_Email = nullptr;
  QAction* MI_LaunchEmailClient = nullptr;  // "Launch email client"
  QAction* MI_JustRemoveIcon = nullptr;     // "Just remove icon"
  QAction* MI_Cancel = nullptr;             // "Cancel"
  QTimer* Timer_Animate = nullptr;
  QList<QIcon> IL_Animate;
  QIcon StaticIcon;

 private:
  const Config& config_;
  const Services& services_;
  bool present_ = false;
  bool animated_ = false;
  int frame_ = 0;
};

// The drawn icons: the static envelope and the four frames of the animation.
QIcon MailIcon();
QList<QIcon> MailAnimationFrames();
