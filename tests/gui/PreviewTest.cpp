#include <QApplication>
#include <QFile>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTimer>

#include "MainWindowFixture.h"
#include "app/TFormPreview.h"

namespace {
// What the test saw while the preview was open.
struct Seen {
  bool opened = false;
  QSize picture;
  QString caption;
  bool previewOpen = false;
  int stepsRunInside = 0;
  bool trayToggled = false;
  bool menuOpened = false;
  QPoint picturePos;
  QSize windowSize;
  bool closedByClick = false;
};

class PreviewTest : public MainWindowTest {
 protected:
  // Looks at the preview from inside its modal loop, then closes it with a click on the picture.
  void InspectAndClose() {
    // Tied to the window, so a check never fired (no preview opened) dies with this test.
    QTimer::singleShot(0, form.get(), [this] {
      auto* preview = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!preview) return;
      auto* dialog = dynamic_cast<TFormPreview*>(preview);
      seen.opened = true;
      seen.caption = preview->windowTitle();
      seen.previewOpen = fake.config.DynamicConfig.PreviewOpen;
      if (dialog) {
        seen.picture = dialog->Image->size();
        seen.picturePos = dialog->Image->pos();
        seen.windowSize = dialog->size();
        const bool visibleBefore = fake.config.DynamicConfig.WindowVisible;
        form->TimerIDLETimer();
        seen.stepsRunInside = steps;
        form->TrayIconDblClick();
        seen.trayToggled = fake.config.DynamicConfig.WindowVisible != visibleBefore;
        form->TrayIconRightClick();
        seen.menuOpened = form->PopupMenu_Main->isVisible();
        QMouseEvent click(QEvent::MouseButtonPress, QPointF(10, 10), QPointF(10, 10), button,
                          button, Qt::NoModifier);
        QApplication::sendEvent(dialog->Image, &click);
        seen.closedByClick = !preview->isVisible();
      }
      // Never leave a test hanging in the modal loop.
      if (preview->isVisible()) preview->reject();
    });
  }

  void CountSteps() {
    auto count = [this] { ++steps; };
    auto& s = form->scheduler().steps;
    s.StartMailCheck = s.CheckPopupReminders = s.CheckTimedChange = s.CheckDayChange = count;
  }

  Seen seen;
  Qt::MouseButton button = Qt::LeftButton;  // the button that clicks the picture
  int steps = 0;
  QList<QSize> composed;
};

struct ScreenCase {
  QSize screen;
  QSize picture;
};

class PreviewSizeTest : public PreviewTest, public ::testing::WithParamInterface<ScreenCase> {};

TEST_P(PreviewSizeTest, PictureFollowsTheScreenShapeAndTheTickWaitsWhileItIsOpen) {
  fake.desktop.screen = GetParam().screen;
  fake.config.DynamicConfig.SelectedImage = QStringLiteral("/pictures/lake.jpg");
  QString composedPath;
  form->setComposer([&](const QString& path, int w, int h) -> std::optional<QImage> {
    composedPath = path;
    composed << QSize(w, h);
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::darkCyan);
    return img;
  });
  CountSteps();
  InspectAndClose();

  form->ToolButton_Preview
      ->click();  // "Preview", with the window hidden so only the preview suspends

  EXPECT_EQ(registry.saves, savesAtStart + 1);
  EXPECT_EQ(composedPath, QStringLiteral("/pictures/lake.jpg"));
  ASSERT_EQ(composed, QList<QSize>{GetParam().picture});
  ASSERT_TRUE(seen.opened);
  EXPECT_EQ(seen.picture, GetParam().picture);
  // The picture fills the window: no frame of our own inside the window's border.
  EXPECT_EQ(seen.picturePos, QPoint(0, 0));
  EXPECT_EQ(seen.windowSize, GetParam().picture);
  EXPECT_EQ(seen.caption, QStringLiteral("Preview (click image to close)"));
  EXPECT_TRUE(seen.previewOpen);
  EXPECT_EQ(seen.stepsRunInside, 0);
  EXPECT_FALSE(seen.trayToggled);
  EXPECT_FALSE(seen.menuOpened);
  EXPECT_TRUE(seen.closedByClick);

  EXPECT_FALSE(fake.config.DynamicConfig.PreviewOpen);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  form->TimerIDLETimer();  // the window is hidden: the scheduler runs again
  EXPECT_EQ(steps, 4);
}

INSTANTIATE_TEST_SUITE_P(Screens, PreviewSizeTest,
                         ::testing::Values(ScreenCase{QSize(1024, 768), QSize(640, 480)},
                                           ScreenCase{QSize(768, 1024), QSize(480, 640)},
                                           ScreenCase{QSize(1080, 1080), QSize(480, 640)}),
                         [](const auto& info) {
                           return "Screen" + std::to_string(info.param.screen.width()) + "x" +
                                  std::to_string(info.param.screen.height());
                         });

