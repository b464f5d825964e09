#pragma once
// The pictures of the Start and Stop buttons and of the two tabs, drawn at run time.

#include <QIcon>
#include <QPixmap>

QPixmap StartPicture();  // 46 x 47
QPixmap StopPicture();   // 49 x 49
QIcon StartTabIcon();    // 16 x 16
QIcon AboutTabIcon();    // 16 x 16
