#pragma once
// The calendars the agenda follows: a list with Add, Remove and Refresh, the selected
// calendar's source, user, password, colour and switches, and the options of the list under
// the month.
#include "pages/ItemEditors.h"
#include "pages/SettingsPage.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class ColorCombo;

class TFrameAgenda : public SettingsPage {
  Q_OBJECT

 public:
  TFrameAgenda(Config& config, Services& services, QWidget* parent = nullptr);
  void LoadFromConfig() override;

  QListWidget* List_Calendars = nullptr;
  QPushButton* Button_Add = nullptr;
  QPushButton* Button_Remove = nullptr;
  QPushButton* Button_Refresh = nullptr;
  QLineEdit* Edit_URL = nullptr;
  QLineEdit* Edit_User = nullptr;
  QLineEdit* Edit_Password = nullptr;
  ColorCombo* Combo_Color = nullptr;
  QCheckBox* Check_Enabled = nullptr;
  QCheckBox* Check_Alarms = nullptr;
  QCheckBox* Check_ShowList = nullptr;
  QSpinBox* Spin_ListDays = nullptr;
  QSpinBox* Spin_RefreshMinutes = nullptr;
  QLabel* Label_PasswordStorage = nullptr;
  QLabel* Label_Status = nullptr;

  void Button_AddClick();
  void Button_RemoveClick();
  void Button_RefreshClick();
  // One line per calendar's state, as the last fetch left it (the main window tells).
  void ShowStatus(const QString& text);

 signals:
  // Fetch now: the Refresh button, or the calendars changed.
  void refreshRequested();

 private:
  void FillList();
  void FillSelected();
  AgendaCalendar* Selected();

  ItemEditors<AgendaCalendar> editors_;
};
