#include "artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {

// A green tick in the square (0, 0, size, size) of the painter.
void drawTick(QPainter &painter, qreal size)
{
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath tick;
    tick.moveTo(size * 0.15, size * 0.55);
    tick.lineTo(size * 0.40, size * 0.80);
    tick.lineTo(size * 0.85, size * 0.22);
    painter.setPen(QPen(QColor(0x1E, 0x8C, 0x2E), size * 0.16, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(tick);
}

// A transparent square of `size` pixels with what `draw` paints on it.
template<typename Draw>
QPixmap squarePixmap(int size, Draw draw)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
    return pixmap;
}

} // namespace

QPixmap tickPixmap(int size)
{
    return squarePixmap(size, [size](QPainter &painter) { drawTick(painter, size); });
}

QImage programIconImage(int size)
{
    // Drawn on a 32-unit square; at 32 pixels its lines fall on whole pixels.
    constexpr int units = 32;
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.scale(qreal(size) / units, qreal(size) / units);
    painter.setRenderHint(QPainter::Antialiasing, size != units);
    painter.setPen(QPen(QColor(0x40, 0x40, 0xE0), size == units ? 0 : std::max(1.0, qreal(units) / size)));
    painter.setBrush(QColor(0xF0, 0xF0, 0xFF));
    painter.drawRect(1, 3, units - 3, units - 7);
    for (int y = 10; y < units - 4; y += 6)
        painter.drawLine(1, y, units - 2, y);
    painter.drawLine(10, 3, 10, units - 4);
    painter.translate(12, 10);
    drawTick(painter, 18);
    return image;
}

QPixmap addedRowPixmap(int size)
{
    return squarePixmap(size, [size](QPainter &painter) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x20, 0x6C, 0xD8));
        painter.drawEllipse(QRectF(size * 0.08, size * 0.08, size * 0.84, size * 0.84));
        painter.setPen(QPen(Qt::white, size * 0.14, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(size * 0.5, size * 0.28), QPointF(size * 0.5, size * 0.72));
        painter.drawLine(QPointF(size * 0.28, size * 0.5), QPointF(size * 0.72, size * 0.5));
    });
}

QPixmap changedRowPixmap(int size)
{
    return squarePixmap(size, [size](QPainter &painter) {
        QPainterPath delta;
        delta.moveTo(size * 0.5, size * 0.12);
        delta.lineTo(size * 0.9, size * 0.85);
        delta.lineTo(size * 0.1, size * 0.85);
        delta.closeSubpath();
        painter.setPen(QPen(QColor(0xB0, 0x5A, 0x00), size * 0.08, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(QColor(0xFF, 0xA8, 0x20));
        painter.drawPath(delta);
    });
}

QIcon windowIcon()
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64})
        icon.addPixmap(QPixmap::fromImage(programIconImage(size)));
    return icon;
}

QPixmap bannerPixmap(const QSize &size)
{
    QPixmap pixmap(size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, size.width(), 0);
    sky.setColorAt(0, QColor(0x20, 0x30, 0x80));
    sky.setColorAt(1, QColor(0x40, 0x80, 0xE0));
    painter.fillRect(pixmap.rect(), sky);
    // A CAN-like square wave behind the name.
    painter.setPen(QPen(QColor(255, 255, 255, 70), 2));
    QPainterPath wave;
    const int high = size.height() / 4;
    const int low = size.height() * 3 / 4;
    wave.moveTo(0, low);
    for (int x = 0, level = 0; x < size.width(); x += 14, level ^= 1) {
        wave.lineTo(x, level ? high : low);
        wave.lineTo(x + 14, level ? high : low);
    }
    painter.drawPath(wave);
    QFont font = painter.font();
    font.setPixelSize(size.height() / 2);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(pixmap.rect().adjusted(16, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                     QStringLiteral("Tessaly"));
    font.setPixelSize(size.height() / 5);
    font.setBold(false);
    painter.setFont(font);
    painter.drawText(pixmap.rect().adjusted(0, 0, -16, -6), Qt::AlignBottom | Qt::AlignRight,
                     QStringLiteral("CAN channel lists"));
    return pixmap;
}
