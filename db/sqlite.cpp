#include "db/sqlite.h"

#include "core/patcherror.h"

#include <QByteArray>

namespace tolvane::sqlite {

namespace {

// How long a statement waits for another program's lock on the database before it fails.
constexpr int kBusyTimeoutMs = 5000;

} // namespace

SQLite::Database open(const QString& path, const QString& operation, Storage storage) {
    // An empty name is SQLite's private temporary database.
    const std::string name = storage == Storage::Scratch ? std::string() : path.toStdString();
    return guarded(operation, path, [&] {
        // A connection serves one thread at a time, so SQLite need not lock it for every
        // call (which costs a tenth of the copy of an Access file).
        return SQLite::Database(name,
                                SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE | SQLite::OPEN_NOMUTEX,
                                kBusyTimeoutMs);
    });
}

PatchError error(const SQLite::Exception& e, const QString& operation, const QString& target) {
    return PatchError(operation, target, QString::fromUtf8(e.what()));
}

QVariant value(const SQLite::Statement& statement, int column) {
    const SQLite::Column cell = statement.getColumn(column);
    if (cell.isInteger())
        return qint64(cell.getInt64());
    if (cell.isFloat())
        return cell.getDouble();
    if (cell.isText())
        return QString::fromUtf8(cell.getText(), cell.getBytes());
    if (cell.isBlob())
        return QByteArray(static_cast<const char*>(cell.getBlob()), cell.getBytes());
    return QVariant();
}

int columnIndex(const SQLite::Statement& statement, const QString& name) {
    for (int i = 0; i < statement.getColumnCount(); ++i) {
        if (name.compare(QString::fromUtf8(statement.getColumnName(i)), Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

namespace {

// As bind(), for a value that is not null.
void bindValue(SQLite::Statement& statement, int index, const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
        statement.bind(index, static_cast<int64_t>(value.toLongLong()));
        return;
    case QMetaType::Float:
    case QMetaType::Double:
        statement.bind(index, value.toDouble());
        return;
    case QMetaType::QByteArray: {
        const auto& bytes = *static_cast<const QByteArray*>(value.constData());
        statement.bind(index, bytes.constData(), static_cast<int>(bytes.size()));
        return;
    }
    default:
        statement.bind(index, value.toString().toStdString());
    }
}

} // namespace

void bind(SQLite::Statement& statement, int index, const QVariant& value) {
    if (value.isNull())
        statement.bind(index);
    else
        bindValue(statement, index, value);
}

RowBinder::RowBinder(SQLite::Statement& statement)
    : m_statement(statement)
    , m_texts(static_cast<std::size_t>(statement.getBindParameterCount()) + 1)
    , m_bytes(m_texts.size()) {}

void RowBinder::bind(int index, const QVariant& value) {
    if (value.isNull()) {
        m_statement.bind(index);
        return;
    }
    const auto at = static_cast<std::size_t>(index);
    switch (value.typeId()) {
    case QMetaType::QByteArray:
        // The variant's bytes are shared, not copied: held here, they outlive the row.
        m_bytes.at(at) = *static_cast<const QByteArray*>(value.constData());
        m_statement.bindNoCopy(index, m_bytes[at].constData(),
                               static_cast<int>(m_bytes[at].size()));
        return;
    case QMetaType::QString: {
        const QByteArray utf8 = static_cast<const QString*>(value.constData())->toUtf8();
        // The buffer keeps its capacity from row to row.
        m_texts.at(at).assign(utf8.constData(), static_cast<std::size_t>(utf8.size()));
        m_statement.bindNoCopy(index, m_texts[at]);
        return;
    }
    default:
        bindValue(m_statement, index, value);
    }
}

} // namespace tolvane::sqlite
