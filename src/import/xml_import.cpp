#include "xml_import.h"

#include "table/table_data.h"
#include "table/text_file.h"
#include "table/text_helpers.h"

#include <QFile>
#include <QIODevice>
#include <QLocale>

#include <array>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

bool isXmlFileName(QStringView fileName)
{
    return hasExtension(fileName, u".plexcanrxconfig") || hasExtension(fileName, u".xml");
}

namespace {

enum class Element {
    Item,
    Id,
    StartByte,
    Length,
    LimitLow,
    Label,
    InternalUnits,
    Multiplier,
    Divisor,
    Offset,
    LittleEndian,
    GaugeLow,
    GaugeHigh,
    Other
};

struct KnownTag
{
    QStringView tag;
    Element element;
};

constexpr std::array<KnownTag, 13> knownTags = {{
    {u"<CAN_Data_Item>", Element::Item},
    {u"<id>", Element::Id},
    {u"<start_byte>", Element::StartByte},
    {u"<length>", Element::Length},
    {u"<limit_low>", Element::LimitLow},
    {u"<label>", Element::Label},
    {u"<internal_units>", Element::InternalUnits},
    {u"<multiplier>", Element::Multiplier},
    {u"<divisor>", Element::Divisor},
    {u"<offset>", Element::Offset},
    {u"<little_endian>", Element::LittleEndian},
    {u"<gauge_low>", Element::GaugeLow},
    {u"<gauge_high>", Element::GaugeHigh},
}};

// The line's tag is the text before its first ">", spaces trimmed, plus the ">".
// Comparing without the ">" spares building that text for every line.
Element elementOf(QStringView beforeFirstBracket)
{
    const QStringView name = trimSpaces(beforeFirstBracket);
    for (const KnownTag &known : knownTags) {
        if (known.tag.chopped(1) == name)
            return known.element;
    }
    return Element::Other;
}

// The nearest single-precision value; beyond the range of float that is an infinity,
// which the Scale check then reports, instead of an undefined conversion.
float toSingle(double value)
{
    constexpr double largest = std::numeric_limits<float>::max();
    // Half a unit in the last place above the largest float still rounds down to it.
    constexpr double roundsToLargest = largest + 0x1p103;
    if (std::isfinite(value) && std::abs(value) > largest) {
        const float limit = std::abs(value) < roundsToLargest ? std::numeric_limits<float>::max()
                                                               : std::numeric_limits<float>::infinity();
        return value < 0 ? -limit : limit;
    }
    return float(value);
}

using Cells = std::array<QString, Col::Count>;

template<std::size_t... I>
int appendCells(TableData &table, const Cells &cells, std::index_sequence<I...>)
{
    return table.appendRow({QStringView(cells[I])...});
}

// Builds the table line by line. The row being filled is kept as separate texts and
// stored when the next signal starts, so appending to a cell never copies the row.
class XmlTableBuilder
{
public:
    explicit XmlTableBuilder(const TableData &current);

    void readLine(QStringView line);
    TableData finish();
    // Rows whose Scale was left empty because the division gave no finite number.
    const std::vector<int> &rowsWithoutScale() const { return m_rowsWithoutScale; }
    // Whether a signal row came; if not, whether an item stood where it is not read.
    bool hasItems() const { return !m_inHeading; }
    bool hasItemInsideLine() const { return m_itemInsideLine; }

private:
    void startItem();
    void storeRow();
    void write(Element element, QStringView value);
    void setCell(int col, QStringView value);
    void divide(QStringView value);

