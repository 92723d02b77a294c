#include "pages/TFrameWallpaperSource.h"

#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMouseEvent>
#include <QStandardPaths>
#include <QStyle>
#include <utility>

#include "platform/Services.h"
#include "wallpaper/ImageCatalogue.h"

namespace {
const char* kVanished =
    "\n\nThis directory does not exists. Quillatorne will now remove it from the list.";
const char* kMissingKept =
    "\n\nThis directory cannot be found just now; perhaps its disk or network share is not "
    "mounted yet. It stays in the list: selecting it while it is still missing, or \"Remove "
    "Invalid\", removes it.";
const char* kDirectoryCaption = "Quillatorne Directory Manager";

bool DirectoryExists(const QString& path) { return !path.isEmpty() && QFileInfo(path).isDir(); }

QString JoinPath(const QString& directory, const QString& name) {
  if (directory.endsWith(QLatin1Char('/')) || directory.endsWith(QDir::separator()))
    return directory + name;
  return directory + QDir::separator() + name;
}

// Selects the entry equal to `text` without regard to case; false when there is none.
bool SelectText(QListWidget* list, const QString& text) {
  for (int i = 0; i < list->count(); ++i) {
    if (list->item(i)->text().compare(text, Qt::CaseInsensitive) == 0) {
      list->setCurrentRow(i);
      return true;
    }
  }
  return false;
}
}  // namespace

TFrameWallpaperSource::TFrameWallpaperSource(Config& config, Services& services, QWidget* parent)
    : SettingsPage(config, services, parent) {
  ui.setupUi(this);
  QStyle* s = style();
  ui.Button_Add->setIcon(s->standardIcon(QStyle::SP_FileDialogNewFolder));
  ui.Button_Delete->setIcon(s->standardIcon(QStyle::SP_DialogDiscardButton));
  ui.Button_DeleteInvalid->setIcon(s->standardIcon(QStyle::SP_MessageBoxWarning));
  ui.Button_DeleteAll->setIcon(s->standardIcon(QStyle::SP_TrashIcon));
  ui.Button_Search->setIcon(s->standardIcon(QStyle::SP_FileDialogContentsView));
  QPalette black = ui.Panel_Preview->palette();
  black.setColor(QPalette::Window, Qt::black);
  ui.Panel_Preview->setPalette(black);
  ui.Panel_Preview->installEventFilter(this);

  Timer = new QTimer(this);
  Timer->setInterval(50);
  Timer->setSingleShot(true);
  decoder = new PreviewDecoder(this);

  connect(ui.Button_Add, &QToolButton::clicked, this, &TFrameWallpaperSource::Button_AddClick);
  connect(ui.Button_Delete, &QToolButton::clicked, this,
          &TFrameWallpaperSource::Button_DeleteClick);
  connect(ui.Button_DeleteInvalid, &QToolButton::clicked, this,
          &TFrameWallpaperSource::Button_DeleteInvalidClick);
  connect(ui.Button_DeleteAll, &QToolButton::clicked, this,
          &TFrameWallpaperSource::Button_DeleteAllClick);
  connect(ui.Button_Search, &QToolButton::clicked, this,
          &TFrameWallpaperSource::Button_SearchClick);
  // A click, or the keyboard moving the selection: both are the user choosing.
  connect(ui.List_DirList, &QListWidget::currentRowChanged, this, [this] {
    if (!loading()) List_DirListClick();
  });
  connect(ui.List_ImageList, &QListWidget::currentRowChanged, this, [this] {
    if (!loading()) List_ImageListClick();
  });
  // A click on the entry already selected changes no row but is a choice all the same.
  connect(ui.List_DirList, &QListWidget::itemClicked, this, [this] {
    if (std::exchange(pressOnCurrentDirectory_, false) && !loading()) List_DirListClick();
  });
  connect(ui.List_ImageList, &QListWidget::itemClicked, this, [this] {
    if (std::exchange(pressOnCurrentImage_, false) && !loading()) List_ImageListClick();
  });
  // A Ctrl+click can take the selection away without moving the current entry.
  connect(ui.List_DirList, &QListWidget::itemSelectionChanged, this,
          &TFrameWallpaperSource::UpdateButtons);
  ui.List_DirList->viewport()->installEventFilter(this);
  ui.List_ImageList->viewport()->installEventFilter(this);
  connect(Timer, &QTimer::timeout, this, &TFrameWallpaperSource::TimerTimer);
  connect(decoder, &PreviewDecoder::Ready, this, &TFrameWallpaperSource::ShowPreview);
  connect(decoder, &PreviewDecoder::Failed, this,
          [&boxes = *services.messages](const QString&, const QString& error) {
            ReportError(boxes, error);
          });
  UpdateButtons();
}

