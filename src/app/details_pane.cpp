#include "details_pane.h"

#include "import/signal_details.h"
#include "table/table_data.h"
#include "update/table_update.h"

#include <QPlainTextEdit>
#include <QScrollBar>

DetailsPane::DetailsPane(QWidget *parent) : QDockWidget(QStringLiteral("Details"), parent)
{
    setObjectName(QStringLiteral("detailsPane"));
    setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea | Qt::BottomDockWidgetArea);
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("detailsText"));
    m_text->setReadOnly(true);
    // Read, and copied from, but never a place to type: Tab goes on to the next control.
    m_text->setTabChangesFocus(true);
    m_text->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setWidget(m_text);
}

void DetailsPane::showRow(const TableData &table, int row)
{
    QString text;
    if (!table.details() && !hasSignalRows(table))
        text = QStringLiteral("Import a DBC file to read here what it says about the signal of each row.");
    else if (row < 0 && table.details())
        text = QStringLiteral("No row is current.");
    else
        text = detailsText(table, row);
    // The same text again (another column of the row) keeps where the user scrolled to.
    if (text != m_text->toPlainText())
        m_text->setPlainText(text);
}

QString DetailsPane::text() const
{
    return m_text->toPlainText();
}

int DetailsPane::preferredWidth() const
{
    return m_text->fontMetrics().averageCharWidth() * 40 + m_text->verticalScrollBar()->sizeHint().width();
}
