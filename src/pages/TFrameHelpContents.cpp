#include "pages/TFrameHelpContents.h"

#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "platform/Paths.h"
#include "platform/Services.h"

namespace {
QString MissingManualPage(const QString& path) {
  return QStringLiteral(
             "<h2>The manual could not be found</h2>"
             "<p>Quillatorne looks for its manual in <code>%1</code>, which does not exist.</p>"
             "<p>Reinstalling the program puts it back.</p>")
      .arg(path.toHtmlEscaped());
}
}  // namespace

QString TFrameHelpContents::ManualPath() {
  return ProgramDirectory() + QStringLiteral("help.html");
}

TFrameHelpContents::TFrameHelpContents(Config& config, Services& services, QWidget* parent,
                                       const QString& manualPath)
    : SettingsPage(config, services, parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  browser = new QTextBrowser(this);
  browser->setAccessibleName(QStringLiteral("Quillatorne manual"));
  // Links inside the manual are followed in the view; web and mail addresses go to the
  // user's own programs, so the manual never turns into a blank page.
  browser->setOpenLinks(false);
  connect(browser, &QTextBrowser::anchorClicked, this, [this](const QUrl& link) {
    const QUrl target = browser->source().resolved(link);
    if (target.isLocalFile() || target.scheme().isEmpty()) {
      browser->setSource(target);
    } else {
      this->services.desktop->ShellOpen(target.toString());
    }
  });
  layout->addWidget(browser);

  const QString path = manualPath.isEmpty() ? ManualPath() : manualPath;
  if (QFileInfo::exists(path)) {
    browser->setSource(QUrl::fromLocalFile(path));
  } else {
    browser->setHtml(MissingManualPage(path));
  }
}
