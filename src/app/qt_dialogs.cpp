#include "qt_dialogs.h"

#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QUrl>
#include <QVBoxLayout>

Dialogs::Answer QtDialogs::askYesNoCancel(const QString &title, const QString &text)
{
    switch (QMessageBox::question(m_parent, title, text,
                                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                  QMessageBox::Yes)) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

Dialogs::RecoveryAnswer QtDialogs::askRecovery(const QString &title, const QString &text)
{
    // Automated runs (the program's own end-to-end test) answer through the
    // environment instead of a person: "recover", "discard" or "later".
    const QByteArray scripted = qgetenv("TESSALY_RECOVERY_ANSWER");
    if (scripted == "recover")
        return RecoveryAnswer::Recover;
    if (scripted == "discard")
        return RecoveryAnswer::Discard;
    if (scripted == "later")
        return RecoveryAnswer::Later;

    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, m_parent);
    QPushButton *recover = box.addButton(QStringLiteral("Recover"), QMessageBox::AcceptRole);
    QPushButton *discard = box.addButton(QStringLiteral("Discard"), QMessageBox::DestructiveRole);
    QPushButton *later = box.addButton(QStringLiteral("Later"), QMessageBox::RejectRole);
    box.setDefaultButton(recover);
    box.setEscapeButton(later);
    box.exec();
    if (box.clickedButton() == recover)
        return RecoveryAnswer::Recover;
    return box.clickedButton() == discard ? RecoveryAnswer::Discard : RecoveryAnswer::Later;
}

bool QtDialogs::askYesNo(const QString &title, const QString &text)
{
    return QMessageBox::warning(m_parent, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
            == QMessageBox::Yes;
}

void QtDialogs::inform(const QString &title, const QString &text)
{
    QMessageBox::information(m_parent, title, text);
}

void QtDialogs::warn(const QString &title, const QString &text)
{
    QMessageBox::warning(m_parent, title, text);
}

namespace {

// Qt's own dialog, whose name filters match any letter case on every platform.
void prepare(QFileDialog &dialog, const QString &title, const QString &filter)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    dialog.setWindowTitle(title);
    dialog.setNameFilter(filter);
}

} // namespace

QString QtDialogs::chosenFile(QFileDialog &dialog)
{
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList files = dialog.selectedFiles();
    const QString file = files.isEmpty() ? QString() : files.constFirst();
    m_folder = m_folders.afterChoice(file, m_folder);
    return file;
}

bool QtDialogs::showFolder(const QString &folder)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

QString QtDialogs::openFile(const QString &title, const QString &filter)
{
    QFileDialog dialog(m_parent, title, m_folder);
    prepare(dialog, title, filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return chosenFile(dialog);
}

QString QtDialogs::saveFile(const QString &title, const QString &proposal, const QString &filter,
                            const QString &defaultSuffix)
{
    QFileDialog dialog(m_parent, title, m_folder);
    prepare(dialog, title, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    if (!proposal.isEmpty())
        dialog.selectFile(proposal);
    return chosenFile(dialog);
}

namespace {

// Hands the line under a double click in a text view to `chosen`.
class LineChooser : public QObject
{
public:
    LineChooser(QPlainTextEdit *view, const std::function<void(const QString &)> &chosen)
        : QObject(view), m_view(view), m_chosen(chosen)
    {
        view->viewport()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonDblClick) {
            const QPoint at = static_cast<QMouseEvent *>(event)->position().toPoint();
            m_chosen(m_view->cursorForPosition(at).block().text());
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QPlainTextEdit *m_view;
    std::function<void(const QString &)> m_chosen;
};

} // namespace

void QtDialogs::showReport(const QString &title, const QString &text, const std::function<void()> &save,
                           const std::function<void(const QString &line)> &lineChosen)
{
    QDialog dialog(m_parent);
    dialog.setWindowTitle(title);
    auto *view = new QPlainTextEdit(&dialog);
    view->setReadOnly(true);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    view->setPlainText(text);
    view->setToolTip(QStringLiteral("Double-click a signal to show its row in the table"));
    new LineChooser(view, lineChosen);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    QPushButton *saveButton = buttons->addButton(QStringLiteral("Save report..."), QDialogButtonBox::ActionRole);
    QObject::connect(saveButton, &QPushButton::clicked, &dialog, save);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(view);
    layout->addWidget(buttons);
    dialog.resize(760, 520);
    dialog.exec();
}
