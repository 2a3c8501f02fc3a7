#include "update_report.h"

#include "table/file_writing.h"
#include "table/table_layout.h"
#include "table/text_file.h"
#include "update/table_update.h"

#include <QSaveFile>

namespace {

QString keyText(const QString &key)
{
    return key.isEmpty() ? QStringLiteral("no key") : QStringLiteral("key ") + key;
}

QString quoted(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("(empty)") : text;
}

// "scale: 0.125 -> 0.25", and what the table keeps when the old value was typed by hand.
QString fieldLine(const FieldChange &field)
{
    QString line = fieldLabel(field.col) + QStringLiteral(": ") + quoted(field.before) + QStringLiteral(" -> ")
            + quoted(field.after);
    if (field.keptHandMade)
        line += QStringLiteral(" (your %1 kept)").arg(quoted(field.before));
    return line;
}

// "0 123  EngineSpeed  key ENSP"
// A signal of the report: its "#" in the updated table where it has one there, so
// that the user finds the row.
QString signalLine(const QString &number, const QString &canId, const QString &name, const QString &key = {},
                   bool withKey = true)
{
    QString line = QStringLiteral("  ");
    if (!number.isEmpty())
        line += u'#' + quoted(number) + QStringLiteral("  ");
    line += quoted(canId) + QStringLiteral("  ") + quoted(name);
    if (withKey)
        line += QStringLiteral("  ") + keyText(key);
    return line + u'\n';
}

void appendSection(QString &text, const QString &heading, qsizetype count)
{
    if (count > 0)
        text += u'\n' + heading + u'\n';
}

} // namespace

QString fieldLabel(int col)
{
    switch (col) {
    case Col::CanId:
        return QStringLiteral("CAN ID");
    case Col::Position:
        return QStringLiteral("position");
    case Col::Bytes:
        return QStringLiteral("bytes");
    case Col::Signed:
        return QStringLiteral("signed");
    case Col::Scale:
        return QStringLiteral("scale");
    case Col::Offset:
        return QStringLiteral("offset");
    case Col::Unit:
        return QStringLiteral("unit");
    case Col::LittleEndian:
        return QStringLiteral("byte order");
    default:
        return QStringLiteral("column %1").arg(col);
    }
}

QStringList summaryLines(const UpdateReport &report)
{
    qsizetype changed = 0;
    for (const ChangedSignal &signal : report.changedSignals)
        changed += signal.moved() ? 0 : 1;
    return {QStringLiteral("Kept: %1").arg(report.kept), QStringLiteral("Moved: %1").arg(report.moved),
            QStringLiteral("Added: %1").arg(report.added), QStringLiteral("Removed: %1").arg(report.removed),
            QStringLiteral("Changed: %1").arg(changed)};
}

QString reportText(const UpdateReport &report)
{
    QString text = QStringLiteral("Update from %1\n\n").arg(report.newFile);
    text += summaryLines(report).join(u'\n') + u'\n';

    appendSection(text, QStringLiteral("Removed (their keys are free now):"), report.removedSignals.size());
    for (const LoneSignal &signal : report.removedSignals)
        text += signalLine({}, signal.canId, signal.name, signal.key); // it has no row now

    appendSection(text, QStringLiteral("Moved to another message (old CAN ID -> new):"), report.moved);
    for (const ChangedSignal &signal : report.changedSignals) {
        if (!signal.moved())
            continue;
        text += signalLine(signal.number, signal.oldCanId + QStringLiteral(" -> ") + signal.canId, signal.name,
                           signal.key);
        for (const FieldChange &field : signal.fields)
            text += QStringLiteral("      ") + fieldLine(field) + u'\n';
    }

    appendSection(text, QStringLiteral("Added:"), report.addedSignals.size());
    for (const LoneSignal &signal : report.addedSignals)
        text += signalLine(signal.number, signal.canId, signal.name, {}, false);

    appendSection(text, QStringLiteral("Changed (old -> new):"), report.changedSignals.size() - report.moved);
    for (const ChangedSignal &signal : report.changedSignals) {
        if (signal.moved())
            continue;
        text += signalLine(signal.number, signal.canId, signal.name, signal.key);
        for (const FieldChange &field : signal.fields)
            text += QStringLiteral("      ") + fieldLine(field) + u'\n';
    }
    return text;
}

QString changeNote(const ChangedSignal &signal)
{
    QStringList lines;
    if (signal.moved())
        lines.append(QStringLiteral("Moved from CAN ID %1").arg(quoted(signal.oldCanId)));
    else
        lines.append(QStringLiteral("Changed (old -> new):"));
    for (const FieldChange &field : signal.fields)
        lines.append(fieldLine(field));
    return lines.join(u'\n');
}

QByteArray reportBytes(const UpdateReport &report)
{
    QString text = reportText(report);
    text.replace(u'\n', QStringLiteral("\r\n"));
    QByteArray bytes;
    appendCp1252(bytes, text);
    return bytes;
}

QString writeReport(const UpdateReport &report, const QString &fileName)
{
    QSaveFile file(fileName);
    if (!file.open(writeMode))
        return QStringLiteral("Cannot write %1: %2").arg(displayName(fileName), file.errorString());
    QString reason = writeAll(file, reportBytes(report));
    if (reason.isEmpty())
        reason = commitFile(file);
    return reason.isEmpty() ? QString() : QStringLiteral("Cannot write %1: %2").arg(displayName(fileName), reason);
}