    const TableData &m_current;
    TableData m_table;
    Cells m_cells;
    bool m_inHeading = true;
    bool m_itemInsideLine = false;
    float m_multiplier = 0.0f;
    const QString m_decimalPoint = QLocale().decimalPoint(); // asked once, not per number
    std::vector<int> m_rowsWithoutScale;
};

XmlTableBuilder::XmlTableBuilder(const TableData &current)
    : m_current(current)
{
    if (current.rows() > 0) {
        for (int col = 0; col < Col::Count; ++col)
            m_cells[std::size_t(col)] = current.text(0, col);
    }
}

void XmlTableBuilder::readLine(QStringView line)
{
    // Only while no signal has come: the reason a file gives none.
    if (m_inHeading && !m_itemInsideLine)
        m_itemInsideLine = line.contains(u"<CAN_Data_Item>");
    const Element element = elementOf(NextField(line, u">"));
    if (element == Element::Other)
        return;
    if (element == Element::Item) {
        startItem();
        return;
    }
    write(element, NextField(line, u"<"));
}

void XmlTableBuilder::startItem()
{
    storeRow();
    m_inHeading = false;
    for (QString &cell : m_cells)
        cell.truncate(0); // keeps the memory for the next signal's cells
    // Signal rows are numbered from 0: the heading row comes first.
    m_cells[Col::Number] = QString::number(m_table.rows() - 1);
}

void XmlTableBuilder::storeRow()
{
    const int row = appendCells(m_table, m_cells, std::make_index_sequence<Col::Count>());
    if (m_inHeading) {
        if (m_current.rows() > 0) {
            for (int col = 0; col < Col::Count; ++col)
                m_table.setColour(row, col, m_current.colour(0, col));
            m_table.setRowIcon(row, m_current.rowIcon(0));
        }
        return;
    }
    m_table.setRowIcon(row, true);
    m_table.setColour(row, Col::Key, CellColour::KeyCell);
}

void XmlTableBuilder::write(Element element, QStringView value)
{
    switch (element) {
    case Element::Id: setCell(Col::CanId, value); break;
    case Element::StartByte: setCell(Col::Position, value); break;
    case Element::Length: setCell(Col::Bytes, value); break;
    case Element::LimitLow: setCell(Col::Signed, readNumber(value) < 0 ? u"1" : u"0"); break;
    case Element::Label:
        setCell(Col::Name, value);
        setCell(Col::Description, value);
        break;
    case Element::InternalUnits: setCell(Col::Unit, value); break;
    case Element::Multiplier: m_multiplier = toSingle(readNumber(value)); break;
    case Element::Divisor: divide(value); break;
    case Element::Offset: setCell(Col::Offset, value); break;
    case Element::LittleEndian: setCell(Col::LittleEndian, value == u"true" ? u"LE" : u"BE"); break;
    case Element::GaugeLow:
        setCell(Col::MinMax, value);
        m_cells[Col::MinMax] += u" .. ";
        break;
    case Element::GaugeHigh: m_cells[Col::MinMax] += value; break;
    case Element::Item:
    case Element::Other: break;
    }
}

// Writing into the cell's own text reuses its memory from the signal before.
void XmlTableBuilder::setCell(int col, QStringView value)
{
    QString &cell = m_cells[std::size_t(col)];
    cell.truncate(0);
    cell += value;
}

void XmlTableBuilder::divide(QStringView value)
{
    const double divisor = readNumber(value);
    const double scale = double(m_multiplier) / divisor;
    if (divisor != 0.0 && std::isfinite(scale)) {
        m_cells[Col::Scale] = formatDouble(scale, m_decimalPoint);
    } else {
        m_cells[Col::Scale].clear();
        const int row = m_table.rows(); // where the row being filled will be stored
        if (m_rowsWithoutScale.empty() || m_rowsWithoutScale.back() != row)
            m_rowsWithoutScale.push_back(row);
    }
    QString &description = m_cells[Col::Description];
    description += u"  Mult/Div=";
    description += formatSingle(m_multiplier, m_decimalPoint);
    description += u" / ";
    description += value;
}

TableData XmlTableBuilder::finish()
{
    storeRow();
    m_table.setFixedRows(m_table.rows() > 1 ? 1 : 0);
    return std::move(m_table);
}

// How a row is named in a message: its number and its label.
QString rowForMessage(const TableData &table, int row)
{
    if (row == 0)
        return QStringLiteral("the heading row (before the first signal)");
    const QString label = table.text(row, Col::Name);
    QString text = QLatin1Char('#') + table.text(row, Col::Number);
    if (!label.isEmpty())
        text += QLatin1Char(' ') + label;
    return text;
}

QString noScaleWarning(const TableData &table, const std::vector<int> &rows, const QString &fileName)
{
    constexpr std::size_t listed = 20;
    const std::size_t count = rows.size();
    QString text = count == 1
            ? QStringLiteral("In %1 the Scale of 1 signal (multiplier / divisor) cannot be computed, "
                             "because the divisor is 0 or a value is too large; its Scale cell has "
                             "been left empty:")
                      .arg(displayName(fileName))
            : QStringLiteral("In %1 the Scale of %2 signals (multiplier / divisor) cannot be computed, "
                             "because the divisor is 0 or a value is too large; their Scale cells have "
                             "been left empty:")
                      .arg(displayName(fileName))
                      .arg(count);
    for (std::size_t i = 0; i < count && i < listed; ++i)
        text += QLatin1Char('\n') + rowForMessage(table, rows[i]);
    if (count > listed)
        text += QStringLiteral("\n... and %1 more.").arg(count - listed);
    return text;
}

} // namespace

ImportResult ReadXML(const QString &fileName, const TableData &current)
{
    QFile file(fileName);
    ImportResult result;
    if (!openForReading(file, result.error))
        return result;
    return ReadXML(file, fileName, current);
}

ImportResult ReadXML(QIODevice &device, const QString &fileName, const TableData &current)
{
    ImportResult result;
    XmlTableBuilder builder(current);
    result.error = readLines<QStringView>(
            device, fileName, [&](QStringView line, qint64) { builder.readLine(line); }, &result.encoding);
    if (!result.ok())
        return result;
    if (!builder.hasItems()) {
        result.error = builder.hasItemInsideLine()
                ? QStringLiteral("Cannot import %1: its <CAN_Data_Item> elements do not stand at the start of a line. "
                                 "This reader needs one element per line.")
                          .arg(displayName(fileName))
                : QStringLiteral("Cannot import %1: it holds no <CAN_Data_Item> element, so there is no signal to "
                                 "import.")
                          .arg(displayName(fileName));
        return result;
    }
    result.table = builder.finish();
    if (!builder.rowsWithoutScale().empty())
        result.warnings.append(noScaleWarning(result.table, builder.rowsWithoutScale(), fileName));
    return result;
}
