#include "db/sqliteconnection.h"

#include "core/patcherror.h"

#include <QAtomicInt>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <sqlite3.h>

namespace tolvane {

namespace {

QString nextConnectionName() {
    static QAtomicInt counter;
    return QStringLiteral("tolvane-sqlite-%1").arg(counter.fetchAndAddRelaxed(1));
}

} // namespace

SqliteConnection::SqliteConnection(const QString& path, const QString& operation, Storage storage)
    : m_name(nextConnectionName())
    , m_path(path) {
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    // An empty name is SQLite's private temporary database: its pages stay in memory up
    // to the cache's size, the rest in a file of the system's temporary folder that
    // SQLite deletes when the connection closes, so a large copy costs no more memory
    // than a database file does.
    m_db.setDatabaseName(storage == Storage::Scratch ? QString() : path);
    if (!m_db.open()) {
        const QString cause = m_db.lastError().text();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
        throw PatchError(operation, path, cause);
    }
}

SqliteConnection::~SqliteConnection() {
    m_db.close();
    // The registry keeps the connection while any handle to it lives, this one included.
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

sqlite3* SqliteConnection::native(const QString& operation) {
    const QVariant handle = m_db.driver() ? m_db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        throw PatchError(operation, m_path,
                         QStringLiteral("The connection is not an SQLite connection."));
    sqlite3* connection = *static_cast<sqlite3* const*>(handle.constData());
    if (!connection)
        throw PatchError(operation, m_path, QStringLiteral("The connection is not open."));
    // Handing the handle to another copy of SQLite would corrupt memory. Two versions are
    // two copies for certain.
    QSqlQuery version(m_db);
    if (!version.exec(QStringLiteral("SELECT sqlite_version()")) || !version.next() ||
        version.value(0).toString() != QLatin1String(sqlite3_libversion()))
        throw PatchError(
            operation, m_path,
            QStringLiteral("Qt's SQLite driver runs on SQLite %1, the program was "
                           "built with SQLite %2; they must be one library.")
                .arg(version.value(0).toString(), QLatin1String(sqlite3_libversion())));
    return connection;
}

Transaction::Transaction(SqliteConnection& db, QString operation, Lock lock)
    : m_db(db)
    , m_operation(std::move(operation)) {
    if (lock == Lock::Deferred) {
        if (!m_db.handle().transaction())
            throw PatchError(m_operation, m_db.path(), m_db.handle().lastError().text());
        return;
    }
    // Qt Sql begins only deferred transactions; the driver tracks no state, so commit()
    // and rollback() end this one as they would their own.
    QSqlQuery begin(m_db.handle());
    if (!begin.exec(QStringLiteral("BEGIN IMMEDIATE")))
        throw PatchError(m_operation, m_db.path(), begin.lastError().text());
}

Transaction::~Transaction() {
    if (m_open)
        m_db.handle().rollback();
}

void Transaction::commit() {
    if (!m_db.handle().commit())
        throw PatchError(m_operation, m_db.path(), m_db.handle().lastError().text());
    m_open = false;
}

} // namespace tolvane
