#include "tools/season/csvreader.h"

#include "core/patcherror.h"

#include <QIODevice>

namespace tolvane {

namespace season {

namespace {

constexpr qint64 kChunk = 64 * 1024;

} // namespace

CsvReader::CsvReader(QIODevice& device, QString path)
    : m_device(device)
    , m_path(std::move(path)) {
    while (m_buffer.size() < 3 && readMore()) {
    }
    if (m_buffer.startsWith("\xEF\xBB\xBF"))
        m_pos = 3;
    else if (m_buffer.startsWith("\xFF\xFE") || m_buffer.startsWith("\xFE\xFF"))
        m_fileProblem = QStringLiteral("the file is in UTF-16; save it as CSV in UTF-8");
    detectSeparator();
}

bool CsvReader::readMore() {
    const qsizetype kept = m_buffer.size();
    m_buffer.resize(kept + kChunk);
    const qint64 n = m_device.read(m_buffer.data() + kept, kChunk);
    if (n < 0)
        throw PatchError(QStringLiteral("Cannot read the file"), m_path, m_device.errorString());
    m_buffer.resize(kept + n);
    return n > 0;
}

int CsvReader::peek() {
    if (m_pos >= m_buffer.size()) {
        // Everything before has been read: only the rest of the file is kept.
        m_buffer.clear();
        m_pos = 0;
        if (!readMore())
            return -1;
    }
    return static_cast<unsigned char>(m_buffer[m_pos]);
}

int CsvReader::get() {
    const int c = peek();
    if (c >= 0)
        ++m_pos;
    return c;
}

void CsvReader::detectSeparator() {
    qsizetype commas = 0;
    qsizetype semicolons = 0;
    bool inQuotes = false;
    for (qsizetype i = m_pos;; ++i) {
        if (i >= m_buffer.size() && !readMore())
            break;
        const char c = m_buffer[i];
        if (c == '"')
            inQuotes = !inQuotes;
        else if (inQuotes)
            continue;
        else if (c == ',')
            ++commas;
        else if (c == ';')
            ++semicolons;
        else if (c == '\n' || c == '\r')
            break;
    }
    m_separator = semicolons > commas ? ';' : ',';
}

void CsvReader::endField(CsvRecord& record) {
    CsvField field;
    field.quoted = m_quoted;
    if (!m_field.isEmpty()) {
        if (!m_notUtf8 && !QByteArrayView(m_field).isValidUtf8()) {
            m_notUtf8 = true;
            record.problems << QStringLiteral("the text is not UTF-8 (save the file as CSV in "
                                              "UTF-8)");
        }
        field.text = QString::fromUtf8(m_field);
    } else if (m_quoted) {
        // A zero-length text, as opposed to no value.
        field.text = QStringLiteral("");
    }
    record.fields.push_back(std::move(field));
    m_field.clear();
    m_quoted = false;
}

bool CsvReader::next(CsvRecord& record) {
    record.fields.clear();
    record.problems.clear();
    m_notUtf8 = false;
    if (!m_fileProblem.isEmpty() || peek() < 0)
        return false;
    record.line = m_line;
    bool inQuotes = false;
    bool textAfterQuote = false;
    qint64 quoteLine = 0;
    for (;;) {
        const int c = get();
        if (inQuotes) {
            if (c < 0) {
                record.problems << QStringLiteral("the quoted field that starts on line %1 has "
                                                  "no closing quote")
                                       .arg(quoteLine);
                endField(record);
                return true;
            }
            if (c == '"') {
                if (peek() == '"')
                    m_field += static_cast<char>(get());
                else
                    inQuotes = false;
                continue;
            }
            if (c == '\n' || (c == '\r' && peek() != '\n'))
                ++m_line;
            m_field += static_cast<char>(c);
            continue;
        }
        if (c == m_separator) {
            endField(record);
            continue;
        }
        if (c < 0 || c == '\n' || c == '\r') {
            if (c == '\r' && peek() == '\n')
                get();
            if (c >= 0)
                ++m_line;
            endField(record);
            return true;
        }
        if (c == '"' && m_field.isEmpty() && !m_quoted) {
            m_quoted = inQuotes = true;
            quoteLine = m_line;
            continue;
        }
        if (m_quoted && !textAfterQuote) {
            textAfterQuote = true;
            record.problems << QStringLiteral("text follows the closing quote of a field");
        }
        m_field += static_cast<char>(c);
    }
}

} // namespace season

} // namespace tolvane
