#include "support/randomrecord.h"

#include "core/cp1252.h"
#include "records/recordfields_p.h"

#include <bit>
#include <cstdint>
#include <limits>

namespace tolvane {

namespace {

class Randomiser {
public:
    explicit Randomiser(std::mt19937& rng)
        : m_rng(rng) {}

    void operator()(const char*, std::uint8_t& value) { value = std::uint8_t(m_rng()); }
    void operator()(const char*, std::int16_t& value) { value = std::int16_t(m_rng()); }
    void operator()(const char*, float& value) { value = number<float, std::uint32_t>(); }
    void operator()(const char*, double& value) { value = number<double, std::uint64_t>(); }
    void operator()(const char*, QString& text) { text = randomText(); }
    template <class T, std::size_t N> void operator()(const char* name, std::array<T, N>& values) {
        for (T& value : values)
            (*this)(name, value);
    }
    template <recordfields::detail::SubEntry Entry> void operator()(const char*, Entry& entry) {
        recordfields::detail::forEachField(entry, *this);
    }
    template <class Entry> void operator()(const char*, OptionalList<Entry>& list) {
        const unsigned shape = m_rng() % 4;
        if (shape == 0) {
            list.reset();
            return;
        }
        list.emplace(shape - 1);
        for (Entry& entry : *list)
            (*this)(nullptr, entry);
    }

private:
    template <class F, class Bits> F number() {
        const Bits random = Bits(m_rng()) | Bits(std::uint64_t(m_rng()) << 32);
        switch (m_rng() % 6) {
        case 0:
            return std::bit_cast<F>(random); // any bits: NaN payloads, subnormals
        case 1:
            return -F(0);
        case 2:
            return m_rng() % 2 ? std::numeric_limits<F>::infinity()
                               : -std::numeric_limits<F>::quiet_NaN();
        case 3:
            return F(std::int32_t(m_rng() % 200000) - 100000) / F(8);
        default:
            return F(m_rng() % 100);
        }
    }

    QString randomText() {
        QByteArray bytes(qsizetype(m_rng() % 12), Qt::Uninitialized);
        for (char& byte : bytes)
            byte = char(m_rng());
        return fromCp1252(bytes);
    }

    std::mt19937& m_rng;
};

} // namespace

PlayerRecord namedPlayer(const QString& first, const QString& last, const QString& team) {
    PlayerRecord r;
    r.firstName = first;
    r.lastName = last;
    r.team = team;
    r.fullName = first + QLatin1Char(' ') + last;
    r.overall = 71.5f;
    r.keyPos = -1;
    r.subListA = std::vector{SubEntryA{}};
    r.subListB = std::vector{SubEntryB{}};
    return r;
}

PlayerRecord randomRecord(std::mt19937& rng) {
    PlayerRecord record;
    Randomiser randomiser(rng);
    recordfields::detail::forEachField(record, randomiser);
    return record;
}

} // namespace tolvane