QString TFrameWallpaperSource::SelectedDirectory() const {
  const int row = SelectedRow();
  return row >= 0 ? ui.List_DirList->item(row)->text() : QString();
}

int TFrameWallpaperSource::SelectedRow() const {
  const QListWidgetItem* item = ui.List_DirList->currentItem();
  return item && item->isSelected() ? ui.List_DirList->currentRow() : -1;
}

void TFrameWallpaperSource::UpdateButtons() {
  const bool selected = SelectedRow() >= 0;
  ui.Button_Delete->setEnabled(selected);
  ui.Button_DeleteInvalid->setEnabled(selected);
  ui.Button_DeleteAll->setEnabled(selected);
}

void TFrameWallpaperSource::LoadFromConfig() {
  const auto& w = config.WallpaperConfig;
  {
    LoadGuard guard(this);
    ui.List_DirList->clear();
    ui.List_DirList->addItems(w.Paths);
    if (!w.SelPath.isEmpty() && !w.SelFile.isEmpty()) {
      if (!SelectText(ui.List_DirList, w.SelPath)) SelectRow(ui.List_DirList, -1);
      pendingImage_ = w.SelFile;
    } else {
      SelectRow(ui.List_DirList, 0);
    }
  }
  ShowSelectedDirectory(false);
  pendingImage_.clear();
  UpdateButtons();
}

void TFrameWallpaperSource::List_DirListClick() { ShowSelectedDirectory(true); }

void TFrameWallpaperSource::ShowSelectedDirectory(bool chosenByUser) {
  // The current entry: a click makes it current before it selects it.
  const int row = ui.List_DirList->currentRow();
  if (row < 0) {
    UpdateButtons();
    return;
  }
  const QString directory = ui.List_DirList->item(row)->text();
  if (!DirectoryExists(directory)) {
    {
      LoadGuard guard(this);
      ui.List_ImageList->clear();
    }
    listedDirectory_.clear();
    ClearPreview();
    if (!chosenByUser) {
      if (!reportedMissing_.contains(directory)) {
        reportedMissing_.append(directory);
        services.messages->Show(directory + QString::fromLatin1(kMissingKept),
                                QString::fromLatin1(kDirectoryCaption),
                                MB_OK | MB_ICONINFORMATION);
      }
      UpdateButtons();
      return;
    }
    services.messages->Show(directory + QString::fromLatin1(kVanished),
                            QString::fromLatin1(kDirectoryCaption), MB_OK | MB_ICONINFORMATION);
    RemoveDirectory(row);
    SelectNeighbour(ui.List_DirList, row);
    ShowSelectedDirectory(false);  // the user chose only the one removed
    return;
  }
  reportedMissing_.removeAll(directory);  // back: should it go again, say so again
  // The same directory listed again (a rescan) keeps the image the user was looking at.
  QString wanted = pendingImage_;
  if (wanted.isEmpty() && directory == listedDirectory_ && ui.List_ImageList->currentItem())
    wanted = ui.List_ImageList->currentItem()->text();
  config.DynamicConfig.SelectedImage.clear();
  QStringList names = ScanImageDirectory(directory, {QStringLiteral(".jpg")});
  names.sort(Qt::CaseInsensitive);
  {
    LoadGuard guard(this);
    ui.List_ImageList->clear();
    ui.List_ImageList->addItems(names);
    if (!names.isEmpty() && (wanted.isEmpty() || !SelectText(ui.List_ImageList, wanted)))
      ui.List_ImageList->setCurrentRow(0);
  }
  listedDirectory_ = directory;
  if (names.isEmpty()) ClearPreview();  // not the picture of the directory shown before
  UpdateButtons();
  List_ImageListClick();
}

void TFrameWallpaperSource::ClearPreview() {
  previewPath_.clear();
  requestedPath_.clear();
  decoder->Cancel();
  ui.Image_Preview->clear();
}

void TFrameWallpaperSource::List_ImageListClick() { Timer->start(); }

void TFrameWallpaperSource::TimerTimer() {
  Timer->stop();
  const QListWidgetItem* image = ui.List_ImageList->currentItem();
  const QString directory = SelectedDirectory();
  if (!image || directory.isEmpty()) return;
  auto& w = config.WallpaperConfig;
  w.SelPath = directory;
  w.SelFile = image->text();
  config.DynamicConfig.SelectedImage = JoinPath(directory, image->text());
  previewPath_ = config.DynamicConfig.SelectedImage;
  requestedPath_.clear();  // a second click on the same image reads it again
  RequestPreview();
}

