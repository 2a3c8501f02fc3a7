#pragma once

#include "app/cell_editors.h"
#include "app/frm_dbc.h"
#include "fake_dialogs.h"
#include "reader_support.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// One of the project's fixtures in tests/data.
inline QString fixture(const QString &name)
{
    return QDir(QStringLiteral(TESSALY_TEST_DATA)).filePath(name);
}

// A main window on a scripted FakeDialogs, shown, with a key list written into a
// temporary folder.
struct WindowFixture
{
    explicit WindowFixture(const QByteArray &keyList = defaultKeys(), bool writeKeyList = true)
    {
        if (writeKeyList) {
            QFile file(keyListPath());
            if (file.open(QIODevice::WriteOnly))
                file.write(keyList);
        }
        // What the window keeps between runs goes to a test folder, and every
        // fixture starts as a first run.
        QStandardPaths::setTestModeEnabled(true);
        QFile::remove(WindowSettings::standard().file());
        open();
    }

    // Closes the window as the user does and starts it again, as the next run would.
    void restart()
    {
        window->close();
        window.reset();
        open();
    }

    void open()
    {
        auto fake = std::make_unique<FakeDialogs>();
        dialogs = fake.get();
        window = std::make_unique<frmDBC>(std::move(fake), keyListPath());
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qWarning("window not exposed");
    }

    static QByteArray defaultKeys()
    {
        return "// keys\r\nENSP;ENG;Engine speed\r\nVSPD;DRV;Vehicle speed\r\nEOPR;x;Oil pressure\r\n"
               "ENSP;ENG;Same key again\r\n";
    }
    QString keyListPath() const { return dir.filePath("Preassigned_keys.CSV"); }
    QString path(const QString &name) const { return dir.filePath(name); }

    // Runs a menu command; its file dialogs answer `files` in turn.
    void run(const char *menu, const QStringList &files = {})
    {
        dialogs->files = files;
        window->findChild<QAction *>(QLatin1String(menu))->trigger();
    }

    // Clicks into the open text editor and types `text` over what it holds.
    void typeOver(const QString &text)
    {
        QLineEdit *editor = window->textEditor();
        QTest::mouseClick(editor, Qt::LeftButton);
        editor->selectAll();
        QTest::keyClicks(editor, text);
    }

    // Saves through the menu into `file` and returns the bytes written.
    QByteArray saveAs(const QString &file)
    {
        run("mnSaveCSV", {file});
        return readAll(file);
    }

    QTemporaryDir dir;
    FakeDialogs *dialogs = nullptr;
    std::unique_ptr<frmDBC> window;
};
