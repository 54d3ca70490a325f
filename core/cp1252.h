#pragma once

#include <QByteArray>
#include <QString>

namespace tolvane {

// Windows-1252, the code page of the game's files. Our own table rather than the
// platform's codecs: the game's bytes must not depend on which ICU a machine has.

// Encodes text; a character the code page cannot represent becomes '?'.
QByteArray toCp1252(QStringView text);
// Appends the encoding of text to out.
void appendCp1252(QByteArray& out, QStringView text);
// Decodes bytes. The five bytes the code page leaves undefined (81, 8D, 8F, 90, 9D)
// decode to the C1 control characters of the same value, as Windows does.
QString fromCp1252(QByteArrayView bytes);

} // namespace tolvane
