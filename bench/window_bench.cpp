// Times the shown main window as a user drives it, on a real display (scripts/bench
// runs it in a virtual X server): from the process's start to the first painted
// window, then, on a table of 100,000 signals, each key press from the event to the
// finished repaint: Ctrl+End, Page Down, choosing a key, opening the key list, Undo,
// Redo and a keystroke in the find field.
//
//   tessaly_window_bench [--runs N]
//   tessaly_window_bench --start-up       prints only the seconds to its painted window

#include "bench_inputs.h"
#include "bench_timer.h"

#include "app/cell_editors.h"
#include "app/find_bar.h"
#include "app/frm_dbc.h"
#include "table/signal_filter.h"
#include "fake_dialogs.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <unistd.h>

namespace {

constexpr double keyTarget = 0.05;
constexpr double startTarget = 0.3;

// Seconds since this process started, from the kernel's record of its start.
double secondsSinceStart()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // The fields after the command's closing parenthesis; the start time is field 22.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 20)
        return -1;
    const double started = fields[19].toDouble() / double(sysconf(_SC_CLK_TCK));
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9 - started;
}

// Everything the key press set off: its events, the repaint they asked for, and the
// frame handed to the display.
void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
}

// The median start-up of separate runs of this program, as each reports it; -1 when
// one fails. The first start on a display also pays for what the display sets up once.
double medianStartUp(int runs)
{
    std::vector<double> seconds;
    for (int i = 0; i < runs; ++i) {
        QProcess run;
        run.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--start-up")});
        if (!run.waitForFinished(30000) || run.exitStatus() != QProcess::NormalExit || run.exitCode() != 0)
            return -1;
        seconds.push_back(run.readAllStandardOutput().trimmed().toDouble());
    }
    std::sort(seconds.begin(), seconds.end());
    return seconds[seconds.size() / 2];
}

void print(const QString &name, double seconds, double target)
{
    const bool ok = seconds >= 0 && seconds <= target;
    std::printf("%-52s %8.1f ms   target %5.0f ms  %s\n", qPrintable(name), seconds * 1000, target * 1000,
                ok ? "ok" : "MISSED");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    int runs = 15;
    const QStringList args = QCoreApplication::arguments().mid(1);
    const bool startUpOnly = args == QStringList{QStringLiteral("--start-up")};
    if (args.size() == 2 && args[0] == u"--runs")
        runs = std::max(1, args[1].toInt());

    const QTemporaryDir dir;
    QFile keys(dir.filePath(QStringLiteral("Preassigned_keys.CSV")));
    if (!keys.open(QIODevice::WriteOnly)
        || keys.write("// keys\r\nENSP;ENG;Engine speed\r\nVSPD;DRV;Vehicle speed\r\nEOPR;x;Oil pressure\r\n") < 0)
        return 1;
    keys.close();
    frmDBC window(std::make_unique<FakeDialogs>(), keys.fileName());
    window.keepRecoveryCopies(dir.filePath(QStringLiteral("recovery")));
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    settle();
    if (startUpOnly) {
        std::printf("%.4f\n", secondsSinceStart());
        return 0;
    }
    print(QStringLiteral("start-up to the painted window, no file (median of 7)"), medianStartUp(7), startTarget);

    const QString csv = dir.filePath(QStringLiteral("big.csv"));
    if (const QString error = writeBenchCsv(csv); !error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    window.openFile(csv);
    QApplication::setActiveWindow(&window);
    QTableView *grid = window.grid();
    grid->setFocus();
    settle();
    std::printf("%d rows\n", window.table().grid().rows());

    const auto press = [](QWidget *widget, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(widget, key, modifiers);
        settle();
    };
    // Each timed press alternates with the press that undoes it, untimed.
    const auto timeKey = [&](const QString &name, QWidget *widget, Qt::Key key, Qt::KeyboardModifiers modifiers,
                             const std::function<void()> &back) {
        print(name, medianSeconds(runs, [] {}, [&] { press(widget, key, modifiers); }, back), keyTarget);
    };
    timeKey(QStringLiteral("Ctrl+End"), grid, Qt::Key_End, Qt::ControlModifier,
            [&] { press(grid, Qt::Key_Home, Qt::ControlModifier); });
    timeKey(QStringLiteral("Page Down"), grid, Qt::Key_PageDown, {}, [&] { press(grid, Qt::Key_PageUp); });

    // A key chosen in the open list of a Key cell halfway down the table.
    const int row = window.table().grid().rows() / 2;
    const auto openList = [&] {
        grid->setCurrentIndex(window.editors()->map().viewIndex(row, Col::Key));
        settle();
        press(grid, Qt::Key_F4);
        QAbstractItemView *list = window.keyEditor()->view();
        // ENSP and VSPD in turn, so that every choice is a change.
        list->setCurrentIndex(list->model()->index(window.table().grid().text(row, Col::Key) == u"VSPD" ? 0 : 1, 0));
    };
    print(QStringLiteral("choosing a key in the open list (Enter)"),
          medianSeconds(runs, openList, [&] { press(window.keyEditor()->view(), Qt::Key_Return); }, [] {}), keyTarget);
    print(QStringLiteral("opening the key list (F4), the row's scores included"),
          medianSeconds(
                  runs,
                  [&] {
                      grid->setCurrentIndex(window.editors()->map().viewIndex(row, Col::Key));
                      settle();
                  },
                  [&] { press(grid, Qt::Key_F4); }, [&] { press(window.keyEditor()->view(), Qt::Key_Escape); }),
          keyTarget);
    grid->setFocus();
    timeKey(QStringLiteral("Undo (Ctrl+Z)"), grid, Qt::Key_Z, Qt::ControlModifier,
            [&] { press(grid, Qt::Key_Y, Qt::ControlModifier); });
    press(grid, Qt::Key_Z, Qt::ControlModifier);
    timeKey(QStringLiteral("Redo (Ctrl+Y)"), grid, Qt::Key_Y, Qt::ControlModifier,
            [&] { press(grid, Qt::Key_Z, Qt::ControlModifier); });

    // Each step of the history must really have been taken.
    const int index = window.table().history().index();
    press(grid, Qt::Key_Z, Qt::ControlModifier);
    if (window.table().history().index() != index - 1) {
        std::fprintf(stderr, "Ctrl+Z did not undo\n");
        return 1;
    }
    press(grid, Qt::Key_Y, Qt::ControlModifier);

    // The field looks for its text after a short pause in typing: a keystroke is timed
    // until the first match is current and painted.
    press(grid, Qt::Key_F, Qt::ControlModifier);
    QLineEdit *field = window.findBar()->findField();
    bool filtered = false;
    QObject::connect(window.findBar(), &FindBar::criteriaChanged, &window, [&] { filtered = true; });
    const auto type = [&](Qt::Key key) {
        filtered = false;
        QTest::keyClick(field, key);
        while (!filtered)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        settle();
    };
    QTest::keyClicks(field, QStringLiteral("Sig_1"));
    type(Qt::Key_2);
    if (window.filter()->criteria().text != u"Sig_12") {
        std::fprintf(stderr, "the find field does not find\n");
        return 1;
    }
    print(QStringLiteral("a keystroke in the find field, pause included"),
          medianSeconds(runs, [] {}, [&] { type(Qt::Key_3); }, [&] { type(Qt::Key_Backspace); }), keyTarget);
    return 0;
}
