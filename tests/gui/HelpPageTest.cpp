#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTextBrowser>

#include "pages/TFrameHelpContents.h"
#include "support/Fakes.h"

namespace {
class HelpPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    Write("help.html",
          "<h1>Manual</h1><p><a href=\"styles.html\">Styles</a> "
          "<a href=\"https://example.org/\">web</a></p>");
    Write("styles.html", "<h1>Calendar styles</h1>");
  }
  void Write(const QString& name, const QByteArray& text) {
    QFile f(dir.filePath(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
  }
  QString SourceFile(const TFrameHelpContents& page) {
    return page.browser->source().toLocalFile();
  }

  FakeServices fake;
  QTemporaryDir dir;
};

TEST_F(HelpPageTest, ShowsTheManualAndFollowsItsLinksInside) {
  TFrameHelpContents page(fake.config, fake.services, nullptr, dir.filePath("help.html"));
  EXPECT_EQ(SourceFile(page), dir.filePath("help.html"));
  EXPECT_TRUE(page.browser->toPlainText().contains("Manual"));

  emit page.browser->anchorClicked(QUrl(QStringLiteral("styles.html")));
  EXPECT_EQ(SourceFile(page), dir.filePath("styles.html"));
  EXPECT_TRUE(page.browser->toPlainText().contains("Calendar styles"));
  EXPECT_TRUE(fake.desktop.opened.isEmpty());

  // The page is never pointed back at the manual by being shown again.
  page.hide();
  page.show();
  EXPECT_EQ(SourceFile(page), dir.filePath("styles.html"));
}

TEST_F(HelpPageTest, WebLinksGoToTheBrowserAndTheManualStays) {
  TFrameHelpContents page(fake.config, fake.services, nullptr, dir.filePath("help.html"));
  emit page.browser->anchorClicked(QUrl(QStringLiteral("https://example.org/")));
  EXPECT_EQ(fake.desktop.opened, QStringList{"https://example.org/"});
  EXPECT_EQ(SourceFile(page), dir.filePath("help.html"));
}

TEST_F(HelpPageTest, AMissingManualIsSaidPlainly) {
  const QString missing = dir.filePath("nowhere/help.html");
  TFrameHelpContents page(fake.config, fake.services, nullptr, missing);
  EXPECT_TRUE(page.browser->toPlainText().contains(missing));
}

}  // namespace
