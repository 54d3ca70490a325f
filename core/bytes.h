#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtEndian>

#include <type_traits>

class QIODevice;

namespace tolvane {

// The byte layouts of the game's files: numbers stored least significant byte first,
// whatever the machine.
namespace bytes {

// A number: a whole number, or a float or double in IEEE 754 form.
template <class T>
concept Number = std::is_arithmetic_v<T>;

// The number stored little-endian at p (which needs no alignment).
template <Number T> T loadLittleEndian(const void* p) {
    return qFromLittleEndian<T>(p);
}

// Stores value little-endian at p (which needs no alignment).
template <Number T> void storeLittleEndian(void* p, T value) {
    qToLittleEndian<T>(value, p);
}

// Appends value, little-endian, to out.
template <Number T> void appendLittleEndian(QByteArray& out, T value) {
    char stored[sizeof(T)];
    storeLittleEndian(stored, value);
    out.append(stored, sizeof stored);
}

// Writes all of data to device. A write that stops short is retried: on a full disk it is
// the retry that fails with the system's reason, where the short write reports none.
bool writeWhole(QIODevice& device, QByteArrayView data);

} // namespace bytes

} // namespace tolvane
