#pragma once

#include "document/recent_files.h"

#include <QList>
#include <QString>

struct FindCriteria;
class FindBar;
class QHeaderView;
class QMainWindow;

// What the main window keeps between runs, in the program's settings file: its size
// and place, its bars and panels, the column widths the user set, the find bar's
// options and the recent files. Everything read back is checked first: a damaged or
// foreign settings file gives the window as a first run has it.
class WindowSettings
{
public:
    explicit WindowSettings(const QString &file) : m_file(file) {}
    // tessaly.conf in the user's configuration folder, beside the dialogs' folder.
    static WindowSettings standard();

    QString file() const { return m_file; }

    // `defaultWidths` holds the width each column has without the user's hand, so
    // that only the widths the user set are kept.
    void saveWindow(const QMainWindow &window, const QHeaderView &columns, const QList<int> &defaultWidths,
                    const FindCriteria &findOptions) const;
    // Panels and bars come back as they were only when they exist by now.
    void restoreWindow(QMainWindow &window, QHeaderView &columns, FindBar &findBar) const;

    // Read anew each time, so that two windows at once keep one list.
    RecentFiles recentFiles() const;
    void setRecentFiles(const RecentFiles &files) const;

private:
    QString m_file;
};
