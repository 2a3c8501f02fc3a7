#include "app/command_line.h"
#include "app/command_line_suggest.h"
#include "app/frm_dbc.h"
#include "app/qt_dialogs.h"
#include "recovery/recovery_store.h"
#include "suggest/suggestion_memory.h"

#include <QApplication>
#include <QTextStream>
#include <QTimer>

#include <csignal>
#include <cstdio>

namespace {

void setNames()
{
    QCoreApplication::setApplicationName(QStringLiteral("tessaly"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TESSALY_VERSION));
}

// Everything that needs no window: help, version, argument errors, --export and --update.
int runWithoutWindow(const CommandLine &line)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    switch (line.mode) {
    case CommandLine::Mode::Help:
    case CommandLine::Mode::Version:
        out << line.text << '\n';
        return 0;
    case CommandLine::Mode::Error:
        err << "tessaly: " << line.text << "\nTry 'tessaly --help' for more information.\n";
        return 2;
    case CommandLine::Mode::Export:
        return exportResultsCsv(line.input, line.output, err);
    case CommandLine::Mode::KeyList:
        return printKeyList(line.keys, out, err);
    case CommandLine::Mode::Update:
        return updateResultsCsv(line, out, err);
    case CommandLine::Mode::Suggest:
        return printSuggestions(line, out, err);
    case CommandLine::Mode::Window:
        break;
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
#ifdef SIGPIPE
    // A pipe whose reader went away must fail the write with a message, not end us.
    std::signal(SIGPIPE, SIG_IGN);
#endif
#ifdef SIGXFSZ
    // So must a file size limit (ulimit -f): the save fails and says why.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    CommandLine line;
    {
        // The arguments decide whether a display is needed at all.
        QCoreApplication core(argc, argv);
        setNames();
        line = parseCommandLine(QCoreApplication::arguments());
        if (line.mode != CommandLine::Mode::Window)
            return runWithoutWindow(line);
    }
    QApplication app(argc, argv);
    setNames();
    // The window owns its dialogs; they take the window as their parent.
    auto dialogs = std::make_unique<QtDialogs>();
    QtDialogs *qtDialogs = dialogs.get();
    frmDBC window(std::move(dialogs), line.keys);
    qtDialogs->setParentWidget(&window);
    window.keepRecoveryCopies(RecoveryStore::defaultFolder());
    window.rememberKeysIn(SuggestionMemory::standardFile());
    window.show();
    QTimer::singleShot(0, &window, [&window, &line] { window.openAtStart(line.input); });
    return app.exec();
}
