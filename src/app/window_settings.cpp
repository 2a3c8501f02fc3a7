#include "window_settings.h"

#include "app/find_bar.h"
#include "keys/key_list_places.h"

#include <QDir>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMainWindow>
#include <QScreen>
#include <QSettings>
#include <QStyle>

namespace {

// Raised when the window's bars or panels change so much that an older state would
// put them in the wrong places.
constexpr int stateVersion = 1;
// A column kept narrower or wider than this comes from a damaged file.
constexpr int narrowestColumn = 4;
constexpr int widestColumn = 10000;

const QString geometryKey = QStringLiteral("window/geometry");
const QString stateKey = QStringLiteral("window/state");
const QString widthsKey = QStringLiteral("window/columnWidths");
const QString findColumnKey = QStringLiteral("find/column");
const QString findCaseKey = QStringLiteral("find/matchCase");
const QString findOnlyKey = QStringLiteral("find/onlyMatching");
const QString findWithoutKeyKey = QStringLiteral("find/withoutKey");
const QString findSharedKey = QStringLiteral("find/sharedKey");

bool flag(const QSettings &settings, const QString &key)
{
    const QVariant value = settings.value(key);
    return value.typeId() == QMetaType::Bool ? value.toBool() : value.toString() == QLatin1String("true");
}

// The window is never restored larger than the screen it comes back on.
void fitOnScreen(QMainWindow &window)
{
    const QScreen *screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    QSize frame = window.frameGeometry().size() - window.geometry().size();
    // Before it is first shown the window has no frame yet; the title bar is
    // reckoned in then.
    if (frame.isEmpty())
        frame = QSize(0, window.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window));
    const QSize most = available.size() - frame;
    if (window.width() > most.width() || window.height() > most.height())
        window.resize(window.size().boundedTo(most));
}

} // namespace

WindowSettings WindowSettings::standard()
{
    return WindowSettings(QDir(KeyListPlaces::standard().userFolder).filePath(QStringLiteral("tessaly.conf")));
}

void WindowSettings::saveWindow(const QMainWindow &window, const QHeaderView &columns, const QList<int> &defaultWidths,
                                const FindCriteria &findOptions) const
{
    QSettings settings(m_file, QSettings::IniFormat);
    settings.setValue(geometryKey, window.saveGeometry());
    settings.setValue(stateKey, window.saveState(stateVersion));
    QVariantList widths;
    for (int section = 0; section < columns.count(); ++section) {
        const int width = columns.sectionSize(section);
        widths.append(section < defaultWidths.size() && width == defaultWidths[section] ? 0 : width);
    }
    settings.setValue(widthsKey, widths);
    settings.setValue(findColumnKey, findOptions.column);
    settings.setValue(findCaseKey, findOptions.caseSensitivity == Qt::CaseSensitive);
    settings.setValue(findOnlyKey, findOptions.onlyMatching);
    settings.setValue(findWithoutKeyKey, findOptions.withoutKey);
    settings.setValue(findSharedKey, findOptions.sharedKey);
}

void WindowSettings::restoreWindow(QMainWindow &window, QHeaderView &columns, FindBar &findBar) const
{
    const QSettings settings(m_file, QSettings::IniFormat);
    const QByteArray geometry = settings.value(geometryKey).toByteArray();
    if (!geometry.isEmpty())
        window.restoreGeometry(geometry);
    // Whether restored or not: the screen may be smaller, or scaled, since.
    fitOnScreen(window);
    const QByteArray state = settings.value(stateKey).toByteArray();
    if (!state.isEmpty())
        window.restoreState(state, stateVersion);

    // The find options first: a filter they change may lay out the columns anew.
    FindCriteria options;
    bool ok = false;
    const int column = settings.value(findColumnKey).toInt(&ok);
    options.column = ok ? column : FindCriteria::allColumns;
    options.caseSensitivity = flag(settings, findCaseKey) ? Qt::CaseSensitive : Qt::CaseInsensitive;
    options.onlyMatching = flag(settings, findOnlyKey);
    options.withoutKey = flag(settings, findWithoutKeyKey);
    options.sharedKey = flag(settings, findSharedKey);
    findBar.setOptions(options);

    const QVariantList widths = settings.value(widthsKey).toList();
    for (int section = 0; section < qMin(int(widths.size()), columns.count()); ++section) {
        bool valid = false;
        const int width = widths[section].toInt(&valid);
        if (valid && width >= narrowestColumn && width <= widestColumn)
            columns.resizeSection(section, width);
    }
}

RecentFiles WindowSettings::recentFiles() const
{
    return RecentFiles::read(QSettings(m_file, QSettings::IniFormat));
}

void WindowSettings::setRecentFiles(const RecentFiles &files) const
{
    QSettings settings(m_file, QSettings::IniFormat);
    files.write(settings);
}
