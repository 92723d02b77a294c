#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <cstdlib>

#include "platform/WallpaperInstaller.h"
#include "support/E2E.h"
#include "support/TempHome.h"
#include "unit/TestJpeg.h"

namespace {
constexpr QRgb kRed = 0xFFFF0000, kBlue = 0xFF0000FF;

QImage Halves(int width, int height) {
  QImage image = Flat(width, height, kBlue);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width / 2; ++x) image.setPixel(x, y, kRed);
  }
  return image;
}

QByteArray SettingsFile(const QString& folder, int rule) {
  QByteArray text = "Windows Registry Editor Version 5.00\n\n";
  const QByteArray key = "[HKEY_CURRENT_USER\\SOFTWARE\\Orbwright\\Quillatorne\\4.0\\";
  text += key + "Base]\n\"OK\"=dword:00000001\n\n";
  text += key + "Wallpaper]\n\"PathsCount\"=dword:00000001\n\"Path 1\"=\"" + folder.toUtf8() +
          "\"\n\"ChangeRule\"=dword:0000000" + QByteArray::number(rule) +
          "\n\"StretchToFit\"=dword:00000001\n\"ConstrainProportions\"=dword:00000001\n"
          "\"ShowImage\"=dword:00000001\n\n";
  // The calendar has its own tests; here the picture alone is looked at.
  text += key + "Calendar]\n\"ShowCalendar\"=dword:00000000\n\n";
  return text;
}

// Pixel for pixel (a grab comes back as whatever PNG flavour the grabber chose).
bool SamePixels(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return false;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      if ((a.pixel(x, y) & 0xFFFFFF) != (b.pixel(x, y) & 0xFFFFFF)) return false;
    }
  }
  return true;
}
}  // namespace

TEST(WallpaperE2E, StartUpWithRuleOneWritesTheScreenSizedWallpaperAndTheRootWindowShowsIt) {
  XvfbDisplay display(1024, 768);
  ASSERT_TRUE(display.ok());
  TempHome home;
  const QString folder = home.path() + "/Pictures/Holiday Photos";
  QDir().mkpath(folder);
  ASSERT_TRUE(WriteTestJpeg(folder + "/Beach.JPG", Halves(800, 600)));
  home.write(".config/Quillatorne/settings.reg", SettingsFile(folder, 1));

  ProgramRun program(display, home);
  const QString bmp = home.dataDir() + "/Quillatorne.bmp";
  QElapsedTimer clock;
  clock.start();
  ASSERT_TRUE(program.Start());
  ASSERT_TRUE(WaitUntil([&] { return QFile::exists(bmp); }, 30000))
      << qPrintable(program.stderrText());
  std::printf("[ figure ] wallpaper file written %lld ms after the start (sanitized build)\n",
              static_cast<long long>(clock.elapsed()));

  const QImage wallpaper(bmp, "BMP");
  ASSERT_EQ(wallpaper.size(), QSize(1024, 768));
  // 800 x 600 fills 1024 x 768 exactly: red on the left, blue on the right.
  EXPECT_TRUE(Near(wallpaper.pixel(100, 384), kRed));
  EXPECT_TRUE(Near(wallpaper.pixel(924, 384), kBlue));

  QImage root;
  ASSERT_TRUE(WaitUntil(
      [&] {
        root = display.GrabRoot();
        return SamePixels(root, wallpaper);
      },
      20000));
  EXPECT_FALSE(program.stderrText().contains("could not be installed"))
      << qPrintable(program.stderrText());
  EXPECT_EQ(program.Terminate(), 0);
}

TEST(WallpaperE2E, TheRootPixmapIsReplacedAndTheOldOneFreed) {
  XvfbDisplay display(320, 200);
  ASSERT_TRUE(display.ok());
  const QByteArray saved = qgetenv("DISPLAY");
  qputenv("DISPLAY", display.display().toLatin1());
  // A client that stays, as a session's always do: the server resets when the last one leaves.
  xcb_connection_t* session = xcb_connect(nullptr, nullptr);
  ASSERT_FALSE(xcb_connection_has_error(session));
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(session)).data->root;
  auto rootPixmap = [&] {
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(session, xcb_intern_atom(session, 1, 13, "_XROOTPMAP_ID"), nullptr);
    xcb_pixmap_t pixmap = XCB_NONE;
    if (atom) {
      xcb_get_property_reply_t* p = xcb_get_property_reply(
          session, xcb_get_property(session, 0, root, atom->atom, XCB_ATOM_PIXMAP, 0, 1), nullptr);
      if (p && xcb_get_property_value_length(p) == 4)
        pixmap = *static_cast<xcb_pixmap_t*>(xcb_get_property_value(p));
      std::free(p);
    }
    std::free(atom);
    return pixmap;
  };
  auto exists = [&](xcb_pixmap_t pixmap) {
    xcb_generic_error_t* error = nullptr;
    std::free(xcb_get_geometry_reply(session, xcb_get_geometry(session, pixmap), &error));
    const bool ok = error == nullptr;
    std::free(error);
    return ok;
  };

  QString error;
  ASSERT_TRUE(SetX11RootPixmap(Flat(320, 200, kRed), &error)) << qPrintable(error);
  const xcb_pixmap_t first = rootPixmap();
  EXPECT_NE(first, xcb_pixmap_t(XCB_NONE));
  EXPECT_TRUE(SamePixels(display.GrabRoot(), Flat(320, 200, kRed)));

  ASSERT_TRUE(SetX11RootPixmap(Halves(320, 200), &error)) << qPrintable(error);
  const xcb_pixmap_t second = rootPixmap();
  EXPECT_NE(second, first);
  EXPECT_TRUE(exists(second));
  EXPECT_FALSE(exists(first));  // not left behind in the server's memory
  EXPECT_TRUE(SamePixels(display.GrabRoot(), Halves(320, 200)));

  xcb_disconnect(session);
  qputenv("DISPLAY", saved);
}
