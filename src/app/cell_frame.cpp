#include "cell_frame.h"

#include <QPainter>

CellFrame::CellFrame(QWidget *viewport) : QWidget(viewport)
{
    setObjectName(QStringLiteral("currentCellFrame"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    hide();
}

void CellFrame::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const int width = qMax(2, qRound(devicePixelRatioF() * 2) / 2);
    QPen pen(palette().color(QPalette::Active, QPalette::Highlight), width);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const qreal inset = width / 2.0;
    painter.drawRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset));
}
