#include "label_set.h"

#include "import/dbc_import.h"
#include "suggest/suggestion_memory.h"
#include "table/text_file.h"

#include <QDir>
#include <QFile>
#include <QHash>

#include <map>

namespace {

using Labels = std::map<QString, QHash<QString, QStringList>>; // file -> key -> accepted names

QString readLabels(const QString &labelFile, Labels &labels)
{
    QFile file(labelFile);
    QString error;
    if (!openForReading(file, error))
        return error;
    return readLines<QStringView>(file, labelFile, [&](QStringView line, qint64) {
        if (line.trimmed().isEmpty() || line.startsWith(u"//"))
            return;
        QStringList fields = line.toString().split(u';');
        const QString dbc = fields.takeFirst().trimmed();
        QHash<QString, QStringList> &keys = labels[dbc];
        if (fields.isEmpty() || fields.front().trimmed().isEmpty())
            return;
        const QString key = fields.takeFirst().trimmed();
        for (const QString &name : std::as_const(fields)) {
            if (!name.trimmed().isEmpty())
                keys[key].append(name.trimmed());
        }
    });
}

void addFigures(const QString &dbc, const std::vector<KeySuggestion> &suggestions, const TableData &table,
                const QHash<QString, QStringList> &accepted, SuggestionFigures &figures)
{
    for (const KeySuggestion &suggestion : suggestions) {
        const QStringList names = accepted.value(suggestion.key);
        const std::vector<Candidate> &candidates = suggestion.candidates;
        const QString best = candidates.empty()
                                     ? QStringLiteral("none")
                                     : QStringLiteral("%1 (%2)")
                                               .arg(table.text(candidates.front().row, Col::Name))
                                               .arg(candidates.front().score);
        if (names.isEmpty()) {
            ++figures.keysWithout;
            if (candidates.empty() || candidates.front().score < KeyMatcher::confidentScore)
                ++figures.withoutConfident;
            else
                figures.misses.append(QStringLiteral("%1 %2 has none, but: %3").arg(dbc, suggestion.key, best));
            continue;
        }
        ++figures.keysWithSignal;
        bool found = false;
        for (std::size_t rank = 0; rank < candidates.size(); ++rank) {
            if (!names.contains(table.text(candidates[rank].row, Col::Name)))
                continue;
            found = true;
            figures.first += rank == 0 ? 1 : 0;
            if (rank > 0)
                figures.misses.append(QStringLiteral("%1 %2 not first: %3").arg(dbc, suggestion.key, best));
            break;
        }
        if (found)
            ++figures.inTopThree;
        else
            figures.misses.append(QStringLiteral("%1 %2 missed: %3").arg(dbc, suggestion.key, best));
    }
}

} // namespace

QString measureLabelSet(const QString &labelFile, const QString &dbcFolder, const std::vector<KeyTarget> &keys,
                        const SuggestDictionary &dictionary, SuggestionFigures &figures)
{
    Labels labels;
    if (const QString error = readLabels(labelFile, labels); !error.isEmpty())
        return error;
    const SuggestionMemory nothingRemembered;
    for (const auto &[dbc, accepted] : labels) {
        double messageId = 0;
        const ImportResult result = ReadDBC(QDir(dbcFolder).filePath(dbc), TableData::standard(), messageId);
        if (!result.ok())
            return result.error;
        const std::vector<SignalText> texts = signalTexts(result.table);
        const KeyMatcher matcher(dictionary, keys, texts);
        addFigures(dbc, matcher.suggest(nothingRemembered), result.table, accepted, figures);
    }
    return {};
}
