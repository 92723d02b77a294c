#include "platform/SystemServices.h"

#include <time.h>

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include "platform/WallpaperInstaller.h"

QDateTime SystemClock::Now() const {
  // Every conversion to local time looks at the zone file again (a system call each), and one
  // tick asks for the time several times within the same millisecond: those share one.
  thread_local qint64 lastMs = -1;
  thread_local QDateTime last;
  const qint64 ms = QDateTime::currentMSecsSinceEpoch();
  if (ms != lastMs) {
    last = QDateTime::fromMSecsSinceEpoch(ms);
    lastMs = ms;
  }
  return last;
}

qint64 SystemClock::ElapsedMs() const {
  // Boot time, not the monotonic clock: a suspend is time that has passed.
  timespec ts{};
  clock_gettime(CLOCK_BOOTTIME, &ts);
  return static_cast<qint64>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

int MsvcRandom::Next() {
  state_ = state_ * 214013u + 2531011u;
  return static_cast<int>((state_ >> 16) & 0x7FFF);
}

QSize QtDesktop::ScreenSize() const {
  const QSize size = PrimaryMonitor(Monitors()).rect.size();
  return size.isEmpty() ? QSize(1024, 768) : size;
}

MonitorList QtDesktop::Monitors() const {
  // Qt knows a Wayland output only by its layout size and a scale rounded up to a whole number;
  // sway tells each output's mode.
  if (DetectDesktop(QProcessEnvironment::systemEnvironment()) == DesktopKind::Sway) {
    QString outputs, error;
    if (RunProgram(QStringLiteral("swaymsg"), {"-r", "-t", "get_outputs"}, &outputs, &error)) {
      const MonitorList monitors = SwayMonitors(outputs);
      if (!monitors.isEmpty()) return monitors;
    }
  }
  QList<LogicalMonitor> screens;
  for (const QScreen* screen : QGuiApplication::screens()) {
    const qreal ratio = screen->devicePixelRatio();
    const QRect geometry = screen->geometry();
    screens << LogicalMonitor{
        screen->name(), geometry,
        QSize(qRound(geometry.width() * ratio), qRound(geometry.height() * ratio))};
  }
  const QScreen* primary = QGuiApplication::primaryScreen();
  return PlaceInDevicePixels(screens, primary ? primary->name() : QString());
}

bool QtDesktop::InstallWallpaper(const QString& bmpPath, const QImage& image, QString* error) {
  return InstallDesktopWallpaper(bmpPath, image, error);
}

bool QtDesktop::InstallWallpapers(const QList<MonitorPicture>& pictures, QString* error) {
  return InstallMonitorWallpapers(pictures, error);
}

bool QtDesktop::KeepsWallpaper() const {
  return DesktopKeepsWallpaper(QProcessEnvironment::systemEnvironment());
}

QRect QtDesktop::AvailableArea() const {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return QRect(QPoint(0, 0), ScreenSize());
  QRect area = screen->availableGeometry().translated(-screen->geometry().topLeft());
  // Qt learns nothing of Wayland panels; sway tells what its outputs have left free.
  const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  if (DetectDesktop(env) == DesktopKind::Sway) {
    QString workspaces, outputs, error;
    if (RunProgram(QStringLiteral("swaymsg"), {"-r", "-t", "get_workspaces"}, &workspaces,
                   &error) &&
        RunProgram(QStringLiteral("swaymsg"), {"-r", "-t", "get_outputs"}, &outputs, &error)) {
      const QRect usable = SwayUsableArea(workspaces, outputs, screen->name());
      if (!usable.isEmpty()) area = area.intersected(usable);
    }
  }
  const qreal ratio = screen->devicePixelRatio();
  return QRect(qRound(area.x() * ratio), qRound(area.y() * ratio), qRound(area.width() * ratio),
               qRound(area.height() * ratio));
}

bool QtDesktop::ShellOpen(const QString& target) {
  const QFileInfo info(target);
  if (info.isFile() && info.isExecutable()) {
    return QProcess::startDetached(info.absoluteFilePath(), {}, info.absolutePath());
  }
  const QUrl url =
      info.exists() ? QUrl::fromLocalFile(info.absoluteFilePath()) : QUrl::fromUserInput(target);
  return QDesktopServices::openUrl(url);
}

void QtDesktop::PlaySound(const QString& file) {
  // Whichever player the desktop has; none, or no audio device, is not an error.
  for (const char* player : {"pw-play", "paplay", "aplay"}) {
    const QString exe = QStandardPaths::findExecutable(QString::fromLatin1(player));
    if (!exe.isEmpty()) {
      QProcess::startDetached(exe, {file});
      return;
    }
  }
}

namespace {
QPointer<QWidget>& MainWindow() {
  static QPointer<QWidget> window;
  return window;
}

bool CanOwn(const QWidget* w) {
  return w && w->isVisible() && !w->isMinimized() && w->windowType() != Qt::Popup &&
         w->windowType() != Qt::ToolTip;
}

// The window a closing box just gave the keyboard to: until the focus has arrived there, the
// program has no active window, yet a box that follows at once (the next step of the same
// answer) belongs to the user's work as much as the first one did.
QPointer<QWidget>& KeyboardHandedTo() {
  static QPointer<QWidget> window;
  return window;
}

// Hands the keyboard back to the owner before the box goes: a window that is unmapped while
// it has the focus makes the compositor look for another one at once, and when that fails
// (the owner hiding too, as on "Exit") some compositors abort. A button closes the box
// without passing through done(), so the hand-over also runs on the click itself.
class OwnedBox : public QMessageBox {
 public:
  OwnedBox(QWidget* owner, bool activate) : QMessageBox(owner), owner_(owner), activate_(activate) {
    if (owner) setWindowModality(Qt::WindowModal);
    if (!activate) setAttribute(Qt::WA_ShowWithoutActivating);
    connect(this, &QMessageBox::buttonClicked, this, [this] { HandBack(); });
  }
  void done(int result) override {
    HandBack();
    QMessageBox::done(result);
  }

 private:
  void HandBack() {
    // Also when the box was not meant to take the keyboard but was given it.
    if ((!activate_ && !isActiveWindow()) || !owner_ || !owner_->isVisible()) return;
    owner_->activateWindow();
    KeyboardHandedTo() = owner_;
  }

  QPointer<QWidget> owner_;
  bool activate_;
};

// Fills the box as the flags ask, runs it, and answers as a Win32 message box does.
int Ask(QMessageBox& box, const QString& text, const QString& caption, unsigned flags) {
  box.setWindowTitle(caption);
  box.setText(text);
  // Shown by task bars for a minimised box, and readable by other X clients.
  box.setWindowIconText(text);
  switch (flags & 0xF0) {
    case MB_ICONERROR:
      box.setIcon(QMessageBox::Critical);
      break;
    case MB_ICONQUESTION:
      box.setIcon(QMessageBox::Question);
      break;
    case MB_ICONWARNING:
      box.setIcon(QMessageBox::Warning);
      break;
    case MB_ICONINFORMATION:
      box.setIcon(QMessageBox::Information);
      break;
    default:
      break;
  }
  const bool second = (flags & 0xF00) == MB_DEFBUTTON2;
  if ((flags & 0x0F) == MB_YESNO) {
    QPushButton* yes = box.addButton(QMessageBox::Yes);
    QPushButton* no = box.addButton(QMessageBox::No);
    box.setDefaultButton(second ? no : yes);
    box.exec();
    return box.clickedButton() == yes ? IDYES : IDNO;
  }
  if ((flags & 0x0F) == MB_OKCANCEL) {
    QPushButton* ok = box.addButton(QMessageBox::Ok);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(second ? cancel : ok);
    box.exec();
    return box.clickedButton() == ok ? IDOK : IDCANCEL;
  }
  box.addButton(QMessageBox::Ok);
  box.exec();
  return IDOK;
}
}  // namespace

void QtMessageBoxes::setMainWindow(QWidget* window) { MainWindow() = window; }

QWidget* QtMessageBoxes::Owner() {
  for (QWidget* w : {QApplication::activeModalWidget(), QApplication::activeWindow(),
                     static_cast<QWidget*>(MainWindow())}) {
    if (CanOwn(w)) return w->window();
  }
  return nullptr;
}

int QtMessageBoxes::Show(const QString& text, const QString& caption, unsigned flags) {
  QPointer<QWidget> owner = Owner();
  // Only a program that has the keyboard may take it: a box of the tick waits unfocused.
  const bool active = QApplication::activeWindow() != nullptr ||
                      (owner && owner == KeyboardHandedTo() && owner->isVisible());
  KeyboardHandedTo() = nullptr;
  int answer = IDOK;
  {
    OwnedBox box(owner, active);
    answer = Ask(box, text, caption, flags);
  }
  // The hand-over counts for what the same answer does next, up to the next return to the
  // event loop, not for a later box of the tick.
  if (KeyboardHandedTo()) QTimer::singleShot(0, [] { KeyboardHandedTo() = nullptr; });
  if (active && owner && owner->isVisible() && !owner->isActiveWindow()) owner->activateWindow();
  return answer;
}
