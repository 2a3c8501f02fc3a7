#pragma once

#include <QDockWidget>

class QPlainTextEdit;
class TableData;

// The dock beside the table that shows what the DBC file says about the signal of
// the current row: its message, identifier, comment, value descriptions and the rest.
class DetailsPane : public QDockWidget
{
    Q_OBJECT

public:
    explicit DetailsPane(QWidget *parent = nullptr);

    // Shows the details of grid row `row` of `table`; a row below 0 is no row.
    void showRow(const TableData &table, int row);
    QString text() const;
    // A width that holds a comment line of some forty characters.
    int preferredWidth() const;

private:
    QPlainTextEdit *m_text = nullptr;
};
