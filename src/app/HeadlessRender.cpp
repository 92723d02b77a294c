#include "app/HeadlessRender.h"

#include <QBuffer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QImageWriter>
#include <cstdio>
#include <exception>

#include "agenda/Agenda.h"
#include "platform/Paths.h"
#include "platform/RegistryFile.h"
#include "platform/SystemServices.h"
#include "settings/Config.h"
#include "settings/ConfigStore.h"
#include "wallpaper/BmpWriter.h"
#include "wallpaper/Compose.h"
#include "platform/ReplacedFile.h"

namespace {
class RenderDesktop : public IDesktop {
 public:
  QSize screen;
  QSize ScreenSize() const override { return screen; }
  bool InstallWallpaper(const QString&, const QImage&, QString* error) override {
    if (error) *error = QStringLiteral("a render installs nothing");
    return false;
  }
  bool ShellOpen(const QString&) override { return false; }
  void PlaySound(const QString&) override {}
};

// No box may open without a display; the composition reports through its result anyway.
class NoMessages : public IMessageBoxes {
 public:
  int Show(const QString&, const QString&, unsigned) override { return IDOK; }
};

RenderDesktop& Desktop() {
  static RenderDesktop desktop;
  return desktop;
}
NoMessages& Messages() {
  static NoMessages messages;
  return messages;
}
}  // namespace

Services RenderServices(QSize screen) {
  static SystemClock clock;
  static MsvcRandom random;
  Desktop().screen = screen;
  return Services{&clock, &random, &Desktop(), &Messages()};
}

RenderResult ComposeForRender(const Config& config, const Services& services, const QString& image,
                              QSize size) {
  RenderResult result;
  ComposeResult composed =
      ComposeWallpaper(image, size.width(), size.height(), config, services.desktop->ScreenSize(),
                       CalendarToday(*services.clock));
  if (composed.error)
    result.error = composed.error.message;
  else
    result.image = std::move(composed.bitmap);
  return result;
}

QSize DefaultRenderSize() {
  const QSize current = QImageReader(WallpaperFilePath(), "BMP").size();
  return current.isValid() && !current.isEmpty() ? current : QSize(1920, 1080);
}

QString WriteRenderedFile(const QImage& image, const QString& file) {
  const auto failed = [&](const QString& why) {
    return QStringLiteral("Could not write %1: %2").arg(file, why);
  };
  // Both formats replace the path: a link is replaced, never written through, and a FIFO,
  // a device or a folder in the way is left as it is.
  const QFileInfo target(file);
  if (!target.isSymLink() && target.exists() && !target.isFile())
    return failed(QStringLiteral("it is not a regular file"));
  if (target.suffix().compare(QLatin1String("png"), Qt::CaseInsensitive) != 0) {
    try {
      WriteBmpFile(image, file);
    } catch (const std::exception& e) {
      return QString::fromLocal8Bit(e.what());
    }
    return QString();
  }
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "PNG");
  if (!writer.write(image)) return failed(writer.errorString());
  try {
    ReplacedFile out(file);
    out.Write(png.constData(), size_t(png.size()));
    out.Commit();
  } catch (const std::exception& e) {
    return QString::fromLocal8Bit(e.what());
  }
  return QString();
}

int RunRender(int& argc, char** argv, const RenderRequest& request) {
  // Never the desktop's display, whether there is one or not.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  QGuiApplication::setApplicationName(QStringLiteral("Quillatorne"));

  const QSize size = request.size.isValid() ? request.size : DefaultRenderSize();
  const Services services = RenderServices(size);
  Config config(size);
  RegistryFile registry(RegistryFile::DefaultFileName());
  RegistryStore store(registry);
  store.OpenKey(QString::fromLatin1(kProductKey));
  LoadConfig(store, config, ProgramDirectory());
  // The agenda as the copies on disk and local files have it: a render waits for no server.
  config.DynamicConfig.Agenda =
      ReadAgendaView(config.AgendaConfig, services.clock->Now(), AgendaFolder());

  const QString image =
      request.image.isEmpty() ? config.ProgramConfig.LastImageFileName : request.image;
  const RenderResult result = ComposeForRender(config, services, image, size);
  QString error = result.error;
  if (result.image) error = WriteRenderedFile(*result.image, request.outFile);
  if (!error.isEmpty()) {
    std::fprintf(stderr, "%s\n", qPrintable(error));
    return 1;
  }
  return 0;
}
