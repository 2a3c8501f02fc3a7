#pragma once

#include <QWidget>

// The frame around the grid's current cell. It lies above the cell and its editor,
// lets the mouse through, and is drawn in the highlight colour whether or not the
// window has the keyboard focus, so the current cell can always be told.
class CellFrame : public QWidget
{
public:
    explicit CellFrame(QWidget *viewport);

protected:
    void paintEvent(QPaintEvent *event) override;
};
