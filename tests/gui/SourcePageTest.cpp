#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <optional>

#include "MainWindowFixture.h"
#include "PrintQt.h"
#include "pages/PreviewDecoder.h"
#include "pages/TFrameWallpaperSource.h"
#include "support/Fakes.h"
#include "unit/TestJpeg.h"

namespace {
const QString kVanished = QStringLiteral(
    "\n\nThis directory does not exists. Quillatorne will now remove it from the list.");
const QString kMissingKept = QStringLiteral(
    "\n\nThis directory cannot be found just now; perhaps its disk or network share is not "
    "mounted yet. It stays in the list: selecting it while it is still missing, or \"Remove "
    "Invalid\", removes it.");
const QString kDirectoryCaption = QStringLiteral("Quillatorne Directory Manager");

class SourcePageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root.isValid());
    photos = MakeFolder("photos", {"b.jpg", "A.jpg", "notes.txt", "c.JPG"});
    others = MakeFolder("others", {"z.jpg"});
    empty = MakeFolder("empty", {});
  }

  QString MakeFolder(const char* name, std::initializer_list<const char*> files) {
    const QString dir = root.filePath(QString::fromLatin1(name));
    QDir().mkpath(dir);
    for (const char* f : files) {
      const QString path = dir + QLatin1Char('/') + QString::fromLatin1(f);
      if (QString::fromLatin1(f).endsWith(QLatin1String(".txt"))) {
        QFile t(path);
        t.open(QIODevice::WriteOnly);
      } else {
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        WriteTestJpeg(path, picture);
      }
    }
    return dir;
  }
  // The folders and the selection as stored.
  void Store(const QStringList& paths, const QString& selPath = QString(),
             const QString& selFile = QString()) {
    config.WallpaperConfig.Paths = paths;
    config.WallpaperConfig.SelPath = selPath;
    config.WallpaperConfig.SelFile = selFile;
  }
  QString Missing(const char* name) const { return root.filePath(QString::fromLatin1(name)); }

  // The page as the main window makes it: created, then filled.
  TFrameWallpaperSource& Open() {
    page = std::make_unique<TFrameWallpaperSource>(config, fake.services);
    page->resize(454, 322);
    page->show();  // a hidden page makes no previews
    page->LoadFromConfig();
    return *page;
  }
  QStringList Shown(QListWidget* list) const {
    QStringList names;
    for (int i = 0; i < list->count(); ++i) names << list->item(i)->text();
    return names;
  }
  QString Current(QListWidget* list) const {
    return list->currentItem() ? list->currentItem()->text() : QString();
  }
  // What the 50 ms timer does, then the decoded preview arriving.
  void Preview() {
    if (page->Timer->isActive()) page->TimerTimer();
    page->decoder->WaitForIdle();
    QCoreApplication::sendPostedEvents();
  }
  void AnswerEveryBox(int answer) {
    fake.messages.answer = [answer](const FakeMessageBoxes::Call&) { return answer; };
  }
  // A mouse click on entry `row`, as the user makes it.
  void Click(QListWidget* list, int row, Qt::KeyboardModifiers modifiers = {}) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                      list->visualItemRect(list->item(row)).center());
  }
  // Whether "Remove Dir", "Remove Invalid" and "Remove All" are enabled, if all alike.
  std::optional<bool> RemoveButtons() const {
    const bool one = page->ui.Button_Delete->isEnabled();
    if (page->ui.Button_DeleteInvalid->isEnabled() != one ||
        page->ui.Button_DeleteAll->isEnabled() != one)
      return std::nullopt;
    return one;
  }
  QStringList Texts() const {
    QStringList t;
    for (const auto& c : fake.messages.calls) t << c.text;
    return t;
  }

  FakeServices fake;
  Config config;
  QTemporaryDir root;
  QString photos, others, empty;
  std::unique_ptr<TFrameWallpaperSource> page;
};

