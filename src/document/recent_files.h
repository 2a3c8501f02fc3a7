#pragma once

#include <QString>
#include <QStringList>

class QSettings;

// The files the user opened or saved last, newest first: DBC, receiver and results
// CSV files only, each once (by its absolute path), at most `capacity` of them.
// The list is read from and written to the settings; what it reads there is
// checked like any input, so a damaged settings file gives a shorter list.
class RecentFiles
{
public:
    static constexpr int capacity = 10;

    RecentFiles() = default;
    explicit RecentFiles(const QStringList &files);

    const QStringList &files() const { return m_files; }
    // Puts `file` first; false when it is no file of a kind the program opens.
    bool add(const QString &file);
    void remove(const QString &file);
    void clear() { m_files.clear(); }

    static RecentFiles read(const QSettings &settings);
    void write(QSettings &settings) const;

private:
    QStringList m_files;
};
