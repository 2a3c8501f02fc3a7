#pragma once

#include "table/find_criteria.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QTimer;

// The find bar below the table: the text to find, the column to search, "match
// case", "show only matching rows" and, with the latter, the two quick filters. It
// only gathers the criteria and the user's wishes; the window acts on them.
class FindBar : public QWidget
{
    Q_OBJECT

public:
    explicit FindBar(QWidget *parent = nullptr);

    FindCriteria criteria() const;
    // Sets the column, the case and the filters of `options`; the text stays.
    void setOptions(const FindCriteria &options);
    QLineEdit *findField() const { return txtFind; }
    // Shows "n of m" beside the field.
    void setMatchText(const QString &text);
    // Shows every row again; the text and the column stay.
    void showAllRows();
    // Takes the focus into the field with its text selected, for typing anew.
    void focusField();

signals:
    // The criteria changed; `textTyped` when it was the text, which waits for a pause
    // in typing so that a large table keeps up.
    void criteriaChanged(bool textTyped);
    void nextWanted();
    void previousWanted();
    void closeWanted();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QLineEdit *txtFind = nullptr;
    QComboBox *cmbColumn = nullptr;
    QCheckBox *chkCase = nullptr;
    QCheckBox *chkOnly = nullptr;
    QCheckBox *chkWithoutKey = nullptr;
    QCheckBox *chkShared = nullptr;
    QCheckBox *chkAdded = nullptr;
    QCheckBox *chkChanged = nullptr;
    QLabel *lblMatches = nullptr;
    QTimer *m_typing = nullptr;
    // The field's line, and the line the switches go to when the bar is too narrow to
    // hold them beside it (narrower than m_oneLineWidth).
    QHBoxLayout *m_line = nullptr;
    QHBoxLayout *m_wrapLine = nullptr;
    int m_oneLineWidth = 0;
    bool m_wrapped = false;
};
