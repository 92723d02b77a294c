#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "settings/Config.h"
#include "wallpaper/ImageCatalogue.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

namespace {
void Touch(const QString& path) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << qPrintable(path);
}

class ImageCatalogue : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
  QString Folder(const QString& name, const QStringList& files) {
    const QString path = dir_.path() + "/" + name;
    QDir().mkpath(path);
    for (const QString& f : files) Touch(path + "/" + f);
    return path;
  }
  QTemporaryDir dir_;
};
}  // namespace

TEST_F(ImageCatalogue, ScanFindsOnlyJpgFilesDirectlyInsideAnyCaseKeepingTheirNames) {
  const QString dir = Folder("src", {"PHOTO.JPG", "b.jpg", "Mixed.JpG", "archive.tar.jpg", ".jpg",
                                     "a.jpeg", "a.jpg.bak", "a.png", "jpg", "noext"});
  Folder("src/sub", {"inner.jpg"});
  QDir().mkpath(dir + "/folder.jpg");  // a folder is not a picture
  // Names keep their case: on this file system "photo.jpg" would not open.
  EXPECT_THAT(ScanImageDirectory(dir, {".jpg"}),
              UnorderedElementsAre("PHOTO.JPG", "b.jpg", "Mixed.JpG", "archive.tar.jpg", ".jpg"));
  // The extension list itself is compared without regard to case too.
  EXPECT_THAT(ScanImageDirectory(dir, {".PNG"}), ElementsAre("a.png"));
}

TEST_F(ImageCatalogue, ScanOfWhatCannotBeListedIsEmpty) {
  EXPECT_THAT(ScanImageDirectory(dir_.path() + "/missing", {".jpg"}), IsEmpty());
  EXPECT_THAT(ScanImageDirectory(QString(), {".jpg"}), IsEmpty());
  Touch(dir_.path() + "/plain.jpg");
  EXPECT_THAT(ScanImageDirectory(dir_.path() + "/plain.jpg", {".jpg"}), IsEmpty());
}

TEST_F(ImageCatalogue, ScanKeepsTheFileSystemsOrder) {
  QStringList names;
  for (int i = 0; i < 40; ++i) names << QStringLiteral("p%1.jpg").arg((i * 17) % 40);
  const QString dir = Folder("many", names);
  const QStringList listed = QDir(dir).entryList(QDir::Files, QDir::Unsorted);
  EXPECT_EQ(ScanImageDirectory(dir, {".jpg"}), listed);
}

struct ExtensionCase {
  const char* name;
  const char* extension;
};
class FileExtensionOf : public ::testing::TestWithParam<ExtensionCase> {};

TEST_P(FileExtensionOf, IsFromTheLastDotOfTheLastComponent) {
  EXPECT_EQ(FileExtension(QString::fromUtf8(GetParam().name)),
            QString::fromUtf8(GetParam().extension));
}

INSTANTIATE_TEST_SUITE_P(Names, FileExtensionOf,
                         ::testing::Values(ExtensionCase{"archive.tar.jpg", ".jpg"},
                                           ExtensionCase{".jpg", ".jpg"},
                                           ExtensionCase{"PHOTO.JPG", ".JPG"},
                                           ExtensionCase{"noext", ""},
                                           ExtensionCase{"/some.dir/noext", ""},
                                           ExtensionCase{"/some.dir/pic.jpeg", ".jpeg"},
                                           ExtensionCase{"trailing.", "."}, ExtensionCase{"", ""}));

TEST_F(ImageCatalogue, CatalogueFollowsTheListDoublingRepeatsAndSkippingMissingFolders) {
  const QString a = Folder("a", {"one.jpg", "skip.png"});
  const QString b = Folder("b", {"Two.JPG"});
  EXPECT_THAT(BuildImageCatalogue({a, dir_.path() + "/gone", b, a, ""}),
              ElementsAre(a + "/one.jpg", b + "/Two.JPG", a + "/one.jpg"));
}

TEST_F(ImageCatalogue, NoFoldersGiveAnEmptyCatalogue) {
  EXPECT_THAT(BuildImageCatalogue({}), IsEmpty());
}

TEST_F(ImageCatalogue, NamesThatAreNotTextAreSkippedRatherThanOfferedAndFailed) {
  const QString dir = Folder("odd", {"fine.jpg", "café.jpg"});
  // A name in Latin-1 on a UTF-8 system: listed, it would decode to a name that opens nothing.
  const QByteArray latin1 = QFile::encodeName(dir) + "/caf\xe9-latin1.jpg";
  const int fd = ::open(latin1.constData(), O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  ::close(fd);
  EXPECT_THAT(ScanImageDirectory(dir, {".jpg"}), UnorderedElementsAre("fine.jpg", "café.jpg"));
  EXPECT_THAT(BuildImageCatalogue({dir}),
              UnorderedElementsAre(dir + "/fine.jpg", dir + "/café.jpg"));
}
