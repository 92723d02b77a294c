#pragma once
#include <QTimer>

#include "pages/PreviewDecoder.h"
#include "pages/SettingsPage.h"
#include "ui_TFrameWallpaperSource.h"

// The source directories, the images of the selected one, and the selected image with
// its preview. The selection is what "Set" installs.
class TFrameWallpaperSource : public SettingsPage {
  Q_OBJECT

 public:
  TFrameWallpaperSource(Config& config, Services& services, QWidget* parent = nullptr);

  void LoadFromConfig() override;

  void Button_AddClick();
  void Button_DeleteClick();
  void Button_DeleteInvalidClick();
  void Button_DeleteAllClick();
  void Button_SearchClick();
  void List_DirListClick();
  void List_ImageListClick();
  void TimerTimer();

  // The directory picked by "Add Dir", or empty when the user cancelled.
  QString ChooseDirectory();

  Ui::TFrameWallpaperSource ui;
  QTimer* Timer = nullptr;
  PreviewDecoder* decoder = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void UpdateButtons();
  // Lists the images of the selected directory. A missing one is removed only when the user
  // chose it; one the program selected (start-up, after a removal) is reported and kept, as
  // a disk or share may simply not be mounted yet.
  void ShowSelectedDirectory(bool chosenByUser);
  // Empties the preview and forgets any picture being made for it.
  void ClearPreview();
  // The row of the selected directory, or -1 (a current entry may have been deselected).
  int SelectedRow() const;
  // Removes list entry `row` from the settings and the list.
  void RemoveDirectory(int row);
  void AfterRemoval();
  void RequestPreview();
  void ShowPreview(const QString& path, const QImage& picture);
  QString SelectedDirectory() const;

  QString pendingImage_;   // the name to select when the image list is next filled
  QString listedDirectory_;  // the directory whose images the image list shows
  QStringList reportedMissing_;  // missing directories told about and kept, each told once
  // The press landed on the entry already current: its click acts again (a rescan, a retry).
  bool pressOnCurrentDirectory_ = false;
  bool pressOnCurrentImage_ = false;
  QString previewPath_;    // the image the preview shows or is being made for
  QString requestedPath_;  // the last request, so a resize to the same size asks nothing
  QSize requestedBox_;
};
