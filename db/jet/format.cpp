#include "db/jet/format.h"

#include "core/bytes.h"

#include <algorithm>
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
    QByteArray plain = head.first(std::min(head.size(), kHeadSize)).toByteArray();
    maskHeader(plain, *header.format);
    // A head too short for a field leaves it 0.
    if (plain.size() >= kCodePageOffset + 2)
        header.codePage =
            bytes::loadLittleEndian<std::uint16_t>(plain.constData() + kCodePageOffset);
    if (plain.size() >= kDatabaseKeyOffset + 4)
        header.databaseKey =
            bytes::loadLittleEndian<std::uint32_t>(plain.constData() + kDatabaseKeyOffset);
    return header;
}

void maskHeader(QByteArray& head, const Format& format) {
    const qsizetype end = std::min(head.size(), kMaskedOffset + format.maskedHeaderSize);
    for (qsizetype i = kMaskedOffset; i < end; ++i)
        head[i] =
            static_cast<char>(head[i] ^ kHeaderMask[static_cast<std::size_t>(i - kMaskedOffset)]);
}

} // namespace jet

} // namespace tolvane