TEST_F(SourcePageTest, ListsTheFoldersAndTheSelectedFoldersPicturesSortedWithoutRegardToCase) {
  Store({others, photos}, photos, QStringLiteral("b.jpg"));
  auto& p = Open();
  EXPECT_EQ(Shown(p.ui.List_DirList), (QStringList{others, photos}));
  EXPECT_EQ(Current(p.ui.List_DirList), photos);
  EXPECT_EQ(Shown(p.ui.List_ImageList), (QStringList{"A.jpg", "b.jpg", "c.JPG"}));
  EXPECT_EQ(Current(p.ui.List_ImageList), QStringLiteral("b.jpg"));
  // Nothing is selected until the timer fires.
  EXPECT_TRUE(config.DynamicConfig.SelectedImage.isEmpty());
  Preview();
  EXPECT_EQ(config.DynamicConfig.SelectedImage, photos + QStringLiteral("/b.jpg"));
  EXPECT_EQ(config.WallpaperConfig.SelPath, photos);
  EXPECT_EQ(config.WallpaperConfig.SelFile, QStringLiteral("b.jpg"));
  EXPECT_TRUE(fake.messages.calls.isEmpty());
}

TEST_F(SourcePageTest, AStoredFolderIsFoundWithoutRegardToCase) {
  const QString upper = MakeFolder("UPPER", {"x.jpg"});
  Store({photos, upper}, root.filePath(QStringLiteral("upper")), QStringLiteral("x.jpg"));
  auto& p = Open();
  EXPECT_EQ(Current(p.ui.List_DirList), upper);
}

TEST_F(SourcePageTest, AStoredFolderNoLongerListedSelectsNothing) {
  Store({photos}, others, QStringLiteral("z.jpg"));
  auto& p = Open();
  Preview();
  EXPECT_EQ(p.ui.List_DirList->currentRow(), -1);
  EXPECT_EQ(p.ui.List_ImageList->count(), 0);
  EXPECT_TRUE(config.DynamicConfig.SelectedImage.isEmpty());
  EXPECT_FALSE(p.ui.Button_Delete->isEnabled());
  EXPECT_FALSE(p.ui.Button_DeleteInvalid->isEnabled());
  EXPECT_FALSE(p.ui.Button_DeleteAll->isEnabled());
}

TEST_F(SourcePageTest, AStoredPictureThatIsGoneGivesWayToTheFirstWhichBecomesTheSelection) {
  Store({photos}, photos, QStringLiteral("gone.jpg"));
  auto& p = Open();
  Preview();
  EXPECT_EQ(Current(p.ui.List_ImageList), QStringLiteral("A.jpg"));
  EXPECT_EQ(config.WallpaperConfig.SelFile, QStringLiteral("A.jpg"));
  EXPECT_EQ(config.DynamicConfig.SelectedImage, photos + QStringLiteral("/A.jpg"));
}

TEST_F(SourcePageTest, WithoutAStoredSelectionTheFirstFolderIsShown) {
  config.WallpaperConfig.Paths = {others, photos};
  auto& p = Open();
  Preview();
  EXPECT_EQ(Current(p.ui.List_DirList), others);
  EXPECT_EQ(config.DynamicConfig.SelectedImage, others + QStringLiteral("/z.jpg"));
  EXPECT_TRUE(p.ui.Button_DeleteAll->isEnabled());
}

TEST_F(SourcePageTest, ClickingAPictureSelectsAndPreviewsIt) {
  config.WallpaperConfig.Paths = {photos};
  auto& p = Open();
  Preview();
  p.show();
  QListWidget* images = p.ui.List_ImageList;
  QTest::mouseClick(images->viewport(), Qt::LeftButton, {},
                    images->visualItemRect(images->item(2)).center());
  EXPECT_TRUE(p.Timer->isActive());
  Preview();
  EXPECT_EQ(config.WallpaperConfig.SelFile, QStringLiteral("c.JPG"));
  EXPECT_EQ(config.DynamicConfig.SelectedImage, photos + QStringLiteral("/c.JPG"));
  // A 64 x 48 picture is enlarged until it touches two of the panel's sides, and centred.
  const QSize panel = p.ui.Panel_Preview->size();
  const QRect shown = p.ui.Image_Preview->geometry();
  EXPECT_GT(shown.width(), 64);
  EXPECT_TRUE(shown.width() == panel.width() - 6 || shown.height() == panel.height() - 8);
  EXPECT_LE(shown.width(), panel.width() - 6);
  EXPECT_LE(shown.height(), panel.height() - 8);
  EXPECT_EQ(shown.left(), (panel.width() - shown.width()) / 2);
  EXPECT_EQ(shown.top(), (panel.height() - shown.height()) / 2);
  EXPECT_FALSE(p.ui.Image_Preview->pixmap().isNull());
}

