#include "db/caselesscollation.h"

#include "core/patcherror.h"

#include <SQLiteCpp/Database.h>
#include <sqlite3.h>

#include <algorithm>

namespace tolvane {

namespace caseless {

namespace {

unsigned char asciiLower(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

// SQLite hands over UTF-8 bytes. Most names are ASCII, which is folded here without
// building strings; from the first other character on, both rests are folded whole. That
// orders exactly as comparing key() of both texts: folding works character by character,
// and an ASCII character folds to the same ASCII character either way.
int compare(void*, int leftSize, const void* leftData, int rightSize, const void* rightData) {
    const auto* left = static_cast<const unsigned char*>(leftData);
    const auto* right = static_cast<const unsigned char*>(rightData);
    const int common = std::min(leftSize, rightSize);
    int i = 0;
    for (; i < common && left[i] < 0x80 && right[i] < 0x80; ++i) {
        const unsigned char l = asciiLower(left[i]);
        const unsigned char r = asciiLower(right[i]);
        if (l != r)
            return l < r ? -1 : 1;
    }
    if (i == common) {
        // One text is a prefix of the other; a non-empty rest never folds to nothing.
        return leftSize == rightSize ? 0 : leftSize < rightSize ? -1 : 1;
    }
    const QString leftRest =
        QString::fromUtf8(reinterpret_cast<const char*>(left + i), leftSize - i);
    const QString rightRest =
        QString::fromUtf8(reinterpret_cast<const char*>(right + i), rightSize - i);
    const int order = QString::compare(key(leftRest), key(rightRest), Qt::CaseSensitive);
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

} // namespace

QString key(const QString& text) {
    return text.toCaseFolded();
}

void addTo(SQLite::Database& db, const QString& path, const QString& operation) {
    sqlite3* connection = db.getHandle();
    const QByteArray name = QByteArray(kCollation.data(), kCollation.size());
    const int result = sqlite3_create_collation_v2(connection, name.constData(), SQLITE_UTF8,
                                                   nullptr, &compare, nullptr);
    if (result != SQLITE_OK)
        throw PatchError(operation, path,
                         QStringLiteral("SQLite refused the collation %1: %2")
                             .arg(kCollation, QString::fromUtf8(sqlite3_errstr(result))));
}

} // namespace caseless

} // namespace tolvane
