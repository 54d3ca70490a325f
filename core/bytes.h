#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

// Fixed-width values in little-endian byte order, the order of every binary file the
// program reads or writes. Works for integers and floating-point values; callers check
// the bounds.
namespace bytes {

namespace detail {
template <class T>
concept Scalar = std::is_integral_v<T> || std::is_floating_point_v<T>;

template <class T> std::array<unsigned char, sizeof(T)> toLittleEndian(T value) {
    auto raw = std::bit_cast<std::array<unsigned char, sizeof(T)>>(value);
    if constexpr (std::endian::native == std::endian::big) {
        for (std::size_t i = 0; i < sizeof(T) / 2; ++i)
            std::swap(raw[i], raw[sizeof(T) - 1 - i]);
    }
    return raw;
}
} // namespace detail

// The value of type T stored at p.
template <detail::Scalar T> T readLE(const void* p) {
    std::array<unsigned char, sizeof(T)> raw;
    std::memcpy(raw.data(), p, sizeof(T));
    if constexpr (std::endian::native == std::endian::big) {
        for (std::size_t i = 0; i < sizeof(T) / 2; ++i)
            std::swap(raw[i], raw[sizeof(T) - 1 - i]);
    }
    return std::bit_cast<T>(raw);
}

// Stores value at p.
template <detail::Scalar T> void writeLE(void* p, T value) {
    const auto raw = detail::toLittleEndian(value);
    std::memcpy(p, raw.data(), sizeof(T));
}

// Appends value to a byte buffer such as QByteArray or std::string.
template <detail::Scalar T, class Buffer> void appendLE(Buffer& out, T value) {
    const auto raw = detail::toLittleEndian(value);
    out.append(reinterpret_cast<const char*>(raw.data()), sizeof(T));
}

} // namespace bytes
