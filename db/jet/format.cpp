#include "db/jet/format.h"

#include "core/bytes.h"

#include <array>

namespace tolvane {

namespace jet {

namespace {

constexpr char kJetSignature[] = "Standard Jet DB";
constexpr char kAceSignature[] = "Standard ACE DB";
constexpr qsizetype kSignatureOffset = 4;
constexpr qsizetype kSignatureSize = 16; // with its terminating zero
constexpr qsizetype kVersionOffset = 0x14;
constexpr std::uint8_t kJet3Version = 0;
constexpr std::uint8_t kJet4Version = 1;
constexpr std::uint8_t kLastAceVersion = 6; // ACE 17, Access 2019
constexpr qsizetype kMaskedOffset = 0x18;
constexpr qsizetype kCodePageOffset = 0x3c;
constexpr qsizetype kDatabaseKeyOffset = 0x3e;

// Page 0 from 0x18 on is masked with the RC4 key stream of this fixed key.
constexpr std::array<std::uint8_t, 4> kHeaderKey = {0xc7, 0xda, 0x39, 0x6b};
constexpr qsizetype kLongestMask = kHeadSize - kMaskedOffset;

constexpr std::array<std::uint8_t, kLongestMask> headerMask() {
    std::array<std::uint8_t, 256> s{};
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<std::uint8_t>(i);
    std::uint8_t j = 0;
    for (int i = 0; i < 256; ++i) {
        j = static_cast<std::uint8_t>(j + s[i] + kHeaderKey[i % kHeaderKey.size()]);
        std::swap(s[i], s[j]);
    }
    std::array<std::uint8_t, kLongestMask> mask{};
    std::uint8_t a = 0;
    std::uint8_t b = 0;
    for (std::uint8_t& m : mask) {
        ++a;
        b = static_cast<std::uint8_t>(b + s[a]);
        std::swap(s[a], s[b]);
        m = s[static_cast<std::uint8_t>(s[a] + s[b])];
    }
    return mask;
}

constexpr std::array<std::uint8_t, kLongestMask> kHeaderMask = headerMask();

// The unmasked little-endian number of size bytes at offset, or 0 where the head ends first.
std::uint32_t unmasked(QByteArrayView head, qsizetype offset, int size, qsizetype maskedSize) {
    if (head.size() < offset + size)
        return 0;
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        std::uint8_t byte = static_cast<std::uint8_t>(head[offset + i]);
        const qsizetype m = offset + i - kMaskedOffset;
        if (m >= 0 && m < maskedSize)
            byte ^= kHeaderMask[static_cast<std::size_t>(m)];
        value = value << 8 | byte;
    }
    return value;
}

} // namespace

QString formatName(Engine engine, bool encrypted) {
    switch (engine) {
    case Engine::Jet3:
        return encrypted ? QStringLiteral("an encoded (encrypted) Microsoft Jet 3 database (Access "
                                          "97)")
                         : QStringLiteral("a Microsoft Jet 3 database (Access 97)");
    case Engine::Jet4:
        return encrypted ? QStringLiteral("an encoded (encrypted) Microsoft Jet 4 database (Access "
                                          "2000 to 2003)")
                         : QStringLiteral("a Microsoft Jet 4 database (Access 2000 to 2003)");
    case Engine::Ace:
        break;
    }
    return encrypted ? QStringLiteral("an encrypted Microsoft ACE database (Access 2007 or later, "
                                      ".accdb)")
                     : QStringLiteral("a Microsoft ACE database (Access 2007 or later, .accdb)");
}

QString encryptedReason(Engine engine) {
    const QString name = formatName(engine, true);
    if (engine != Engine::Ace)
        return QStringLiteral("The file is %1, which cannot be read. Decode it in Access (Tools > "
                              "Security > Encode/Decode Database), or convert it to SQLite.")
            .arg(name);
    return QStringLiteral("The file is %1: it is protected with a database password, which "
                          "encrypts it, and cannot be read. Remove the password in Access: open "
                          "the file with File > Open, choosing Open Exclusive from the Open "
                          "button's list, then choose File > Info > Decrypt Database (in Access "
                          "2007: Database Tools > Unset Database Password) and enter the "
                          "password.")
        .arg(name);
}

QString openOperation() {
    return QStringLiteral("Cannot open the Access database");
}

std::optional<FileHeader> readHeader(QByteArrayView head) {
    if (head.size() < kVersionOffset + 4 || !head.startsWith(QByteArrayView("\0\1\0\0", 4)))
        return std::nullopt;
    const QByteArrayView signature = head.sliced(kSignatureOffset, kSignatureSize);
    FileHeader header;
    // One byte; the bytes after it vary between files of one version.
    header.version = static_cast<std::uint8_t>(head[kVersionOffset]);
    if (signature == QByteArrayView(kJetSignature, sizeof kJetSignature)) {
        if (header.version == kJet3Version)
            header.format = &kJet3Format;
        else if (header.version == kJet4Version)
            header.format = &kJet4Format;
    } else if (signature == QByteArrayView(kAceSignature, sizeof kAceSignature)) {
        if (header.version > kJet4Version && header.version <= kLastAceVersion)
            header.format = &kAceFormat;
    }
    if (!header.format)
        return std::nullopt;
    const qsizetype masked = header.format->maskedHeaderSize;
    header.codePage = static_cast<std::uint16_t>(unmasked(head, kCodePageOffset, 2, masked));
    header.databaseKey = unmasked(head, kDatabaseKeyOffset, 4, masked);
    return header;
}

QByteArray makeHeader(const Format& format, std::uint8_t version, std::uint16_t codePage) {
    QByteArray head(kMaskedOffset + format.maskedHeaderSize, '\0');
    head[1] = 1;
    const char* signature = format.engine == Engine::Ace ? kAceSignature : kJetSignature;
    head.replace(kSignatureOffset, kSignatureSize, QByteArray(signature, kSignatureSize));
    head[kVersionOffset] = static_cast<char>(version);
    bytes::storeLittleEndian(head.data() + kCodePageOffset, codePage);
    for (qsizetype i = 0; i < format.maskedHeaderSize; ++i)
        head[kMaskedOffset + i] =
            static_cast<char>(head[kMaskedOffset + i] ^ kHeaderMask[static_cast<std::size_t>(i)]);
    return head;
}

} // namespace jet

} // namespace tolvane
