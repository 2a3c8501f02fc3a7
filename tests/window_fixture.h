#pragma once

#include "app/cell_editors.h"
#include "app/frm_dbc.h"
#include "fake_dialogs.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

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
        auto fake = std::make_unique<FakeDialogs>();
        dialogs = fake.get();
        window = std::make_unique<frmDBC>(std::move(fake), keyListPath());
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qWarning("window not exposed");
    }

    static QByteArray defaultKeys()
    {
        return "// keys\r\nENSP;ENG;Engine speed\r\nVSPD;DRV;Vehicle speed\r\nAB;x;Two characters\r\n"
               "ENSPX;ENG;Same first four\r\n";
    }
    QString keyListPath() const { return dir.filePath("Preassigned_keys.CSV"); }
    QString path(const QString &name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    FakeDialogs *dialogs = nullptr;
    std::unique_ptr<frmDBC> window;
};
