#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

class QIODevice;

namespace tolvane {

namespace season {

// A field of a CSV record. A quoted field is a text even when it is empty; an empty field
// without quotes holds no value at all.
struct CsvField {
    QString text;
    bool quoted = false;

    bool holdsNothing() const { return text.isEmpty() && !quoted; }
};

struct CsvRecord {
    std::vector<CsvField> fields;
    // The line the record starts on, counting from 1; a quoted field may span lines.
    qint64 line = 0;
    // What is malformed in the record, each in a few words; the fields are read as well as
    // they can be.
    QStringList problems;
};

// Reads a CSV file a record at a time, as spreadsheets write it: RFC 4180 quoting, UTF-8
// with or without a byte-order mark, lines that end in CR LF, LF or CR, and ',' or ';'
// between fields, told from the first line. Only a record is held in memory at a time.
class CsvReader {
public:
    // Reads from device, open for reading; path names it in messages.
    CsvReader(QIODevice& device, QString path);

    // ';' where the first line holds more semicolons than commas outside quotes, else ','.
    char separator() const { return m_separator; }
    // Why the file cannot be read as CSV at all (a UTF-16 file); empty when it can.
    const QString& fileProblem() const { return m_fileProblem; }

    // Reads the next record; false at the end of the file, or at once when fileProblem()
    // is set. A device that fails to read throws a PatchError.
    bool next(CsvRecord& record);

private:
    // The next byte, or -1 at the end of the file.
    int get();
    int peek();
    // Reads more of the file onto the end of the buffer; false at the end of the file.
    bool readMore();
    void detectSeparator();
    void endField(CsvRecord& record);

    QIODevice& m_device;
    QString m_path;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    qint64 m_line = 1;
    char m_separator = ',';
    QString m_fileProblem;
    // The field being read, in its bytes, and whether it was quoted.
    QByteArray m_field;
    bool m_quoted = false;
    // Whether the record being read has been found not to be UTF-8.
    bool m_notUtf8 = false;
};

} // namespace season

} // namespace tolvane
