#include "bench_suggest.h"
#include "bench_inputs.h"
#include "bench_timer.h"

#include "keys/key_list.h"
#include "suggest/key_matcher.h"
#include "suggest/suggest_dictionary.h"
#include "suggest/suggestion_memory.h"

#include <array>
#include <random>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

const QString sourceDir = QStringLiteral(TESSALY_SOURCE_DIR);

qint64 heapBytes()
{
#if defined(__GLIBC__)
    return qint64(mallinfo2().uordblks);
#else
    return -1;
#endif
}

template<std::size_t N>
QString pick(std::mt19937 &random, const std::array<const char16_t *, N> &words)
{
    return QString::fromUtf16(words[std::uniform_int_distribution<std::size_t>(0, N - 1)(random)]);
}

// Names built like those of real networks: a sender prefix, a subject, a quantity and
// a qualifier ("ESP_Whl_Spd_FL", "MO_Kuehlmittel_Temp", "P123_Com_nEng"), with the
// units and lengths that go with them.
std::vector<SignalText> generatedSignals()
{
    static constexpr std::array<const char16_t *, 16> prefixes = {
            u"", u"", u"", u"MO_", u"ESP_", u"Kombi_", u"CF_Clu_", u"CR_Ems_", u"BR5_", u"GE1_",
            u"P123_Com_", u"DI_", u"VCLEFT_", u"EPAS_", u"LWI_", u"BMS_"};
    static constexpr std::array<const char16_t *, 48> subjects = {
            u"Eng", u"Veh", u"Whl", u"Brk", u"Str", u"StW", u"Bat", u"Batt", u"Fuel", u"Fl", u"Oil", u"Oel",
            u"Clnt", u"Kuehlmittel", u"Trn", u"Gbx", u"Acc", u"Yaw", u"Lat", u"Lon", u"Motor", u"Rad",
            u"Aussen", u"Innen", u"Tank", u"Lenk", u"Gier", u"Quer", u"Laengs", u"Clutch", u"Kupplung", u"Ign",
            u"Kl15", u"Odo", u"Door", u"Seat", u"Wiper", u"Light", u"Lamp", u"Fan", u"Pump", u"Valve",
            u"Hvac", u"Tire", u"Radar", u"Cam", u"Lane", u"Cruise"};
    static constexpr std::array<const char16_t *, 40> quantities = {
            u"Spd", u"Speed", u"Drehzahl", u"Geschw", u"N", u"Temp", u"Tmp", u"Te", u"T", u"Prs",
            u"Pressure", u"Druck", u"P", u"Pos", u"Position", u"Lvl", u"Level", u"Tq", u"Trq", u"Moment",
            u"Volt", u"U", u"Crnt", u"I", u"Ang", u"Angle", u"Winkel", u"Rate", u"Accel", u"Beschl",
            u"Sw", u"Switch", u"Schalter", u"Stat", u"Status", u"Soc", u"Cnt", u"Crc", u"Rq", u"Max"};
    static constexpr std::array<const char16_t *, 18> qualifiers = {
            u"", u"", u"", u"_Actl", u"_Meas", u"_Est", u"_FL", u"_FR", u"_RL", u"_RR", u"_VL", u"_HR",
            u"_Raw", u"_Filt", u"_1", u"_2", u"_Dsply", u"_Inv"};
    static constexpr std::array<const char16_t *, 14> units = {
            u"", u"", u"", u"", u"rpm", u"km/h", u"\u00B0C", u"bar", u"%", u"V", u"A", u"deg", u"deg/s", u"m/s\u00B2"};
    std::mt19937 random(20261207);
    std::vector<SignalText> texts;
    texts.reserve(benchSignals);
    for (int i = 0; i < benchSignals; ++i) {
        SignalText text;
        text.row = i + 1;
        const QString quantity = pick(random, quantities);
        text.name = pick(random, prefixes) + pick(random, subjects) + u'_' + quantity + pick(random, qualifiers);
        if (i % 4 == 0)
            text.name += u'_' + QString::number(i % 97);
        text.unit = pick(random, units);
        const bool bit = quantity == u"Sw" || quantity == u"Switch" || quantity == u"Schalter";
        text.bits = bit ? 1 : (i % 2 ? 16 : 8);
        texts.push_back(std::move(text));
    }
    return texts;
}

// The default key list and eleven more keys of the same kind, 49 in all.
std::vector<KeyTarget> benchKeys()
{
    QStringList items = readKeyList(sourceDir + QStringLiteral("/resources/") + KeyList::fileName()).items;
    for (const char16_t *extra :
         {u"WSAV - Wheel speed average", u"EOLV - Engine oil level", u"TOPR - Transmission oil pressure",
          u"BRTF - Brake temperature front left", u"TPFL - Tyre pressure front left", u"FANS - Fan speed",
          u"CCSP - Cruise control set speed", u"DOOR - Driver door state", u"HDLT - Headlight switch",
          u"WIPE - Wiper state", u"FUTP - Fuel temperature"})
        items.append(QString::fromUtf16(extra));
    return keyTargets(items.mid(0, KeyList::capacity));
}

} // namespace

SuggestBenchFigures measureSuggestions(int runs)
{
    SuggestBenchFigures figures;
    SuggestDictionary dictionary;
    QStringList warnings;
    figures.qualityError =
            dictionary.addFile(sourceDir + QStringLiteral("/resources/") + SuggestDictionary::fileName(), warnings);
    const std::vector<SignalText> texts = generatedSignals();
    const std::vector<KeyTarget> keys = benchKeys();
    const SuggestionMemory memory;
    figures.signalCount = int(texts.size());
    figures.keyCount = int(keys.size());

    figures.indexSeconds = medianSeconds(runs, [&] { KeyMatcher matcher(dictionary, keys, texts); });
    const KeyMatcher timedMatcher(dictionary, keys, texts);
    figures.suggestSeconds = medianSeconds(runs, [&] { (void)timedMatcher.suggest(memory); });
    figures.totalSeconds = medianSeconds(runs, [&] { (void)KeyMatcher(dictionary, keys, texts).suggest(memory); });

    const qint64 before = heapBytes();
    {
        const KeyMatcher matcher(dictionary, keys, texts);
        const std::vector<KeySuggestion> suggestions = matcher.suggest(memory);
        const qint64 after = heapBytes();
        if (before >= 0 && after >= 0)
            figures.heapMb = double(after - before) / 1e6;
    }

    if (figures.qualityError.isEmpty())
        figures.qualityError = measureLabelSet(sourceDir + QStringLiteral("/tests/data/suggest_labels.txt"),
                                               sourceDir + QStringLiteral("/tests/data/dbc"), keyTargets(
                                                       readKeyList(sourceDir + QStringLiteral("/resources/")
                                                                   + KeyList::fileName()).items),
                                               dictionary, figures.quality);
    return figures;
}

double suggestionPanelSeconds(const TableData &table, int runs)
{
    SuggestDictionary dictionary;
    QStringList warnings;
    if (!dictionary.addFile(sourceDir + QStringLiteral("/resources/") + SuggestDictionary::fileName(), warnings)
                 .isEmpty())
        return -1;
    const std::vector<KeyTarget> keys = benchKeys();
    const SuggestionMemory memory;
    return medianSeconds(runs, [&] {
        const std::vector<SignalText> texts = signalTexts(table);
        (void)KeyMatcher(dictionary, keys, texts).suggest(memory);
    });
}