void TFrameWallpaperSource::RequestPreview() {
  // A page not on screen waits: showing it asks again, so a hidden window costs nothing.
  if (previewPath_.isEmpty() || !isVisible()) return;
  const QSize panel = ui.Panel_Preview->size();
  const QSize box(panel.width() - 6, panel.height() - 8);
  if (box.isEmpty()) return;
  if (previewPath_ == requestedPath_ && box == requestedBox_) return;
  requestedPath_ = previewPath_;
  requestedBox_ = box;
  decoder->Request(previewPath_, box);
}

void TFrameWallpaperSource::ShowPreview(const QString& path, const QImage& picture) {
  if (path != previewPath_ || picture.isNull()) return;
  const QSize panel = ui.Panel_Preview->size();
  ui.Image_Preview->setPixmap(QPixmap::fromImage(picture));
  ui.Image_Preview->setGeometry((panel.width() - picture.width()) / 2,
                                (panel.height() - picture.height()) / 2, picture.width(),
                                picture.height());
}

bool TFrameWallpaperSource::eventFilter(QObject* watched, QEvent* event) {
  // Seen before the list acts on the press, so "already current" means before this click.
  if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
    const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
    for (auto [list, flag] : {std::pair{ui.List_DirList, &pressOnCurrentDirectory_},
                              std::pair{ui.List_ImageList, &pressOnCurrentImage_}}) {
      if (watched == list->viewport()) {
        const QListWidgetItem* item = list->itemAt(at);
        *flag = item && item == list->currentItem();
      }
    }
  }
  // Shown (the window opened, or the page brought to the front) or resized: fit anew.
  if (watched == ui.Panel_Preview &&
      (event->type() == QEvent::Resize || event->type() == QEvent::Show))
    RequestPreview();
  return SettingsPage::eventFilter(watched, event);
}

QString TFrameWallpaperSource::ChooseDirectory() {
  QString start = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  if (!DirectoryExists(start)) start = QDir::homePath();
  QFileDialog dialog(this, QStringLiteral("Select a directory"), start);
  dialog.setFileMode(QFileDialog::Directory);
  // Over its window, which alone it blocks.
  dialog.setWindowModality(Qt::WindowModal);
  dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return QDir::toNativeSeparators(dialog.selectedFiles().first());
}

void TFrameWallpaperSource::Button_AddClick() {
  const QString directory = ChooseDirectory();
  if (!directory.isEmpty()) {
    config.WallpaperConfig.Paths.append(directory);
    {
      LoadGuard guard(this);
      ui.List_DirList->addItem(directory);
    }
    SelectRow(ui.List_DirList, ui.List_DirList->count() - 1);
    List_DirListClick();
  }
  UpdateButtons();
}

void TFrameWallpaperSource::RemoveDirectory(int row) {
  config.WallpaperConfig.Paths.removeAt(row);
  LoadGuard guard(this);
  delete ui.List_DirList->takeItem(row);
}

void TFrameWallpaperSource::Button_DeleteClick() {
  const int row = SelectedRow();
  if (row < 0) return;
  const QString question =
      QStringLiteral("Do you want to remove the following directory from list?\n\n") +
      ui.List_DirList->item(row)->text();
  if (!Confirmed(question)) return;
  RemoveDirectory(row);
  SelectNeighbour(ui.List_DirList, row);
  AfterRemoval();
}

void TFrameWallpaperSource::Button_DeleteInvalidClick() {
  if (!Confirmed(QStringLiteral("This will check every directory from the list and remove any "
                                "non-existing directories. Do you want to continue?")))
    return;
  for (int row = ui.List_DirList->count() - 1; row >= 0; --row)
    if (!DirectoryExists(ui.List_DirList->item(row)->text())) RemoveDirectory(row);
  SelectRow(ui.List_DirList, 0);
  AfterRemoval();
}

void TFrameWallpaperSource::Button_DeleteAllClick() {
  if (!Confirmed(QStringLiteral("Do you want to remove ALL directories from the list?")))
    return;
  config.WallpaperConfig.Paths.clear();
  {
    LoadGuard guard(this);
    ui.List_DirList->clear();
  }
  AfterRemoval();
}

void TFrameWallpaperSource::AfterRemoval() {
  {
    LoadGuard guard(this);
    ui.List_ImageList->clear();
  }
  listedDirectory_.clear();
  ClearPreview();
  ShowSelectedDirectory(false);
  UpdateButtons();
}

void TFrameWallpaperSource::Button_SearchClick() { UpdateButtons(); }
