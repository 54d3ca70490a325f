#include "db/jet/values/decoders_p.h"

namespace tolvane {

namespace jet {

namespace {

// The value of a calculated column of a type whose value Access stores as the type's own
// bytes, behind the calculated value's header.
template <Decoder decode> QVariant calculated(const Field& field) {
    return decode({calculatedValue(field.bytes), field.column, field.pages, field.buffer});
}

struct TypeDecoders {
    std::uint8_t type;
    Decoder stored;     // null for Yes/No, whose value is its bit in the null mask
    Decoder calculated; // the value of a calculated column of this result type
};

// clang-format off
constexpr TypeDecoders kDecoders[] = {
    {Bool,             nullptr,                calculated<decodeYesNoByte>},
    {Byte,             decodeByte,             calculated<decodeByte>},
    {Int,              decodeInteger,          calculated<decodeInteger>},
    {Long,             decodeLongInteger,      calculated<decodeLongInteger>},
    {BigInt,           decodeLargeNumber,      calculated<decodeLargeNumber>},
    {Float,            decodeSingle,           calculated<decodeSingle>},
    {Double,           decodeDouble,           calculated<decodeDouble>},
    {Money,            decodeCurrency,         calculated<decodeCurrency>},
    {DateTime,         decodeDateTime,         calculated<decodeDateTime>},
    {ExtendedDateTime, decodeExtendedDateTime, calculated<decodeExtendedDateTime>},
    {Numeric,          decodeDecimal,          decodeCalculatedDecimal},
    {Guid,             decodeReplicationId,    calculated<decodeReplicationId>},
    {Text,             decodeText,             calculated<decodeText>},
    {Memo,             decodeMemo,             decodeCalculatedMemo},
    {Ole,              decodeOle,              decodeCalculatedOle},
    {Binary,           decodeBinary,           calculated<decodeBinary>},
};
// clang-format on

} // namespace

void tooShort(const Field& field, std::size_t size) {
    malformed(QStringLiteral("It holds %1 bytes; its type %2 needs %3.")
                  .arg(field.bytes.size())
                  .arg(columnTypeName(field.column.type))
                  .arg(size));
}

ColumnDecoder decoderFor(const Column& column) {
    for (const TypeDecoders& d : kDecoders) {
        if (d.type == column.type)
            return {column.calculated ? d.calculated : d.stored, true};
    }
    return {decodeBinary, false};
}

} // namespace jet

} // namespace tolvane
