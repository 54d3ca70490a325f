#include "db/sqliteconnection.h"

#include "core/patcherror.h"

#include <QAtomicInt>
#include <QSqlError>
#include <QSqlQuery>

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
    m_db.setDatabaseName(storage == Storage::Memory ? QStringLiteral(":memory:") : path);
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