class PreviewClickTest : public PreviewTest,
                         public ::testing::WithParamInterface<Qt::MouseButton> {};

TEST_P(PreviewClickTest, AClickWithAnyButtonClosesIt) {
  form->setComposer([](const QString&, int w, int h) -> std::optional<QImage> {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::gray);
    return img;
  });
  button = GetParam();
  InspectAndClose();
  form->ShowPreview();
  ASSERT_TRUE(seen.opened);
  EXPECT_TRUE(seen.closedByClick);
  EXPECT_FALSE(fake.config.DynamicConfig.PreviewOpen);
}

INSTANTIATE_TEST_SUITE_P(Buttons, PreviewClickTest,
                         ::testing::Values(Qt::LeftButton, Qt::RightButton, Qt::MiddleButton),
                         [](const auto& info) {
                           switch (info.param) {
                             case Qt::LeftButton:
                               return std::string("Left");
                             case Qt::RightButton:
                               return std::string("Right");
                             default:
                               return std::string("Middle");
                           }
                         });

TEST_F(PreviewTest, NothingOpensWhenCompositionFails) {
  form->setComposer([&](const QString&, int w, int h) -> std::optional<QImage> {
    composed << QSize(w, h);
    return std::nullopt;
  });
  InspectAndClose();
  form->ShowPreview();
  EXPECT_EQ(composed.size(), 1);
  EXPECT_FALSE(seen.opened);
  EXPECT_FALSE(fake.config.DynamicConfig.PreviewOpen);
}

TEST_F(PreviewTest, TheProgramsOwnCompositionShowsWhyThereIsNoPreview) {
  QTemporaryDir dir;
  const QString broken = dir.path() + "/broken.jpg";
  QFile file(broken);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("not a picture");
  file.close();
  const QString gone = dir.path() + "/gone.jpg";
  struct Case {
    QString image;
    QString caption;
    QString text;
  };
  for (const Case& c :
       {Case{gone, "Quillatorne Error",
             "Quillatorne could not find the image:\n\n" + gone +
                 "\n\n Please either select an image or switch off the Show Image option."},
        Case{broken, "Quillatorne", ""}}) {
    fake.messages.calls.clear();
    fake.config.DynamicConfig.SelectedImage = c.image;
    InspectAndClose();
    form->ShowPreview();
    EXPECT_FALSE(seen.opened);
    ASSERT_EQ(fake.messages.calls.size(), 1) << c.image.toStdString();
    EXPECT_EQ(fake.messages.calls[0].caption, c.caption);
    EXPECT_EQ(fake.messages.calls[0].flags, 16u);
    if (!c.text.isEmpty()) EXPECT_EQ(fake.messages.calls[0].text, c.text);
    EXPECT_TRUE(fake.messages.calls[0].text.contains(c.image));
    // "Set" tells the same, every time it is pressed.
    form->ToolButton_SetClick();
    form->ToolButton_SetClick();
    ASSERT_EQ(fake.messages.calls.size(), 3);
    EXPECT_EQ(fake.messages.calls[2].caption, c.caption);
    EXPECT_TRUE(fake.desktop.installed.isEmpty());
  }
}

TEST_F(PreviewTest, PreviewingChangesNoWallpaperState) {
  // The program's own composition, on a real sample picture.
  fake.config.DynamicConfig.SelectedImage =
      QStringLiteral(QUILLATORNE_SOURCE_DIR "/data/images/dusk-hills.jpg");
  auto& program = fake.config.ProgramConfig;
  program.LastImageFileName = QStringLiteral("/pictures/before.jpg");
  program.LastYear = 2026;
  program.LastMonth = 3;
  program.LastDay = 14;
  fake.config.DynamicConfig.LastSetTime = 46095.25;
  form->ToggleMainWindow();
  InspectAndClose();

  form->ToolButton_Preview->click();

  EXPECT_TRUE(fake.desktop.installed.isEmpty());
  EXPECT_EQ(program.LastImageFileName, QStringLiteral("/pictures/before.jpg"));
  EXPECT_EQ(program.LastYear, 2026);
  EXPECT_EQ(program.LastMonth, 3);
  EXPECT_EQ(program.LastDay, 14);
  EXPECT_EQ(fake.config.DynamicConfig.LastSetTime, 46095.25);
  EXPECT_FALSE(fake.config.DynamicConfig.PreviewOpen);
  EXPECT_TRUE(form->isVisible());  // the window stays shown behind the preview
}

TEST_F(PreviewTest, ClosingThePreviewWithTheWindowShownKeepsTheTickSuspended) {
  form->setComposer([](const QString&, int w, int h) -> std::optional<QImage> {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::gray);
    return img;
  });
  CountSteps();
  form->ToggleMainWindow();
  InspectAndClose();
  form->ShowPreview();
  ASSERT_TRUE(seen.opened);
  form->TimerIDLETimer();
  EXPECT_EQ(steps, 0);
}
}  // namespace
