#pragma once

#include <QStyledItemDelegate>

class QHeaderView;
class QWidget;

// The column widths of the window description were made for a classic 8-point
// system font. Each grows by the ratio of the grid font's average character width to
// that font's, and never falls below its width in twips.
int columnWidthPixels(const QWidget *grid, int twips);

// The width the "#" column needs for the row icon and `widestNumber`, and never less
// than `twips`.
int numberColumnWidth(const QHeaderView *header, int twips, const QString &widestNumber);

// Draws cells as usual and shows the whole text of a cut cell as its tooltip, with
// what the model's tooltip says of the cell (the DBC details of a Name). A cell
// that holds the find text is drawn bold in a frame, which leaves the Key colours
// as they are; the current cell's row is tinted.
class CutTextDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;
};
