#include "db/sqliteapi.h"

#include "core/patcherror.h"
#include "db/sqliteconnection.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QVariant>

#include <sqlite3.h>

namespace tolvane {

namespace sqliteapi {

sqlite3* handle(QSqlDatabase& db, const QString& operation, const QString& path) {
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        throw PatchError(operation, path,
                         QStringLiteral("The connection is not an SQLite connection."));
    sqlite3* connection = *static_cast<sqlite3* const*>(handle.constData());
    if (!connection)
        throw PatchError(operation, path, QStringLiteral("The connection is not open."));
    // The handle belongs to the SQLite that Qt's driver runs on; handing it to another copy
    // of SQLite would corrupt memory. Two versions are two copies for certain.
    QSqlQuery version(db);
    if (!version.exec(QStringLiteral("SELECT sqlite_version()")) || !version.next() ||
        version.value(0).toString() != QLatin1String(sqlite3_libversion()))
        throw PatchError(
            operation, path,
            QStringLiteral("Qt's SQLite driver runs on SQLite %1, the program was "
                           "built with SQLite %2; they must be one library.")
                .arg(version.value(0).toString(), QLatin1String(sqlite3_libversion())));
    return connection;
}

Statement::Statement(SqliteConnection& db, const QString& sql, QString operation)
    : m_sql(sql)
    , m_operation(std::move(operation))
    , m_path(db.path()) {
    m_db = handle(db.handle(), m_operation, m_path);
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &m_statement, nullptr) !=
        SQLITE_OK)
        fail();
}

Statement::~Statement() {
    sqlite3_finalize(m_statement);
}

void Statement::fail() const {
    throw PatchError(m_operation, m_path + QStringLiteral("\n") + m_sql,
                     QString::fromUtf8(sqlite3_errmsg(m_db)));
}

void Statement::bind(int index, const QVariant& value) {
    const int n = index + 1;
    int result = SQLITE_OK;
    if (value.isNull()) {
        result = sqlite3_bind_null(m_statement, n);
    } else {
        switch (value.typeId()) {
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
            result = sqlite3_bind_int64(m_statement, n, value.toLongLong());
            break;
        case QMetaType::Float:
        case QMetaType::Double:
            result = sqlite3_bind_double(m_statement, n, value.toDouble());
            break;
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            result = sqlite3_bind_blob64(m_statement, n, bytes.constData(),
                                         sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT);
            break;
        }
        default: {
            const QString text = value.toString();
            result = text.isNull() ? sqlite3_bind_null(m_statement, n)
                                   : sqlite3_bind_text16(m_statement, n, text.utf16(),
                                                         int(text.size() * 2), SQLITE_TRANSIENT);
            break;
        }
        }
    }
    if (result != SQLITE_OK)
        fail();
}

void Statement::run() {
    const int result = sqlite3_step(m_statement);
    sqlite3_reset(m_statement);
    if (result != SQLITE_DONE && result != SQLITE_ROW)
        fail();
}

} // namespace sqliteapi

} // namespace tolvane