TEST_F(SourcePageTest, AFolderWithoutPicturesShowsAnEmptyListAndNoError) {
  config.WallpaperConfig.Paths = {empty};
  auto& p = Open();
  Preview();
  EXPECT_EQ(p.ui.List_ImageList->count(), 0);
  EXPECT_TRUE(config.DynamicConfig.SelectedImage.isEmpty());
  EXPECT_TRUE(fake.messages.calls.isEmpty());
}

TEST_F(SourcePageTest, APictureThatCannotBeReadIsReportedAndStaysSelected) {
  const QString bad = MakeFolder("bad", {"broken.txt"});
  QFile::rename(bad + QStringLiteral("/broken.txt"), bad + QStringLiteral("/broken.jpg"));
  config.WallpaperConfig.Paths = {bad};
  Open();
  Preview();
  ASSERT_EQ(fake.messages.calls.size(), 1);
  EXPECT_EQ(fake.messages.calls[0].flags & 0xF0, unsigned(MB_ICONERROR));
  EXPECT_EQ(config.DynamicConfig.SelectedImage, bad + QStringLiteral("/broken.jpg"));
  EXPECT_EQ(config.WallpaperConfig.SelFile, QStringLiteral("broken.jpg"));
}

TEST_F(SourcePageTest, SelectingAVanishedFolderRemovesOnlyThatOne) {
  const QString gone1 = Missing("gone1"), gone2 = Missing("gone2");
  config.WallpaperConfig.Paths = {photos, gone1, gone2, others};
  auto& p = Open();
  p.ui.List_DirList->setCurrentRow(1);  // as a click or the arrow key does
  // The next one, selected by the page and not by the user, is told about and kept.
  ASSERT_EQ(fake.messages.calls.size(), 2);
  EXPECT_EQ(fake.messages.calls[0].text, gone1 + kVanished);
  EXPECT_EQ(fake.messages.calls[1].text, gone2 + kMissingKept);
  for (const auto& call : fake.messages.calls) {
    EXPECT_EQ(call.caption, kDirectoryCaption);
    EXPECT_EQ(call.flags, unsigned(MB_OK | MB_ICONINFORMATION));
  }
  EXPECT_EQ(config.WallpaperConfig.Paths, (QStringList{photos, gone2, others}));
  EXPECT_EQ(Shown(p.ui.List_DirList), (QStringList{photos, gone2, others}));
  EXPECT_EQ(Current(p.ui.List_DirList), gone2);
  EXPECT_EQ(p.ui.List_ImageList->count(), 0);
  EXPECT_EQ(RemoveButtons(), true);
}

// The page fills itself at start-up, perhaps before a disk or share is mounted: the check
// is the program's, so the missing folder is told about once and nothing leaves the list.
struct StartUpCase {
  const char* name;
  QStringList (*paths)(const QStringList& f);  // f: photos, gone1, gone2, others
  int stored;                                  // the stored folder's index in f, or -1
  int selected;                                // the row selected after start-up
};
void PrintTo(const StartUpCase& c, std::ostream* os) { *os << c.name; }

class MissingAtStartUp : public SourcePageTest,
                         public ::testing::WithParamInterface<StartUpCase> {};

