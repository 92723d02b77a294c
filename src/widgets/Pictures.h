#pragma once
#include <QIcon>

// The program's icon (window, tray and launcher), drawn so it needs no resource file.
QIcon ApplicationIcon();
QImage ApplicationIconImage(int size);
// The same icon with a red bell badge: a reminder is waiting for an answer.
QIcon AttentionIcon();

// The 24 x 24 pictures of the side-bar items, one per page.
QIcon SourcePicture();
QIcon RulesPicture();
QIcon CalendarStylePicture();
QIcon CalendarOptionsPicture();
QIcon AgendaPicture();
QIcon PopupRemindersPicture();
QIcon ColorDotsPicture();
QIcon MailAccountsPicture();
QIcon MailActionsPicture();
QIcon MailOptionsPicture();
QIcon ProgramOptionsPicture();
QIcon HelpPicture();
