#include "bench_processes.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <algorithm>
#include <chrono>
#include <vector>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char **environ;
#endif

namespace {

#ifdef Q_OS_UNIX
// The peak memory of a process started by this one, big itself, would count what this
// one held when it started the program: /usr/bin/time starts it from a small process
// and prints the program's own "Maximum resident set size".
const char *const timeProgram = "/usr/bin/time";

// One run: its wall time in seconds and its peak resident memory in MB (-1 without
// /usr/bin/time); false with `error` set on a failure.
bool runOnce(const QString &program, const QStringList &arguments, double &seconds, double &cpuSeconds,
             double &peakMb, QString &error)
{
    const bool measured = QFileInfo(QString::fromLatin1(timeProgram)).isExecutable();
    QTemporaryFile peakFile;
    std::vector<QByteArray> texts;
    if (measured && peakFile.open())
        texts = {timeProgram, "-f", "%M", "-o", QFile::encodeName(peakFile.fileName())};
    texts.push_back(QFile::encodeName(program));
    for (const QString &argument : arguments)
        texts.push_back(QFile::encodeName(argument));
    std::vector<char *> argv;
    for (QByteArray &text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv.front(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        error = QStringLiteral("cannot start %1: %2").arg(program, qt_error_string(spawned));
        return false;
    }
    int status = 0;
    rusage usage{}; // of the program too where /usr/bin/time started it: it waits for it
    if (wait4(pid, &status, 0, &usage) != pid) {
        error = QStringLiteral("lost %1").arg(program);
        return false;
    }
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto toSeconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    cpuSeconds = toSeconds(usage.ru_utime) + toSeconds(usage.ru_stime);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = QStringLiteral("%1 %2 failed").arg(program, arguments.join(u' '));
        return false;
    }
    peakMb = -1;
    if (texts.front() == timeProgram) {
        bool ok = false;
        const double kb = peakFile.readAll().trimmed().toDouble(&ok);
        if (ok)
            peakMb = kb / 1024.0;
    }
    return true;
}
#endif

} // namespace

std::vector<ProcessFigures> runProcesses(const QStringList &programs, const QStringList &arguments, int runs)
{
    std::vector<ProcessFigures> figures(std::size_t(programs.size()));
#ifdef Q_OS_UNIX
    std::vector<std::vector<double>> times(figures.size());
    std::vector<std::vector<double>> cpuTimes(figures.size());
    for (int run = 0; run < runs; ++run) {
        for (std::size_t p = 0; p < figures.size(); ++p) {
            double seconds = 0;
            double cpuSeconds = 0;
            double peakMb = 0;
            if (!runOnce(programs[qsizetype(p)], arguments, seconds, cpuSeconds, peakMb, figures[p].error))
                return figures;
            times[p].push_back(seconds);
            cpuTimes[p].push_back(cpuSeconds);
            figures[p].peakMb = std::max(figures[p].peakMb, peakMb);
        }
    }
    const auto median = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    for (std::size_t p = 0; p < figures.size(); ++p) {
        figures[p].seconds = median(times[p]);
        figures[p].cpuSeconds = median(cpuTimes[p]);
    }
#else
    Q_UNUSED(arguments);
    Q_UNUSED(runs);
    for (ProcessFigures &f : figures)
        f.error = QStringLiteral("whole processes are measured on Unix only");
#endif
    return figures;
}
