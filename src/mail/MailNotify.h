#pragma once
class QWidget;
// Announces NewMailCount when it is not 0, then sets it to 0.
void AnnounceNewMail(QWidget* mainWindow);
// Takes the mail icon out of the notification area.
void RemoveEmailTrayIcon();
