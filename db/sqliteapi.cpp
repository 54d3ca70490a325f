#include "db/sqliteapi.h"

#include "core/patcherror.h"
#include "db/sqliteconnection.h"

#include <QVariant>

#include <sqlite3.h>

namespace tolvane::sqliteapi {

Statement::Statement(SqliteConnection& db, const QString& sql, QString operation, QString target)
    : m_operation(std::move(operation))
    , m_target(target.isEmpty() ? db.path() + QLatin1Char('\n') + sql : std::move(target)) {
    sqlite3* handle = db.native(m_operation);
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(handle, text.constData(), static_cast<int>(text.size()), &m_statement,
                           nullptr) != SQLITE_OK)
        throw PatchError(m_operation, m_target, QString::fromUtf8(sqlite3_errmsg(handle)));
}

Statement::~Statement() {
    sqlite3_finalize(m_statement);
}

void Statement::fail() const {
    throw PatchError(m_operation, m_target,
                     QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(m_statement))));
}

int Statement::bindText(int at, const QString& text, void (*lifetime)(void*)) {
    if (text.isNull())
        return sqlite3_bind_null(m_statement, at);
    return sqlite3_bind_text64(m_statement, at, reinterpret_cast<const char*>(text.utf16()),
                               static_cast<sqlite3_uint64>(text.size()) * 2, lifetime,
                               SQLITE_UTF16);
}

void Statement::bind(int index, const QVariant& value) {
    const int at = index + 1;
    int result = SQLITE_OK;
    if (value.isNull()) {
        result = sqlite3_bind_null(m_statement, at);
    } else {
        switch (value.typeId()) {
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
            result = sqlite3_bind_int64(m_statement, at, value.toLongLong());
            break;
        case QMetaType::Float:
        case QMetaType::Double:
            result = sqlite3_bind_double(m_statement, at, value.toDouble());
            break;
        case QMetaType::QByteArray: {
            const auto& bytes = *static_cast<const QByteArray*>(value.constData());
            result = sqlite3_bind_blob64(m_statement, at, bytes.constData(),
                                         static_cast<sqlite3_uint64>(bytes.size()), SQLITE_STATIC);
            break;
        }
        case QMetaType::QString:
            result = bindText(at, *static_cast<const QString*>(value.constData()), SQLITE_STATIC);
            break;
        default:
            result = bindText(at, value.toString(), SQLITE_TRANSIENT);
            break;
        }
    }
    if (result != SQLITE_OK)
        fail();
}

void Statement::run() {
    const int result = sqlite3_step(m_statement);
    if (result != SQLITE_DONE && result != SQLITE_ROW) {
        // The message is the step's; the reset that readies the statement comes after it.
        const QString cause = QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(m_statement)));
        sqlite3_reset(m_statement);
        throw PatchError(m_operation, m_target, cause);
    }
    sqlite3_reset(m_statement);
}

bool Statement::next() {
    const int result = sqlite3_step(m_statement);
    if (result != SQLITE_ROW && result != SQLITE_DONE)
        fail();
    return result == SQLITE_ROW;
}

} // namespace tolvane::sqliteapi
