#include "mail/MailNotify.h"

// The new-mail announcement fills these in.
void AnnounceNewMail(QWidget* mainWindow) { (void)mainWindow; }
void RemoveEmailTrayIcon() {}