TEST_P(MissingAtStartUp, IsReportedOnceAndKept) {
  const StartUpCase& c = GetParam();
  const QStringList f{photos, Missing("gone1"), Missing("gone2"), others};
  const QStringList paths = c.paths(f);
  if (c.stored >= 0)
    Store(paths, f[c.stored], QStringLiteral("b.jpg"));
  else
    Store(paths);
  auto& p = Open();
  Preview();
  const QString missing = paths[c.selected];
  ASSERT_EQ(Texts(), QStringList{missing + kMissingKept});
  EXPECT_EQ(fake.messages.calls[0].caption, kDirectoryCaption);
  EXPECT_EQ(config.WallpaperConfig.Paths, paths);
  EXPECT_EQ(Shown(p.ui.List_DirList), paths);
  EXPECT_EQ(p.ui.List_DirList->currentRow(), c.selected);
  EXPECT_EQ(p.ui.List_ImageList->count(), 0);
  EXPECT_TRUE(config.DynamicConfig.SelectedImage.isEmpty());
  if (c.stored >= 0) {
    EXPECT_EQ(config.WallpaperConfig.SelPath, f[c.stored]);
    EXPECT_EQ(config.WallpaperConfig.SelFile, QStringLiteral("b.jpg"));
  }
  EXPECT_EQ(RemoveButtons(), true);  // so that the user can remove it
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MissingAtStartUp,
    ::testing::Values(
        StartUpCase{"TheStoredFolderWithAnotherMissingAfterIt",
                    [](const QStringList& f) { return QStringList{f[0], f[1], f[2], f[3]}; }, 1,
                    1},
        StartUpCase{"TheFirstFolderWithoutAStoredSelection",
                    [](const QStringList& f) { return QStringList{f[1], f[0]}; }, -1, 0},
        StartUpCase{"TheLastFolder",
                    [](const QStringList& f) { return QStringList{f[0], f[3], f[2]}; }, 2, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SourcePageTest, AKeptMissingFolderIsToldOnceAndGoesWhenTheUserClicksIt) {
  const QString gone = Missing("gone");
  Store({photos, gone}, gone, QStringLiteral("x.jpg"));
  auto& p = Open();
  ASSERT_EQ(Texts(), QStringList{gone + kMissingKept});
  // The user looks at another folder and removes it; the page falls back on the missing one.
  Click(p.ui.List_DirList, 0);
  EXPECT_EQ(Current(p.ui.List_DirList), photos);
  AnswerEveryBox(IDYES);
  p.Button_DeleteClick();
  EXPECT_EQ(Current(p.ui.List_DirList), gone);
  EXPECT_EQ(config.WallpaperConfig.Paths, QStringList{gone});
  EXPECT_EQ(fake.messages.calls.size(), 2);  // the question only: it was told already
  // A click on it, already selected, is the user's choice.
  Click(p.ui.List_DirList, 0);
  ASSERT_EQ(fake.messages.calls.size(), 3);
  EXPECT_EQ(fake.messages.calls[2].text, gone + kVanished);
  EXPECT_TRUE(config.WallpaperConfig.Paths.isEmpty());
  EXPECT_EQ(RemoveButtons(), false);
}

TEST_F(SourcePageTest, AKeptFolderThatIsBackShowsItsPicturesWhenClicked) {
  const QString later = Missing("usb");
  Store({photos, later}, later, QStringLiteral("y.jpg"));
  auto& p = Open();
  ASSERT_EQ(fake.messages.calls.size(), 1);
  MakeFolder("usb", {"x.jpg", "y.jpg"});  // the disk is mounted
  Click(p.ui.List_DirList, 1);
  Preview();
  EXPECT_EQ(config.WallpaperConfig.Paths, (QStringList{photos, later}));
  EXPECT_EQ(Shown(p.ui.List_ImageList), (QStringList{"x.jpg", "y.jpg"}));
  EXPECT_EQ(config.DynamicConfig.SelectedImage, later + QStringLiteral("/x.jpg"));
  EXPECT_EQ(fake.messages.calls.size(), 1);
}

// The program as it starts: the settings read from the store, the pages built and filled,
// then "Hide" saves.
TEST_F(SourcePageTest, AFolderMissingAtStartUpStaysInTheSavedList) {
  MemoryRegistry registry;
  FakeMainStore store(fake);
  store.Open(registry);
  fake.config = Config(fake.desktop.screen);
  const QStringList paths{photos, Missing("gone1"), Missing("gone2"), others};
  fake.config.WallpaperConfig.Paths = paths;
  fake.config.WallpaperConfig.SelPath = paths[1];
  fake.config.WallpaperConfig.SelFile = QStringLiteral("x.jpg");
  ASSERT_TRUE(store.Save());
  fake.config = Config(fake.desktop.screen);
  {
    TFormMain form(fake.config, fake.services, store.get());
    form.TimerIDLE->stop();
    form.TimerEXIT->stop();
    form.Timer_MinimizeTimer();
    QStringList told;
    for (const auto& call : fake.messages.calls)
      if (call.caption == kDirectoryCaption) told << call.text;
    EXPECT_EQ(told, QStringList{paths[1] + kMissingKept});
    form.ToolButton_HideClick();
  }
  fake.config = Config(fake.desktop.screen);
  store.Load();
  EXPECT_EQ(fake.config.WallpaperConfig.Paths, paths);
  EXPECT_EQ(fake.config.WallpaperConfig.SelPath, paths[1]);
  EXPECT_EQ(fake.config.WallpaperConfig.SelFile, QStringLiteral("x.jpg"));
  fake.config = Config(QSize(1024, 768));
}

TEST_F(SourcePageTest, TheRemoveButtonsFollowTheSelectionWhenThePageOpenedWithNone) {
  Store({photos, others}, Missing("nowhere"), QStringLiteral("x.jpg"));
  auto& p = Open();
  ASSERT_EQ(p.ui.List_DirList->currentRow(), -1);
  ASSERT_EQ(RemoveButtons(), false);
  Click(p.ui.List_DirList, 1);
  EXPECT_EQ(Current(p.ui.List_DirList), others);
  EXPECT_EQ(RemoveButtons(), true);
  Click(p.ui.List_DirList, 1, Qt::ControlModifier);  // takes the selection away
  EXPECT_FALSE(p.ui.List_DirList->item(1)->isSelected());
  EXPECT_EQ(RemoveButtons(), false);
  Click(p.ui.List_DirList, 1);
  EXPECT_EQ(RemoveButtons(), true);
}

TEST_F(SourcePageTest, ClickingTheSelectedFolderAgainShowsPicturesAddedSinceAndKeepsThePicture) {
  Store({others, photos}, photos, QStringLiteral("b.jpg"));
  auto& p = Open();
  Preview();
  MakeFolder("photos", {"d.jpg"});
  Click(p.ui.List_DirList, 1);
  EXPECT_EQ(Shown(p.ui.List_ImageList), (QStringList{"A.jpg", "b.jpg", "c.JPG", "d.jpg"}));
  EXPECT_EQ(Current(p.ui.List_ImageList), QStringLiteral("b.jpg"));
  Preview();
  EXPECT_EQ(config.DynamicConfig.SelectedImage, photos + QStringLiteral("/b.jpg"));
  // A click on another folder still starts that folder at its first picture.
  Click(p.ui.List_DirList, 0);
  Click(p.ui.List_DirList, 1);
  EXPECT_EQ(Current(p.ui.List_ImageList), QStringLiteral("A.jpg"));
}

TEST_F(SourcePageTest, ClickingTheSelectedPictureAgainRetriesIt) {
  const QString bad = MakeFolder("bad", {"broken.txt"});
  const QString broken = bad + QStringLiteral("/broken.jpg");
  QFile::rename(bad + QStringLiteral("/broken.txt"), broken);
  config.WallpaperConfig.Paths = {bad};
  auto& p = Open();
  Preview();
  ASSERT_EQ(fake.messages.calls.size(), 1);
  Click(p.ui.List_ImageList, 0);
  EXPECT_TRUE(p.Timer->isActive());
  Preview();
  EXPECT_EQ(fake.messages.calls.size(), 2);  // read again, and still broken
  QFile::remove(broken);
  QImage picture(64, 48, QImage::Format_RGB32);
  picture.fill(Qt::darkCyan);
  ASSERT_TRUE(WriteTestJpeg(broken, picture));
  Click(p.ui.List_ImageList, 0);
  Preview();
  EXPECT_EQ(fake.messages.calls.size(), 2);
  EXPECT_FALSE(p.ui.Image_Preview->pixmap().isNull());
}

TEST_F(SourcePageTest, AFolderWithoutPicturesClearsThePreview) {
  config.WallpaperConfig.Paths = {photos, empty, others};
  auto& p = Open();
  Preview();
  ASSERT_FALSE(p.ui.Image_Preview->pixmap().isNull());
  Click(p.ui.List_DirList, 1);
  Preview();
  EXPECT_TRUE(p.ui.Image_Preview->pixmap().isNull());
  // Nor does a picture still being made for the folder before arrive afterwards.
  Click(p.ui.List_DirList, 2);
  p.TimerTimer();
  Click(p.ui.List_DirList, 1);
  Preview();
  EXPECT_TRUE(p.ui.Image_Preview->pixmap().isNull());
  EXPECT_TRUE(fake.messages.calls.isEmpty());
}

TEST_F(SourcePageTest, AVanishedLastFolderGivesWayToThePreviousOne) {
  config.WallpaperConfig.Paths = {photos, Missing("gone")};
  auto& p = Open();
  p.ui.List_DirList->setCurrentRow(1);
  EXPECT_EQ(config.WallpaperConfig.Paths, QStringList{photos});
  EXPECT_EQ(Current(p.ui.List_DirList), photos);
}

struct RemovalCase {
  const char* name;
  void (TFrameWallpaperSource::*command)();
  int selectedRow;
  int answer;
  const char* question;                              // %1 is the selected folder
  QStringList (*remaining)(const QStringList& all);  // photos, gone, others
  int currentAfter;
};

QStringList Same(const QStringList& all) { return all; }
QStringList WithoutSecond(const QStringList& all) { return {all[0], all[2]}; }
QStringList WithoutLast(const QStringList& all) { return {all[0], all[1]}; }
QStringList None(const QStringList&) { return {}; }

class RemovalTest : public SourcePageTest, public ::testing::WithParamInterface<RemovalCase> {};

TEST_P(RemovalTest, AsksThenRemovesOnlyOnYes) {
  const RemovalCase c = GetParam();
  const QStringList all{photos, Missing("gone"), others};
  config.WallpaperConfig.Paths = all;
  auto& p = Open();
  // Select without triggering the vanished-folder report.
  {
    const QSignalBlocker block(p.ui.List_DirList);
    p.ui.List_DirList->setCurrentRow(c.selectedRow);
  }
  fake.messages.calls.clear();
  AnswerEveryBox(c.answer);
  (p.*c.command)();
  ASSERT_GE(fake.messages.calls.size(), 1);
  EXPECT_EQ(fake.messages.calls[0].text, QString::fromLatin1(c.question).arg(all[c.selectedRow]));
  EXPECT_EQ(fake.messages.calls[0].caption, QStringLiteral("Please Confirm"));
  EXPECT_EQ(fake.messages.calls[0].flags, unsigned(MB_YESNO | MB_ICONQUESTION));
  const QStringList remaining = c.remaining(all);
  EXPECT_EQ(config.WallpaperConfig.Paths, remaining);
  EXPECT_EQ(Shown(p.ui.List_DirList), remaining);
  EXPECT_EQ(p.ui.List_DirList->currentRow(), c.currentAfter);
  EXPECT_EQ(p.ui.Button_DeleteAll->isEnabled(), c.currentAfter >= 0);
}

const char* kRemoveDir = "Do you want to remove the following directory from list?\n\n%1";
const char* kRemoveInvalid =
    "This will check every directory from the list and remove any non-existing directories. "
    "Do you want to continue?";
const char* kRemoveAll = "Do you want to remove ALL directories from the list?";

INSTANTIATE_TEST_SUITE_P(
    Commands, RemovalTest,
    ::testing::Values(
        RemovalCase{"RemoveDirYes", &TFrameWallpaperSource::Button_DeleteClick, 1, IDYES,
                    kRemoveDir, WithoutSecond, 1},
        RemovalCase{"RemoveDirNo", &TFrameWallpaperSource::Button_DeleteClick, 1, IDNO, kRemoveDir,
                    Same, 1},
        // The previous folder, now selected, has vanished: the user did not choose it, so it
        // is reported and kept.
        RemovalCase{"RemoveLastDirSelectsThePrevious", &TFrameWallpaperSource::Button_DeleteClick,
                    2, IDYES, kRemoveDir, WithoutLast, 1},
        RemovalCase{"RemoveInvalidYes", &TFrameWallpaperSource::Button_DeleteInvalidClick, 2, IDYES,
                    kRemoveInvalid, WithoutSecond, 0},
        RemovalCase{"RemoveInvalidNo", &TFrameWallpaperSource::Button_DeleteInvalidClick, 2, IDNO,
                    kRemoveInvalid, Same, 2},
        RemovalCase{"RemoveAllYes", &TFrameWallpaperSource::Button_DeleteAllClick, 0, IDYES,
                    kRemoveAll, None, -1},
        RemovalCase{"RemoveAllNo", &TFrameWallpaperSource::Button_DeleteAllClick, 0, IDNO,
                    kRemoveAll, Same, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SourcePageTest, RemovingEveryInvalidFolderWhenAllAreMissingLeavesNothingEnabled) {
  // A stored folder not in the list, so loading selects none.
  Store({Missing("a"), Missing("b")}, Missing("nowhere"), QStringLiteral("x.jpg"));
  auto& p = Open();
  {
    const QSignalBlocker block(p.ui.List_DirList);
    p.ui.List_DirList->setCurrentRow(0);
  }
  p.Button_DeleteInvalidClick();
  EXPECT_TRUE(config.WallpaperConfig.Paths.isEmpty());
  EXPECT_EQ(p.ui.List_DirList->count(), 0);
  EXPECT_FALSE(p.ui.Button_Delete->isEnabled());
  EXPECT_FALSE(p.ui.Button_DeleteInvalid->isEnabled());
  EXPECT_FALSE(p.ui.Button_DeleteAll->isEnabled());
  EXPECT_EQ(fake.messages.calls.size(), 1);  // the question; no vanished-folder reports
}

TEST_F(SourcePageTest, RemovingKeepsTheStoredSelectionUntilAnotherFolderIsShown) {
  config.WallpaperConfig.Paths = {photos};
  auto& p = Open();
  Preview();
  ASSERT_FALSE(config.DynamicConfig.SelectedImage.isEmpty());
  p.Button_DeleteAllClick();
  EXPECT_EQ(config.DynamicConfig.SelectedImage, photos + QStringLiteral("/A.jpg"));
  EXPECT_EQ(config.WallpaperConfig.SelFile, QStringLiteral("A.jpg"));
  EXPECT_TRUE(p.ui.Image_Preview->pixmap().isNull());
}

TEST_F(SourcePageTest, AddingAFolderAlreadyListedAddsItAgainAndShowsIt) {
  config.WallpaperConfig.Paths = {photos, others};
  auto& p = Open();
  QTimer::singleShot(0, [this] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Select a directory"));
    dialog->setDirectory(root.path());
    dialog->selectFile(photos);
    static_cast<QDialog*>(dialog)->accept();
  });
  p.Button_AddClick();
  EXPECT_EQ(config.WallpaperConfig.Paths, (QStringList{photos, others, photos}));
  EXPECT_EQ(p.ui.List_DirList->currentRow(), 2);
  EXPECT_EQ(Shown(p.ui.List_ImageList), (QStringList{"A.jpg", "b.jpg", "c.JPG"}));
}

TEST_F(SourcePageTest, OnlyTheLatestOfQuickRequestsIsPreviewed) {
  PreviewDecoder decoder;
  QStringList delivered;
  QObject::connect(&decoder, &PreviewDecoder::Ready,
                   [&](const QString& path, const QImage&) { delivered << path; });
  for (const char* name : {"A.jpg", "b.jpg", "c.JPG"})
    decoder.Request(photos + QLatin1Char('/') + QString::fromLatin1(name), QSize(120, 90));
  decoder.WaitForIdle();
  QCoreApplication::sendPostedEvents();
  EXPECT_EQ(delivered, QStringList{photos + QStringLiteral("/c.JPG")});
}

TEST_F(SourcePageTest, APreviewFitsTheBoxAtThePicturesProportions) {
  const QString big = root.filePath(QStringLiteral("big.jpg"));
  QImage picture(1600, 1000, QImage::Format_RGB32);
  picture.fill(Qt::red);
  ASSERT_TRUE(WriteTestJpeg(big, picture, JpegKind::Progressive420));
  const PreviewDecoder::Result r = PreviewDecoder::Make(big, QSize(266, 210));
  EXPECT_TRUE(r.error.isEmpty());
  EXPECT_EQ(r.picture.size(), QSize(266, 166));
  const QColor middle = r.picture.pixelColor(133, 83);
  EXPECT_GT(middle.red(), 240);
  EXPECT_LT(middle.green(), 16);
}

TEST_F(SourcePageTest, CancellingTheFolderDialogAddsNothing) {
  config.WallpaperConfig.Paths = {photos};
  auto& p = Open();
  QTimer::singleShot(0, [] {
    if (auto* dialog = QApplication::activeModalWidget()) dialog->close();
  });
  p.Button_AddClick();
  EXPECT_EQ(config.WallpaperConfig.Paths, QStringList{photos});
}
}  // namespace
