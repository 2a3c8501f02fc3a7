// Times the program's file commands, key choices, undo and redo, and the find
// filter on a table of 100,000 signals, against the floor of each input (reading its
// bytes and finding its line ends), and measures the peak memory of a process that
// holds such a table and the memory of a long undo history.
//
//   tessaly_bench [--runs N] [--keep DIR]   all cases; --keep writes the inputs to
//                                           DIR and leaves them there
//   tessaly_bench --memory [CSV]            only loads the results CSV (generated
//                                           when not given) and prints VmHWM
//   tessaly_bench --suggest [--runs N]      only the key suggestions
//
// Then it runs the program itself (--tessaly PROGRAM, by default the one built beside
// the benchmark) as whole processes at 100,000 and 1,000,000 signals (--quick: 100,000
// only): --export of a DBC and of a results CSV, and --update, timed and with their
// peak memory; --old PROGRAM runs an older build of the program beside it.

#include "bench_inputs.h"
#include "bench_processes.h"
#include "bench_suggest.h"
#include "bench_timer.h"

#include "csv/results_csv.h"
#include "csv/results_csv_load.h"
#include "import/dbc_import.h"
#include "import/signal_details.h"
#include "import/xml_import.h"
#include "recovery/recovery_store.h"
#include "table/signal_filter.h"
#include "table/signal_table.h"
#include "update/table_update.h"
#include "update/update_report.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QSortFilterProxyModel>
#include <QTemporaryDir>
#include <QThread>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <type_traits>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

// Targets on the reference machine (2 cores).
constexpr double dbcImportTarget = 0.25;
constexpr double xmlImportTarget = 0.3;
constexpr double csvLoadTarget = 0.3;
constexpr double csvSaveTarget = 0.2;
constexpr double keyChoiceTarget = 0.005;
constexpr double recoveryPauseTarget = 0.05;
constexpr double dbcUpdateTarget = 0.4;
constexpr double reportTextTarget = 0.05;
constexpr double peakMemoryTargetMb = 150.0;
constexpr double undoTarget = 0.001;
constexpr double historyTargetMb = 5.0;
constexpr double filterTarget = 0.03;
// Whole processes: the 100,000-signal export in at most half the time of the build
// given with --old, in 32 MB; a million signals in 1.2 s and 200 MB; an update at most
// 1.5 times an export of the new file, in time and in memory.
constexpr double exportOldShare = 0.5;
constexpr double exportPeakTargetMb = 32.0;
constexpr double millionExportTarget = 1.2;
constexpr double millionPeakTargetMb = 200.0;
constexpr double updateOverExport = 1.5;
// A results CSV loads in at most the time of a DBC import of the same rows.
constexpr double csvOverDbcImport = 1.0;
// A comment and value descriptions for every signal, against the same file without them.
constexpr double detailsImportRatio = 1.3;
constexpr double detailsMemoryRatio = 1.5;
constexpr double detailsPaneTarget = 0.005;
constexpr double suggestTarget = 0.3;
constexpr double suggestPanelTarget = 0.5;
constexpr double suggestHeapTargetMb = 20.0;

void print(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

void fail(const QString &text)
{
    std::fputs((text + u'\n').toLocal8Bit().constData(), stderr);
    std::exit(1);
}

// ---- Floors -------------------------------------------------------------------------

// Reads the file in the chunks the program's line reader uses and counts line feeds,
// decoding and keeping nothing.
qint64 countLineEnds(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Cannot open %1").arg(fileName));
    std::vector<char> buffer(256 * 1024);
    qint64 ends = 0;
    qint64 got = 0;
    while ((got = file.read(buffer.data(), qint64(buffer.size()))) > 0) {
        const char *at = buffer.data();
        const char *const end = at + got;
        while ((at = static_cast<const char *>(std::memchr(at, '\n', std::size_t(end - at))))) {
            ++ends;
            ++at;
        }
    }
    return ends;
}

void writeBytes(const QString &fileName, const QByteArray &bytes)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        fail(QStringLiteral("Cannot write %1").arg(fileName));
}

// ---- Peak memory --------------------------------------------------------------------

// A field of /proc/self/status in kB, such as "VmHWM".
qint64 statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').front().toLongLong();
    }
    return -1;
}

// The --memory mode: load the results CSV into the window's table and nothing else.
int runMemory(QString csv)
{
    QTemporaryDir dir;
    if (csv.isEmpty()) {
        csv = dir.filePath(QStringLiteral("big.csv"));
        const QString error = writeBenchCsv(csv);
        if (!error.isEmpty())
            fail(error);
    }
    const qint64 before = statusKb("VmHWM");
    SignalTable table;
    ImportResult result = LoadCSV(csv);
    if (!result.ok())
        fail(result.error);
    table.replace(std::move(result.table));
    print(QStringLiteral("rows: %1\nVmHWM before: %2 kB\nVmRSS: %3 kB\nVmHWM: %4 kB\n")
                  .arg(table.grid().rows() - 1)
                  .arg(before)
                  .arg(statusKb("VmRSS"))
                  .arg(statusKb("VmHWM")));
    return 0;
}

