#include "grid_look.h"

#include "app/twips.h"
#include "table/signal_filter.h"

#include <QAbstractItemView>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QHelpEvent>
#include <QPainter>
#include <QStringList>
#include <QStyle>
#include <QTextDocument>
#include <QToolTip>

namespace {

// The classic font's average character width, taken as 5 pixels at 96 DPI.
constexpr double classicCharWidthTwips = 75.0;
// A tooltip shows no more of a very long cell than a screen can hold.
constexpr qsizetype tooltipLimit = 2000;

double fontWidthFactor(const QWidget *grid)
{
    // Measured on what the table mostly holds: digits and capitals (CAN IDs, keys).
    const QString sample = QStringLiteral("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    const double average = QFontMetricsF(grid->font()).horizontalAdvance(sample) / double(sample.size());
    const double classic = classicCharWidthTwips * grid->logicalDpiX() / 1440.0;
    return qMax(1.0, average / classic);
}

// Lines of a comment broken at spaces before `width` characters: a plain tooltip
// never wraps a long line itself.
QString wrapped(const QString &text, qsizetype width = 80)
{
    QStringList lines;
    for (QString line : text.split(u'\n')) {
        while (line.size() > width) {
            qsizetype at = line.lastIndexOf(u' ', width);
            if (at <= 0)
                at = width;
            lines.append(line.left(at));
            line = line.mid(at).trimmed();
        }
        lines.append(line);
    }
    return lines.join(u'\n');
}

QString limited(const QString &text)
{
    QString tip = text.left(tooltipLimit);
    if (tip.size() < text.size())
        tip += QChar(0x2026);
    return tip;
}

} // namespace

int columnWidthPixels(const QWidget *grid, int twips)
{
    return qRound(twipsToPixels(grid, twips) * fontWidthFactor(grid));
}

int numberColumnWidth(const QHeaderView *header, int twips, const QString &widestNumber)
{
    const QStyle *style = header->style();
    const int margin = style->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    const int icon = style->pixelMetric(QStyle::PM_SmallIconSize, nullptr, header);
    const int text = header->fontMetrics().horizontalAdvance(widestNumber);
    return qMax(columnWidthPixels(header, twips), 4 * margin + icon + text);
}

namespace {

bool isMatch(const QModelIndex &index)
{
    return index.data(SignalFilterModel::MatchRole).toBool();
}

} // namespace

void CutTextDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (isMatch(index))
        option->font.setBold(true);
    // The current cell's row is tinted, so the eye finds it in every column; cells of
    // a colour of their own (the Key marks) keep it.
    // A selected Key cell keeps its colour, darkened, so a red mark stays red.
    if ((option->state & QStyle::State_Selected) && option->backgroundBrush.style() != Qt::NoBrush) {
        option->state &= ~QStyle::State_Selected;
        option->backgroundBrush = option->backgroundBrush.color().darker(125);
        return;
    }
    const auto *view = qobject_cast<const QAbstractItemView *>(option->widget);
    if (view && index.row() == view->currentIndex().row() && option->backgroundBrush.style() == Qt::NoBrush) {
        QColor tint = option->palette.color(QPalette::Active, QPalette::Highlight);
        tint.setAlpha(40);
        option->backgroundBrush = tint;
    }
}

void CutTextDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    if (!isMatch(index))
        return;
    painter->save();
    painter->setPen(QPen(QColor(230, 120, 0), 2));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(QRectF(option.rect).adjusted(1, 1, -1, -1));
    painter->restore();
}

bool CutTextDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                                const QModelIndex &index)
{
    if (event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    // What the table says of the cell comes first; else a cut text is shown whole.
    if (const QString told = index.data(Qt::ToolTipRole).toString(); !told.isEmpty()) {
        QToolTip::showText(event->globalPos(), told, view->viewport(), option.rect);
        return true;
    }
    const QString text = index.data().toString();
    const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    const bool cut = !text.isEmpty() && option.fontMetrics.horizontalAdvance(text) + 2 * margin > option.rect.width();
    const QString details = index.data(Qt::ToolTipRole).toString();
    if (!cut && details.isEmpty()) {
        QToolTip::hideText();
        return true;
    }
    QString tip = cut ? limited(text) : QString();
    // A comment may be long: it is broken into lines, below the cut text.
    if (!details.isEmpty())
        tip += (cut ? QStringLiteral("\n\n") : QString()) + wrapped(limited(details));
    // Plain text keeps its lines; text that would pass for markup is shown as it is.
    if (Qt::mightBeRichText(tip))
        tip = Qt::convertFromPlainText(tip, Qt::WhiteSpaceNoWrap);
    QToolTip::showText(event->globalPos(), tip, view->viewport(), option.rect);
    return true;
}
