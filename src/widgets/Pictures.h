#pragma once
#include <QIcon>

// The program's icon (window, tray and launcher), drawn so it needs no resource file.
QIcon ApplicationIcon();
QImage ApplicationIconImage(int size);
// The 24 x 24 picture of the side-bar item that selects that page slot.
QIcon SideBarPicture(int slot);
