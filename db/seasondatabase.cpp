#include "db/seasondatabase.h"

#include "core/fileops.h"
#include "core/patcherror.h"

#include <QAtomicInt>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace {

QString nextConnectionName() {
    static QAtomicInt counter;
    return QStringLiteral("season-%1").arg(counter.fetchAndAddRelaxed(1));
}

bool hasSqliteSignature(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return file.read(16) == QByteArrayLiteral("SQLite format 3\0");
}

} // namespace

SeasonDatabase::SeasonDatabase(const QString& path)
    : m_path(path)
    , m_connectionName(nextConnectionName()) {
    const QString operation = QStringLiteral("Cannot open the season database");
    if (!QFileInfo(path).isFile())
        throw PatchError(operation, path, QStringLiteral("The file does not exist."));
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly))
        throw PatchError(operation, path, probe.errorString());
    probe.close();
    if (!hasSqliteSignature(path))
        throw PatchError(operation, path, QStringLiteral("The file is not an SQLite database."));

    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    m_db.setDatabaseName(path);
    if (!m_db.open())
        throw PatchError(operation, path, m_db.lastError().text());
    // SQLite opens lazily; reading the schema proves the file is a database we can use.
    exec(QStringLiteral("SELECT count(*) FROM sqlite_master"));
}

SeasonDatabase::~SeasonDatabase() {
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
}

void SeasonDatabase::exec(const QString& sql) {
    QSqlQuery query(m_db);
    if (!query.exec(sql))
        throw PatchError(QStringLiteral("The season database rejected a statement"),
                         m_path + QStringLiteral("\n") + sql, query.lastError().text());
}

qint64 SeasonDatabase::scalar(const QString& sql) {
    QSqlQuery query(m_db);
    if (!query.exec(sql) || !query.next())
        throw PatchError(QStringLiteral("The season database rejected a statement"),
                         m_path + QStringLiteral("\n") + sql, query.lastError().text());
    return query.value(0).toLongLong();
}

WriteBatch::WriteBatch(SeasonDatabase& db)
    : m_db(db) {
    if (!m_db.connection().transaction())
        throw PatchError(QStringLiteral("Cannot start writing to the season database"), m_db.path(),
                         m_db.connection().lastError().text());
}

WriteBatch::~WriteBatch() {
    if (m_open)
        m_db.connection().commit();
}

void WriteBatch::commit() {
    m_open = false;
    if (!m_db.connection().commit())
        throw PatchError(QStringLiteral("Cannot save the overall ratings in the season database"),
                         m_db.path(), m_db.connection().lastError().text());
}
