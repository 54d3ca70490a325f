#include "db/seasonschema.h"

namespace tolvane {

namespace seasonschema {

namespace {

QLatin1String typeName(ColumnType type) {
    switch (type) {
    case ColumnType::Integer:
        return QLatin1String("INTEGER");
    case ColumnType::Real:
        return QLatin1String("REAL");
    case ColumnType::Text:
        break;
    }
    return QLatin1String("TEXT");
}

} // namespace

int columnIndex(std::span<const Column> columns, QStringView name) {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (name.compare(columns[i].name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

QString quotedName(const QString& name) {
    QString escaped = name;
    escaped.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString columnDeclaration(const QString& name, std::optional<ColumnType> type) {
    QString declaration = quotedName(name);
    if (type)
        declaration += QLatin1Char(' ') + typeName(*type);
    return declaration;
}

QString createTableStatement(QLatin1String table, const QStringList& declarations) {
    return QStringLiteral("CREATE TABLE %1 (\n  %2\n)")
        .arg(table, declarations.join(QStringLiteral(",\n  ")));
}

QString createReferenceTable(QLatin1String table, std::span<const Column> columns) {
    QStringList declarations;
    for (const Column& column : columns)
        declarations << columnDeclaration(column.name, column.type);
    return createTableStatement(table, declarations);
}

} // namespace seasonschema

} // namespace tolvane
