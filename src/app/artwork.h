#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

// The program's pictures, drawn by the program itself.

// A green tick mark on a transparent square: the row icon and the OK button's icon.
QPixmap tickPixmap(int size);
// The program's icon, a small grid with a tick, at `size` x `size` pixels. Needs no
// display, so the build draws the installed icons with it.
QImage programIconImage(int size);
// The marks of the rows an update added (a blue plus in a circle) and changed (an
// orange triangle, the sign of a difference), in the "#" column.
QPixmap addedRowPixmap(int size);
QPixmap changedRowPixmap(int size);
// The window icon: the program's icon at the sizes a window may show.
QIcon windowIcon();
// The banner of the About window.
QPixmap bannerPixmap(const QSize &size);
