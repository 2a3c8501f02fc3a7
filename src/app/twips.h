#pragma once

#include <QRect>
#include <QWidget>

// Sizes in the window descriptions are in twips (1/1440 inch); the screen's logical
// DPI turns them into pixels.
inline int twipsToPixels(const QWidget *widget, int twips)
{
    return qRound(twips * widget->logicalDpiX() / 1440.0);
}

inline QRect twipsToPixels(const QWidget *widget, const QRect &twips)
{
    return {twipsToPixels(widget, twips.x()), twipsToPixels(widget, twips.y()),
            twipsToPixels(widget, twips.width()), twipsToPixels(widget, twips.height())};
}

inline int pixelsToTwips(const QWidget *widget, int pixels)
{
    return qRound(pixels * 1440.0 / widget->logicalDpiX());
}
