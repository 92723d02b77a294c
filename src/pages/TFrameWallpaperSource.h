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
  // Removes list entry `row` from the settings and the list.
  void RemoveDirectory(int row);
  // Selects `row`, or the last entry when it is past the end, or none.
  void SelectDirectory(int row);
  void AfterRemoval();
  void RequestPreview();
  void ShowPreview(const QString& path, const QImage& picture);
  QString SelectedDirectory() const;

  QString pendingImage_;   // the name to select when the image list is next filled
  QString previewPath_;    // the image the preview shows or is being made for
  QString requestedPath_;  // the last request, so a resize to the same size asks nothing
  QSize requestedBox_;
};