struct MemoryFigures
{
    double peakMb = -1;
    double beforeMb = -1;
};

// Runs the --memory mode in a process of its own, so the other cases do not raise
// the peak.
MemoryFigures measureMemory(const QString &csv)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--memory"), csv});
    if (!child.waitForFinished(120'000) || child.exitCode() != 0)
        fail(QStringLiteral("The --memory run failed: %1").arg(QString::fromLocal8Bit(child.readAllStandardError())));
    MemoryFigures figures;
    for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() < 3)
            continue;
        if (line.startsWith("VmHWM:"))
            figures.peakMb = parts[1].toDouble() / 1024.0;
        else if (line.startsWith("VmHWM before:"))
            figures.beforeMb = parts[2].toDouble() / 1024.0;
    }
    return figures;
}

// ---- The table of results ------------------------------------------------------------

struct Line
{
    QString name;
    QString input;
    QString result;
    QString ratio;
    QString target;
    QString verdict;
};

QString seconds(double s)
{
    if (s < 0.001)
        return QStringLiteral("%1 us").arg(s * 1e6, 0, 'f', 1);
    if (s < 0.1)
        return QStringLiteral("%1 ms").arg(s * 1e3, 0, 'f', 2);
    return QStringLiteral("%1 s").arg(s, 0, 'f', 3);
}

QString megabytes(qint64 bytes)
{
    return QStringLiteral("%1 MB").arg(double(bytes) / 1e6, 0, 'f', 1);
}

QString fileSize(const QString &fileName, qint64 lines)
{
    return QStringLiteral("%1, %2 lines").arg(megabytes(QFileInfo(fileName).size())).arg(lines);
}

Line timed(const QString &name, const QString &input, double s, std::optional<double> floor,
           std::optional<double> target)
{
    Line line{name, input, seconds(s), QStringLiteral("-"), QStringLiteral("-"), QString()};
    if (floor)
        line.ratio = QStringLiteral("%1x").arg(s / *floor, 0, 'f', 1);
    if (target) {
        line.target = seconds(*target);
        line.verdict = s <= *target ? QStringLiteral("ok") : QStringLiteral("MISSED");
    }
    return line;
}

void printTable(const std::vector<Line> &lines)
{
    const Line heading{QStringLiteral("case"), QStringLiteral("input"), QStringLiteral("median"),
                       QStringLiteral("x floor"), QStringLiteral("target"), QString()};
    std::array<qsizetype, 5> width{};
    auto widen = [&width](const Line &line) {
        const std::array<const QString *, 5> cells = {&line.name, &line.input, &line.result, &line.ratio,
                                                      &line.target};
        for (std::size_t i = 0; i < cells.size(); ++i)
            width[i] = std::max(width[i], cells[i]->size());
    };
    widen(heading);
    for (const Line &line : lines)
        widen(line);
    auto row = [&width](const Line &line) {
        return line.name.leftJustified(width[0]) + QStringLiteral("  ") + line.input.leftJustified(width[1])
                + QStringLiteral("  ") + line.result.rightJustified(width[2]) + QStringLiteral("  ")
                + line.ratio.rightJustified(width[3]) + QStringLiteral("  ") + line.target.rightJustified(width[4])
                + QStringLiteral("  ") + line.verdict + u'\n';
    };
    print(row(heading));
    for (const Line &line : lines)
        print(row(line));
}

// ---- The cases -----------------------------------------------------------------------

// The floor of one input: reading its bytes and finding its line ends.
struct Floor
{
    double seconds = 0;
    QString input; // the size and line count, as the table shows it
};

Floor timeFloor(const QString &fileName, const QString &name, int runs, std::vector<Line> &lines)
{
    qint64 lineEnds = 0;
    Floor floor;
    floor.seconds = medianSeconds(runs, [&] { lineEnds = countLineEnds(fileName); });
    floor.input = fileSize(fileName, lineEnds);
    lines.push_back(timed(name, floor.input, floor.seconds, floor.seconds, {}));
    return floor;
}

// Times a command that reads a file into the table as the window does: the reader
// builds a new table from the file and the table the window shows, which it then
// replaces (freeing the table of the run before).
template<typename Read>
double timeRead(SignalTable &table, const QString &name, const Floor &floor, double target, int runs,
                std::vector<Line> &lines, Read &&read)
{
    const double s = medianSeconds(runs, [&] {
        ImportResult result = read();
        if (!result.ok())
            fail(result.error);
        table.replace(std::move(result.table));
    });
    if (table.grid().rows() != benchSignals + 1)
        fail(QStringLiteral("%1 gave %2 rows").arg(name).arg(table.grid().rows()));
    lines.push_back(timed(name, floor.input, s, floor.seconds, target));
    return s;
}

