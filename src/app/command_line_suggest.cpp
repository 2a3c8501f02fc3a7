#include "command_line.h"
#include "command_line_suggest.h"

#include "document/document.h"
#include "keys/key_list_places.h"
#include "suggest/key_matcher.h"
#include "suggest/suggest_dictionary.h"
#include "suggest/suggestion_memory.h"
#include "suggest/suggestion_output.h"

#include <QCommandLineParser>
#include <QTextStream>

QCommandLineOption addSuggestOption(QCommandLineParser &parser)
{
    QCommandLineOption option(
            QStringLiteral("suggest"),
            QStringLiteral("Print, for every key of the key list, the signals of <file> that most likely carry it: "
                           "key, rank, #, CAN ID, Name and score (0 to 100, 70 or more is confident), "
                           "separated by tabs."),
            QStringLiteral("file"));
    parser.addOption(option);
    return option;
}

QString takeSuggestOption(const QCommandLineParser &parser, const QCommandLineOption &option, CommandLine &line)
{
    if (!parser.isSet(option))
        return {};
    if (line.mode != CommandLine::Mode::Window || !line.input.isEmpty())
        return QStringLiteral("--suggest takes no other FILE, --export or --update.");
    line.input = parser.value(option);
    if (line.input.isEmpty())
        return QStringLiteral("--suggest needs the FILE to read.");
    line.mode = CommandLine::Mode::Suggest;
    return {};
}

int printSuggestions(const CommandLine &line, QTextStream &out, QTextStream &err)
{
    Document document;
    if (!openInput(document, line.input, err))
        return 1;
    const KeyListPlaces places = KeyListPlaces::standard();
    const KeyList keys = loadKeyList(line.keys, places);
    if (!keys.warning.isEmpty()) {
        err << "tessaly: " << keys.warning << '\n';
        if (keys.items.isEmpty())
            return 1;
    }
    QStringList warnings;
    const SuggestDictionary dictionary = SuggestDictionary::standard(places, warnings);
    SuggestionMemory memory;
    if (const QString error = memory.load(SuggestionMemory::standardFile(), warnings); !error.isEmpty())
        warnings.append(error);
    for (const QString &warning : std::as_const(warnings))
        err << "tessaly: warning: " << warning << '\n';
    const std::vector<SignalText> texts = signalTexts(document.grid());
    const KeyMatcher matcher(dictionary, keyTargets(keys.items), texts);
    out << suggestionLines(matcher.suggest(memory), document.grid());
    return 0;
}
