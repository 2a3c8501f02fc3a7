#include "app/frm_dbc.h"
#include "app/qt_dialogs.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessaly"));
    QApplication::setApplicationVersion(QStringLiteral(TESSALY_VERSION));
    // The window owns its dialogs; they take the window as their parent.
    auto dialogs = std::make_unique<QtDialogs>();
    QtDialogs *qtDialogs = dialogs.get();
    frmDBC window(std::move(dialogs));
    qtDialogs->setParentWidget(&window);
    window.show();
    return app.exec();
}
