#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtEndian>

#include <concepts>

class QIODevice;

// The byte layouts of the game's files: whole numbers stored least significant byte first,
// whatever the machine.
namespace bytes {

// The integer stored little-endian at p (which needs no alignment).
template <std::integral T> T loadLittleEndian(const char* p) {
    return qFromLittleEndian<T>(p);
}

// Stores value little-endian at p (which needs no alignment).
template <std::integral T> void storeLittleEndian(char* p, T value) {
    qToLittleEndian<T>(value, p);
}

// Appends value, little-endian, to out.
template <std::integral T> void appendLittleEndian(QByteArray& out, T value) {
    char stored[sizeof(T)];
    storeLittleEndian(stored, value);
    out.append(stored, sizeof stored);
}

// Writes all of data to device. A write that stops short is retried: on a full disk it is
// the retry that fails with the system's reason, where the short write reports none.
bool writeWhole(QIODevice& device, QByteArrayView data);

} // namespace bytes
