#include "core/cp1252.h"

#include <array>

namespace tolvane {

namespace {

// Unicode code points of the bytes 0x80 to 0x9F; the rest of the code page is Latin-1.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98-9F
};

char encodeOne(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == c)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

} // namespace

void appendCp1252(QByteArray& out, QStringView text) {
    // One byte per UTF-16 unit at most; resize grows the buffer geometrically.
    const qsizetype start = out.size();
    out.resize(start + text.size());
    char* to = out.data() + start;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        // A surrogate pair is one character outside the code page: one '?', not two.
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text[i + 1].unicode()))
            ++i;
        *to++ = encodeOne(c);
    }
    out.truncate(to - out.constData());
}

QByteArray toCp1252(QStringView text) {
    QByteArray out;
    appendCp1252(out, text);
    return out;
}

QString fromCp1252(QByteArrayView bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        out++->unicode() = (u >= 0x80 && u < 0xA0) ? kHighControls[u - 0x80] : char16_t(u);
    }
    return text;
}

} // namespace tolvane