// Saves the loaded table, against the floor of writing the loaded file's bytes the
// same way (QSaveFile, which also syncs the file to disk).
void timeSave(const SignalTable &table, const QString &loadedCsv, const QString &folder, int runs,
              std::vector<Line> &lines)
{
    QFile loaded(loadedCsv);
    if (!loaded.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Cannot open %1").arg(loadedCsv));
    const QByteArray bytes = loaded.readAll();
    const QString saved = QDir(folder).filePath(QStringLiteral("saved.csv"));
    const double floor = medianSeconds(runs, [&] { writeBytes(saved, bytes); });
    lines.push_back(timed(QStringLiteral("floor: write CSV bytes (QSaveFile)"), megabytes(bytes.size()), floor, floor,
                          {}));
    const double s = medianSeconds(runs, [&] {
        const QString error = writeResultsCsv(table.grid(), saved);
        if (!error.isEmpty())
            fail(error);
    });
    if (QFileInfo(saved).size() != bytes.size())
        fail(QStringLiteral("The saved CSV differs in size from the loaded one"));
    QFile::remove(saved);
    lines.push_back(timed(QStringLiteral("CSV save (writeResultsCsv)"), megabytes(bytes.size()), s, floor,
                          csvSaveTarget));
}

// A signal row whose key `count` rows hold, after row `after`.
int rowWithKeyCount(const TableData &grid, qsizetype count, int after = 0)
{
    for (int row = after + 1; row < grid.rows(); ++row) {
        if (grid.keyIndex().count(grid.text(row, Col::Key)) == count)
            return row;
    }
    fail(QStringLiteral("No row whose key %1 rows hold").arg(count));
    return -1;
}

struct KeyChoice
{
    QString name;
    int row;
    QString key;
};

// Chooses a key on the loaded table, and after each timed run the row's old key
// again, so every run starts from the loaded state.
Line timeKeyChoice(SignalTable &table, const KeyChoice &choice, int runs)
{
    const QString oldKey = table.grid().text(choice.row, Col::Key);
    const double s = medianSeconds(
            runs, [] {}, [&] { table.chooseKey(choice.row, choice.key); },
            [&] { table.chooseKey(choice.row, oldKey); });
    return timed(choice.name, QStringLiteral("%1 rows").arg(benchSignals), s, std::nullopt, keyChoiceTarget);
}

// Key choices that change the marks of a pair, of two rows with keys of their own
// and of a large group.
void timeKeyChoices(SignalTable &table, int runs, std::vector<Line> &lines)
{
    const TableData &grid = table.grid();
    const int pairRow = rowWithKeyCount(grid, 2);
    const int single = rowWithKeyCount(grid, 1);
    const int otherSingle = rowWithKeyCount(grid, 1, single);
    const int groupRow = rowWithKeyCount(grid, 100);
    const QString unused = QStringLiteral("ZZZZ");
    if (grid.keyIndex().count(unused) != 0)
        fail(QStringLiteral("The key ZZZZ is in use"));
    const std::vector<KeyChoice> choices = {
            {QStringLiteral("key choice: leave a pair (2 cells turn yellow)"), pairRow, unused},
            {QStringLiteral("key choice: share a key (2 cells turn red)"), single, grid.text(otherSingle, Col::Key)},
            {QStringLiteral("key choice: join the group of 100"), single, grid.text(groupRow, Col::Key)},
            {QStringLiteral("key choice: leave the group of 100"), groupRow, unused},
    };
    for (const KeyChoice &choice : choices)
        lines.push_back(timeKeyChoice(table, choice, runs));
}

// The recovery copy of the loaded table: the window's thread only copies the table
// (its texts are shared, not copied), a worker thread then writes the copy.
void timeRecoveryCopy(const SignalTable &table, const QString &folder, int runs, std::vector<Line> &lines)
{
    const QString input = QStringLiteral("%1 rows").arg(benchSignals);
    TableData snapshot;
    const double pause = medianSeconds(
            runs, [&] { snapshot = TableData(); }, [&] { snapshot = table.grid(); }, [] {});
    lines.push_back(timed(QStringLiteral("recovery copy: window's pause (table copy)"), input, pause, std::nullopt,
                          recoveryPauseTarget));
    RecoveryStore store(QDir(folder).filePath(QStringLiteral("recovery")));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const double write = medianSeconds(runs, [&] {
        const QString error = store.write(snapshot, QStringLiteral("bench.dbc"), now);
        if (!error.isEmpty())
            fail(error);
    });
    // What the next start does with the copy before it offers it: read it whole,
    // check its checksum and every entry.
    const RecoveryCopy copy{store.ownId(), {}, {}, 0};
    const double read = medianSeconds(runs, [&] {
        const ImportResult result = store.load(copy);
        if (!result.ok())
            fail(result.error);
    });
    store.removeOwn();
    lines.push_back(timed(QStringLiteral("recovery copy: write on the worker thread"), input, write, std::nullopt,
                          std::nullopt));
    lines.push_back(timed(QStringLiteral("recovery copy: read and check"), input, read, std::nullopt, std::nullopt));
}

// Updates the loaded channel list from the revised DBC as File > Update from DBC/XML
// does (read, match, carry over, replace), every run starting from the loaded table,
// beside the plain import of the same file and the making of the report's text.
void timeUpdate(SignalTable &table, const BenchInputs &inputs, int runs, std::vector<Line> &lines)
{
    const TableData loaded = table.grid();
    const Floor floor = timeFloor(inputs.dbcRevision, QStringLiteral("floor: read DBC revision, find line ends"),
                                  runs, lines);
    const auto read = [&] {
        double messageId = 0;
        ImportResult result = ReadDBC(inputs.dbcRevision, table.grid(), messageId);
        if (!result.ok())
            fail(result.error);
        return result;
    };
    const double import = medianSeconds(runs, [&] { table.replace(read().table); });
    lines.push_back(timed(QStringLiteral("DBC import of the revision (ReadDBC + replace)"), floor.input, import,
                          floor.seconds, dbcImportTarget));

    UpdateReport report;
    const double update = medianSeconds(
            runs, [&] { table.replace(loaded); },
            [&] {
                TableUpdate result = updateTable(table.grid(), read().table, inputs.dbcRevision);
                table.applyUpdate(std::move(result.table), inputs.dbcRevision);
                report = std::move(result.report);
            },
            [] {});
    if (report.kept + report.moved + report.removed != benchSignals || report.moved == 0 || report.added == 0)
        fail(QStringLiteral("The update found %1").arg(summaryLines(report).join(u' ')));
    lines.push_back(timed(QStringLiteral("DBC update (ReadDBC + updateTable + applyUpdate)"),
                          QStringLiteral("%1 kept, %2 moved, %3 added, %4 removed")
                                  .arg(report.kept)
                                  .arg(report.moved)
                                  .arg(report.added)
                                  .arg(report.removed),
                          update, floor.seconds, dbcUpdateTarget));

    qsizetype length = 0;
    const double text = medianSeconds(runs, [&] { length = reportText(report).size(); });
    lines.push_back(timed(QStringLiteral("update report text (reportText)"),
                          QStringLiteral("%1 changed signals, %2 characters")
                                  .arg(report.changedSignals.size())
                                  .arg(length),
                          text, std::nullopt, reportTextTarget));
}

// ---- Undo and redo -------------------------------------------------------------------

// Times undoing (or redoing) one step that `change` makes on the loaded table; the
// table is back as loaded after every run.
Line timeUndo(SignalTable &table, const QString &name, bool redo, int runs, const std::function<void()> &change)
{
    QUndoStack &history = table.history();
    const double s = medianSeconds(
            runs,
            [&] {
                change();
                if (redo)
                    history.undo();
            },
            [&] { redo ? history.redo() : history.undo(); }, [&] {
                if (redo)
                    history.undo();
            });
    return timed(name, QStringLiteral("%1 rows").arg(benchSignals), s, std::nullopt, undoTarget);
}

void timeUndoRedo(SignalTable &table, int runs, std::vector<Line> &lines)
{
    const TableData &grid = table.grid();
    const int single = rowWithKeyCount(grid, 1);
    const int groupRow = rowWithKeyCount(grid, 100);
    const QString groupKey = grid.text(groupRow, Col::Key);
    const auto joinGroup = [&] { table.chooseKey(single, groupKey); };
    const auto editName = [&] { table.editText(single, Col::Name, QStringLiteral("Renamed")); };
    TableData copy = grid;
    const auto swapTable = [&] { table.replaceUndoable(copy, QStringLiteral("update")); };
    lines.push_back(timeUndo(table, QStringLiteral("undo: key choice joining the group of 100"), false, runs, joinGroup));
    lines.push_back(timeUndo(table, QStringLiteral("redo: key choice joining the group of 100"), true, runs, joinGroup));
    lines.push_back(timeUndo(table, QStringLiteral("undo: text edit"), false, runs, editName));
    lines.push_back(timeUndo(table, QStringLiteral("undo: whole table replaced (swap)"), false, runs, swapTable));
    lines.push_back(timeUndo(table, QStringLiteral("redo: whole table replaced (swap)"), true, runs, swapTable));
    table.history().clear();
}

// Bytes the allocator hands out now, or -1 where it cannot tell.
qint64 heapInUse()
{
#if defined(__GLIBC__)
    // Large blocks (a table's pool of texts, say) are mapped apart from the heap.
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
#else
    return -1;
#endif
}

// The heap a history of 10,000 steps holds: key choices that mark and unmark pairs,
// or text edits of the Name column.
Line historyMemory(SignalTable &table, const QString &name, bool keys)
{
    constexpr int steps = 10'000;
    const TableData loaded = table.grid();
    table.history().clear();
    for (int step = 0; step < steps; ++step) {
        const int row = 1 + step % 1000;
        if (keys)
            table.chooseKey(row, step / 1000 % 2 ? QStringLiteral("ZZZZ") : QStringLiteral("YYYY"));
        else
            table.editText(row, Col::Name, QStringLiteral("Edited name %1").arg(step));
    }
    // Only what the history holds counts, not the longer texts the table holds now.
    const qint64 withHistory = heapInUse();
    table.history().clear();
    const double mb = double(withHistory - heapInUse()) / 1e6;
    table.replace(loaded);
    return {name, QStringLiteral("%1 steps").arg(steps), QStringLiteral("%1 MB").arg(mb, 0, 'f', 2),
            QStringLiteral("-"), QStringLiteral("%1 MB").arg(historyTargetMb, 0, 'f', 0),
            mb <= historyTargetMb ? QStringLiteral("ok") : QStringLiteral("MISSED")};
}

// ---- Find and filter -----------------------------------------------------------------

// The same filter built on QSortFilterProxyModel, to compare with the model of our own.
class SortFilterBaseline : public QSortFilterProxyModel
{
public:
    explicit SortFilterBaseline(SignalTable &table) : m_table(table)
    {
        setDynamicSortFilter(false);
        m_matcher.emplace(FindCriteria{}, table.grid());
        setSourceModel(&table);
    }
    void setCriteria(const FindCriteria &criteria)
    {
        m_matcher.emplace(criteria, m_table.grid());
        invalidateFilter();
        rowCount(); // the mapping is built when first asked for
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex &) const override
    {
        return m_matcher->showsRow(row + m_table.grid().fixedRows());
    }

private:
    SignalTable &m_table;
    std::optional<RowMatcher> m_matcher;
};

// The slowest keystroke of typing `typed` into the find field: each keystroke is timed
// from the criteria of the keystroke before. The program's own filter has a target;
// QSortFilterProxyModel, which it does not use, is timed for comparison only.
template<typename Filter>
Line timeTyping(Filter &filter, const QString &name, FindCriteria criteria, const QString &typed, int runs)
{
    double slowest = 0;
    for (qsizetype length = 1; length <= typed.size(); ++length) {
        FindCriteria before = criteria;
        before.text = typed.left(length - 1);
        criteria.text = typed.left(length);
        slowest = std::max(slowest, medianSeconds(
                                            runs, [&] { filter.setCriteria(before); },
                                            [&] { filter.setCriteria(criteria); }, [] {}));
    }
    const bool ours = std::is_same_v<Filter, SignalFilterModel>;
    return timed(name, QStringLiteral("%1 rows, \"%2\"").arg(benchSignals).arg(typed), slowest, std::nullopt,
                 ours ? std::optional<double>(filterTarget) : std::nullopt);
}

void timeFilter(SignalTable &table, int runs, std::vector<Line> &lines)
{
    SignalFilterModel filter(table);
    FindCriteria shown;
    shown.onlyMatching = true;
    FindCriteria description = shown;
    description.column = Col::Description;
    lines.push_back(timeTyping(filter, QStringLiteral("filter: typing, every column, any case"), shown,
                               QStringLiteral("sig_123"), runs));
    lines.push_back(timeTyping(filter, QStringLiteral("filter: typing, scattered rows (Description)"), description,
                               QStringLiteral("ecu3"), runs));
    lines.push_back(timeTyping(filter, QStringLiteral("find without filter: typing, every column"), FindCriteria{},
                               QStringLiteral("ecu3"), runs));
    FindCriteria quick = shown;
    quick.sharedKey = true;
    lines.push_back(timeTyping(filter, QStringLiteral("filter: rows whose key is shared, typing"), quick,
                               QStringLiteral("sig"), runs));
    SortFilterBaseline baseline(table);
    lines.push_back(timeTyping(baseline, QStringLiteral("for comparison, QSortFilterProxyModel: every column"), shown,
                               QStringLiteral("sig_123"), runs));
    lines.push_back(timeTyping(baseline, QStringLiteral("for comparison, QSortFilterProxyModel: scattered rows"),
                               description, QStringLiteral("ecu3"), runs));
}

// The heap a table read from `dbc` holds, and the median time of reading it.
struct DbcFigures
{
    double seconds = 0;
    qint64 heapBytes = 0;
};

DbcFigures measureDbc(const QString &dbc, int runs)
{
    TableData held;
    const auto import = [&] {
        double messageId = 0;
        ImportResult result = ReadDBC(dbc, TableData::standard(), messageId);
        if (!result.ok())
            fail(result.error);
        held = std::move(result.table);
    };
    DbcFigures figures;
    figures.seconds = medianSeconds(runs, [&] { held = TableData(); }, import, [] {});
    held = TableData();
    const qint64 before = heapInUse();
    import();
    figures.heapBytes = heapInUse() - before;
    return figures;
}

// The DBC with a comment and value descriptions for every signal, against the same
// signals without them: import time and the heap the table holds, and a find that
// also looks through the details.
void timeDetails(const BenchInputs &inputs, int runs, std::vector<Line> &lines)
{
    timeFloor(inputs.dbcDetailed, QStringLiteral("floor: read DBC with details, find line ends"), runs, lines);
    const DbcFigures plain = measureDbc(inputs.dbc, runs);
    const DbcFigures detailed = measureDbc(inputs.dbcDetailed, runs);
    const QString input = QStringLiteral("%1 vs. %2").arg(megabytes(QFileInfo(inputs.dbcDetailed).size()),
                                                          megabytes(QFileInfo(inputs.dbc).size()));
    Line import = timed(QStringLiteral("DBC import, comment + values per signal (x plain)"), input, detailed.seconds,
                        plain.seconds, plain.seconds * detailsImportRatio);
    lines.push_back(import);
    const double ratio = double(detailed.heapBytes) / double(plain.heapBytes);
    lines.push_back({QStringLiteral("heap of that table, details included (x plain)"),
                     QStringLiteral("plain %1").arg(megabytes(plain.heapBytes)), megabytes(detailed.heapBytes),
                     QStringLiteral("%1x").arg(ratio, 0, 'f', 2), QStringLiteral("%1x").arg(detailsMemoryRatio, 0, 'f', 1),
                     ratio <= detailsMemoryRatio ? QStringLiteral("ok") : QStringLiteral("MISSED")});

    SignalTable table;
    double messageId = 0;
    ImportResult result = ReadDBC(inputs.dbcDetailed, table.grid(), messageId);
    table.replace(std::move(result.table));
    // The pane's text for rows spread over the table: the slowest of a sample, since one
    // slow move is what the user notices.
    double slowest = 0;
    const TableData &grid = table.grid();
    const int step = std::max(1, grid.rows() / 1000);
    for (int row = 1; row < grid.rows(); row += step) {
        QString text;
        slowest = std::max(slowest, medianSeconds(3, [&] { text = detailsText(grid, row); }));
    }
    lines.push_back(timed(QStringLiteral("details pane: the text of a row, slowest of 1,000 rows"),
                          QStringLiteral("%1 rows").arg(grid.rows() - 1), slowest, std::nullopt, detailsPaneTarget));

    SignalFilterModel filter(table);
    FindCriteria shown;
    shown.onlyMatching = true;
    lines.push_back(timeTyping(filter, QStringLiteral("filter: typing, every column and the details"), shown,
                               QStringLiteral("ecu3"), runs));
    lines.push_back(timed(QStringLiteral("suggestions panel opening: the table's signals, 3 per key"),
                          QStringLiteral("49 keys, %1 rows with details").arg(table.grid().rows() - 1),
                          suggestionPanelSeconds(table.grid(), runs), std::nullopt, suggestPanelTarget));
}

// ---- Key suggestions ----------------------------------------------------------------

QString share(int part, int whole)
{
    return whole ? QStringLiteral("%1% (%2 of %3)").arg(100.0 * part / whole, 0, 'f', 1).arg(part).arg(whole)
                 : QStringLiteral("-");
}

void timeSuggestions(int runs, std::vector<Line> &lines)
{
    const SuggestBenchFigures figures = measureSuggestions(runs);
    const QString input = QStringLiteral("%1 keys, %2 signals").arg(figures.keyCount).arg(figures.signalCount);
    lines.push_back(timed(QStringLiteral("suggestions: read the signals (KeyMatcher)"), input, figures.indexSeconds,
                          std::nullopt, std::nullopt));
    lines.push_back(timed(QStringLiteral("suggestions: 3 per key with reasons (suggest)"), input,
                          figures.suggestSeconds, std::nullopt, std::nullopt));
    lines.push_back(timed(QStringLiteral("suggestions: both"), input, figures.totalSeconds, std::nullopt,
                          suggestTarget));
    lines.push_back({QStringLiteral("suggestions: heap of the matcher and its suggestions"), input,
                     QStringLiteral("%1 MB").arg(figures.heapMb, 0, 'f', 1), QStringLiteral("-"),
                     QStringLiteral("%1 MB").arg(suggestHeapTargetMb, 0, 'f', 0),
                     figures.heapMb <= suggestHeapTargetMb ? QStringLiteral("ok") : QStringLiteral("MISSED")});
    if (!figures.qualityError.isEmpty()) {
        lines.push_back({QStringLiteral("suggestions on the labelled corpus"), figures.qualityError, QString(),
                         QString(), QString(), QStringLiteral("MISSED")});
        return;
    }
    const SuggestionFigures &q = figures.quality;
    const QString corpus = QStringLiteral("labelled DBC corpus");
    const auto floorLine = [&](const QString &name, int part, int whole, double floor) {
        const bool ok = whole > 0 && double(part) / whole >= floor;
        lines.push_back({name, corpus, share(part, whole), QStringLiteral("-"),
                         QStringLiteral(">= %1%").arg(floor * 100, 0, 'f', 0),
                         ok ? QStringLiteral("ok") : QStringLiteral("MISSED")});
    };
    floorLine(QStringLiteral("suggestions: accepted signal among the 3"), q.inTopThree, q.keysWithSignal, 0.90);
    floorLine(QStringLiteral("suggestions: accepted signal first"), q.first, q.keysWithSignal, 0.75);
    floorLine(QStringLiteral("suggestions: no confident one where none fits"), q.withoutConfident, q.keysWithout,
              0.80);
}

Line memoryLine(const QString &csv)
{
    const MemoryFigures memory = measureMemory(csv);
    return {QStringLiteral("peak RSS holding the loaded table (--memory)"),
            QStringLiteral("%1 rows (%2 MB before loading)").arg(benchSignals).arg(memory.beforeMb, 0, 'f', 1),
            QStringLiteral("%1 MB").arg(memory.peakMb, 0, 'f', 1),
            QStringLiteral("-"),
            QStringLiteral("%1 MB").arg(peakMemoryTargetMb, 0, 'f', 0),
            memory.peakMb <= peakMemoryTargetMb ? QStringLiteral("ok") : QStringLiteral("MISSED")};
}

Line ratioLine(const QString &name, const QString &input, double ratio, double target)
{
    return {name, input, QStringLiteral("%1x").arg(ratio, 0, 'f', 2), QStringLiteral("-"),
            QStringLiteral("%1x").arg(target, 0, 'f', 2), ratio <= target ? QStringLiteral("ok") : QStringLiteral("MISSED")};
}

// ---- Whole processes -----------------------------------------------------------------

struct Programs
{
    QString tessaly;
    QString old; // empty: none to compare with
    bool million = true;
};

QString processResult(const ProcessFigures &figures)
{
    return QStringLiteral("%1 (cpu %2), %3 MB")
            .arg(seconds(figures.seconds), seconds(figures.cpuSeconds))
            .arg(figures.peakMb, 0, 'f', 1);
}

// A whole run, against a time and a peak-memory target where there is one.
Line processLine(const QString &name, const QString &input, const ProcessFigures &figures,
                 std::optional<double> timeTarget, std::optional<double> peakTargetMb)
{
    if (!figures.error.isEmpty())
        fail(figures.error);
    QStringList targets;
    bool met = true;
    if (timeTarget) {
        targets.append(seconds(*timeTarget));
        met = met && figures.seconds <= *timeTarget;
    }
    if (peakTargetMb) {
        targets.append(QStringLiteral("%1 MB").arg(*peakTargetMb, 0, 'f', 0));
        met = met && figures.peakMb <= *peakTargetMb;
    }
    return {name, input, processResult(figures), QStringLiteral("-"),
            targets.isEmpty() ? QStringLiteral("-") : targets.join(QStringLiteral(", ")),
            targets.isEmpty() ? QString() : (met ? QStringLiteral("ok") : QStringLiteral("MISSED"))};
}

// The program (and the older build) at one size: the exports and the update, taking
// turns, and the update against the export of its new file.
void timeSize(const Programs &programs, const BenchInputs &inputs, int signalCount, const QString &folder, int runs,
              std::vector<Line> &lines)
{
    const QString out = QDir(folder).filePath(QStringLiteral("process_out.csv"));
    const QString rows = QStringLiteral("%1 signals").arg(signalCount);
    const bool million = signalCount >= 1'000'000;
    QStringList builds{programs.tessaly};
    if (!programs.old.isEmpty())
        builds.prepend(programs.old);
    const auto run = [&](const QStringList &arguments) { return runProcesses(builds, arguments, runs); };
    const auto exportDbc = run({QStringLiteral("--export"), out, inputs.dbc});
    const auto exportCsv = run({QStringLiteral("--export"), out, inputs.csv});
    const auto revision = run({QStringLiteral("--export"), out, inputs.dbcRevision});
    const auto update = run({QStringLiteral("--update"), inputs.csv, inputs.dbcRevision, QStringLiteral("--export"), out});
    QFile::remove(out);
    for (std::size_t b = 0; b < std::size_t(builds.size()); ++b) {
        const bool old = !programs.old.isEmpty() && b == 0;
        const QString label = old ? QStringLiteral("old: ") : QString();
        std::optional<double> exportTarget;
        if (million)
            exportTarget = millionExportTarget;
        else if (!old && !programs.old.isEmpty())
            exportTarget = exportDbc.front().seconds * exportOldShare;
        lines.push_back(processLine(label + QStringLiteral("tessaly --export of the DBC"), rows, exportDbc[b],
                                    exportTarget, million ? millionPeakTargetMb : exportPeakTargetMb));
        lines.push_back(processLine(label + QStringLiteral("tessaly --export of the results CSV"), rows, exportCsv[b],
                                    std::nullopt, std::nullopt));
        lines.push_back(processLine(label + QStringLiteral("tessaly --export of the DBC revision"), rows, revision[b],
                                    std::nullopt, std::nullopt));
        lines.push_back(processLine(label + QStringLiteral("tessaly --update CSV revision --export"), rows, update[b],
                                    std::nullopt, std::nullopt));
        lines.push_back(ratioLine(label + QStringLiteral("  update / export of the revision: time"), rows,
                                  update[b].seconds / revision[b].seconds, updateOverExport));
        lines.push_back(ratioLine(label + QStringLiteral("  update / export of the revision: memory"), rows,
                                  update[b].peakMb / revision[b].peakMb, updateOverExport));
    }
}

void timeProcesses(const Programs &programs, const BenchInputs &inputs, const QString &folder, int runs,
                   std::vector<Line> &lines)
{
    timeSize(programs, inputs, benchSignals, folder, runs, lines);
    if (!programs.million)
        return;
    BenchInputs million;
    print(QStringLiteral("Writing the inputs of 1,000,000 signals ...\n"));
    const QString error = writeBenchInputs(folder, million, 1'000'000, false);
    if (!error.isEmpty())
        fail(error);
    timeSize(programs, million, 1'000'000, folder, runs, lines);
}

std::vector<Line> runAll(const BenchInputs &inputs, const QString &folder, int runs)
{
    std::vector<Line> lines;
    SignalTable table;

    const Floor dbc = timeFloor(inputs.dbc, QStringLiteral("floor: read DBC, find line ends"), runs, lines);
    const double dbcImport = timeRead(table, QStringLiteral("DBC import (ReadDBC + replace)"), dbc, dbcImportTarget,
                                      runs, lines, [&] {
        double messageId = 0;
        return ReadDBC(inputs.dbc, table.grid(), messageId);
    });
    timeDetails(inputs, runs, lines);

    const Floor xml = timeFloor(inputs.xml, QStringLiteral("floor: read XML, find line ends"), runs, lines);
    timeRead(table, QStringLiteral("XML import (ReadXML + replace)"), xml, xmlImportTarget, runs, lines,
             [&] { return ReadXML(inputs.xml, table.grid()); });

    const Floor csv = timeFloor(inputs.csv, QStringLiteral("floor: read CSV, find line ends"), runs, lines);
    const double csvLoad = timeRead(table, QStringLiteral("CSV load (LoadCSV + replace)"), csv, csvLoadTarget, runs,
                                    lines, [&] { return LoadCSV(inputs.csv); });
    lines.push_back(ratioLine(QStringLiteral("CSV load / DBC import of the same rows"),
                              QStringLiteral("%1 rows").arg(benchSignals), csvLoad / dbcImport, csvOverDbcImport));

    timeSave(table, inputs.csv, folder, runs, lines);
    timeKeyChoices(table, runs, lines);
    timeRecoveryCopy(table, folder, runs, lines);
    timeUpdate(table, inputs, runs, lines);
    timeUndoRedo(table, runs, lines);
    lines.push_back(historyMemory(table, QStringLiteral("undo history: key choices (heap)"), true));
    lines.push_back(historyMemory(table, QStringLiteral("undo history: text edits (heap)"), false));
    timeFilter(table, runs, lines);
    timeSuggestions(runs, lines);
    lines.push_back(memoryLine(inputs.csv));
    return lines;
}

void usage()
{
    print(QStringLiteral("Usage: tessaly_bench [--runs N] [--keep DIR] [--tessaly PROGRAM] [--old PROGRAM] [--quick]\n"
                         "       tessaly_bench --memory [CSV]\n"
                         "       tessaly_bench --suggest [--runs N]\n"));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (!args.isEmpty() && args.front() == u"--memory")
        return runMemory(args.size() > 1 ? args[1] : QString());

    int runs = 7;
    QString keepFolder;
    Programs programs;
    programs.tessaly = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../src/tessaly"));
    bool onlySuggestions = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == u"--suggest") {
            onlySuggestions = true;
        } else if (args[i] == u"--runs" && i + 1 < args.size()) {
            runs = std::max(1, args[++i].toInt());
        } else if (args[i] == u"--keep" && i + 1 < args.size()) {
            keepFolder = args[++i];
        } else if (args[i] == u"--tessaly" && i + 1 < args.size()) {
            programs.tessaly = args[++i];
        } else if (args[i] == u"--old" && i + 1 < args.size()) {
            programs.old = args[++i];
        } else if (args[i] == u"--quick") {
            programs.million = false;
        } else {
            usage();
            return args[i] == u"--help" ? 0 : 2;
        }
    }

    if (onlySuggestions) {
        std::vector<Line> lines;
        timeSuggestions(runs, lines);
        printTable(lines);
        return 0;
    }

    QTemporaryDir temporary;
    const QString folder = keepFolder.isEmpty() ? temporary.path() : keepFolder;
    if (!QDir().mkpath(folder))
        fail(QStringLiteral("Cannot create %1").arg(folder));
    BenchInputs inputs;
    print(QStringLiteral("Writing the inputs to %1 ...\n").arg(QDir::toNativeSeparators(folder)));
    const QString error = writeBenchInputs(folder, inputs);
    if (!error.isEmpty())
        fail(error);

    print(QStringLiteral("Qt %1, %2 signals, median of %3 runs after one warm-up run, %4 CPUs\n\n")
                  .arg(QString::fromLatin1(qVersion()))
                  .arg(benchSignals)
                  .arg(runs)
                  .arg(QThread::idealThreadCount()));
    std::vector<Line> lines = runAll(inputs, folder, runs);
    if (QFileInfo(programs.tessaly).isExecutable())
        timeProcesses(programs, inputs, folder, runs, lines);
    else
        print(QStringLiteral("No program %1: whole processes skipped\n").arg(programs.tessaly));
    printTable(lines);
    return 0;
}
