// The tagged stream reader over any bytes: a script at the front of the input says what to read. Whatever reads
// successfully is written again and must read back the same.
#include "fuzzkit.h"

#include "foundation/binstream.h"
#include "foundation/kvostring.h"
#include "foundation/xkvo.h"

#include <cstring>
#include <sstream>

namespace {

enum Op : std::uint8_t { kByte, kShort, kLong, kFloat, kDouble, kString, kULongLong, kBlock, kUShort, kULong, kOps };

struct Value {
    explicit Value(Op kind, std::uint64_t valueBits = 0, KVO::String valueText = {}, fuzzkit::Bytes valueBlock = {})
        : op(kind), bits(valueBits), text(std::move(valueText)), block(std::move(valueBlock))
    {
    }

    Op op;
    std::uint64_t bits;
    KVO::String text;
    fuzzkit::Bytes block;

    bool operator==(const Value& other) const
    {
        return op == other.op && bits == other.bits && block == other.block &&
               std::u16string_view(text.c_str()) == std::u16string_view(other.text.c_str());
    }
};

template <class T>
std::uint64_t Bits(T value)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof value);
    return bits;
}

// Reads the script's values until the first that fails.
std::vector<Value> ReadAll(std::streambuf& buffer, const std::vector<std::uint8_t>& script)
{
    KVO::BinIStream in(&buffer);
    std::vector<Value> values;
    for (const std::uint8_t code : script) {
        Value value(static_cast<Op>(code % kOps));
        HRESULT hr = S_OK;
        switch (value.op) {
        case kByte: { BYTE v = 0; hr = in.ReadByte(&v); value.bits = v; break; }
        case kShort: { SHORT v = 0; hr = in.ReadShort(&v); value.bits = static_cast<USHORT>(v); break; }
        case kLong: { LONG v = 0; hr = in.ReadLong(&v); value.bits = static_cast<ULONG>(v); break; }
        case kFloat: { float v = 0; hr = in.ReadFloat(&v); value.bits = Bits(v); break; }
        case kDouble: { double v = 0; hr = in.ReadDouble(&v); value.bits = Bits(v); break; }
        case kULongLong: { ULONGLONG v = 0; hr = in.ReadULongLong(&v); value.bits = v; break; }
        case kUShort: { USHORT v = 0; hr = in.ReadUShort(&v); value.bits = v; break; }
        case kULong: { ULONG v = 0; hr = in.ReadULong(&v); value.bits = v; break; }
        case kBlock:
            value.block.resize(code / kOps);
            hr = in.ReadBlock(value.block.data(), static_cast<ULONG>(value.block.size()));
            break;
        case kString:
            try {
                in.ReadString(value.text);
            } catch (const XKVO&) {
                return values; // a bad string header: refused before anything is allocated for it
            }
            break;
        case kOps:
            break;
        }
        if (FAILED(hr) || !in.Good()) {
            return values;
        }
        values.push_back(std::move(value));
    }
    return values;
}

void WriteAll(std::streambuf& buffer, const std::vector<Value>& values)
{
    KVO::BinOStream out(&buffer);
    for (const Value& value : values) {
        switch (value.op) {
        case kByte: out.WriteByte(static_cast<BYTE>(value.bits)); break;
        case kShort:
        case kUShort: out.WriteShort(static_cast<LONG>(value.bits)); break;
        case kLong:
        case kULong: out.WriteLong(static_cast<LONG>(static_cast<ULONG>(value.bits))); break;
        case kFloat: { float v; std::uint32_t b = static_cast<std::uint32_t>(value.bits); std::memcpy(&v, &b, 4); out.WriteFloat(v); break; }
        case kDouble: { double v; std::memcpy(&v, &value.bits, 8); out.WriteDouble(v); break; }
        case kULongLong: out.WriteLongLong(static_cast<DWORD>(value.bits), static_cast<DWORD>(value.bits >> 32)); break;
        case kBlock: out.WriteBlock(value.block.data(), static_cast<ULONG>(value.block.size())); break;
        case kString: out.WriteString(value.text); break;
        case kOps: break;
        }
    }
    out.Flush();
}

std::vector<fuzzkit::Bytes> Seeds()
{
    const std::vector<std::vector<Value>> scripts = {
        {Value(kLong, 787), Value(kString, 0, KVO::String(u"Rise time (\u00b5s)")), Value(kDouble, Bits(0.25)),
         Value(kLong, 787)},
        {Value(kByte, 7), Value(kShort, 0xFFFF), Value(kFloat, Bits(1.5f)), Value(kULongLong, 0x123456789ull),
         Value(kString), Value(kULong, 1337)},
        {Value(kBlock, 0, {}, {1, 2, 3, 4}), Value(kUShort, 40), Value(kString, 0, KVO::String(u"ch1"))},
    };
    std::vector<fuzzkit::Bytes> seeds;
    for (const auto& script : scripts) {
        std::stringbuf buffer;
        WriteAll(buffer, script);
        fuzzkit::Bytes seed{static_cast<std::uint8_t>(script.size())};
        for (const Value& value : script) {
            seed.push_back(static_cast<std::uint8_t>(value.op + kOps * value.block.size()));
        }
        const std::string bytes = buffer.str();
        seed.insert(seed.end(), bytes.begin(), bytes.end());
        seeds.push_back(std::move(seed));
    }
    return seeds;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzkit::WriteSeedsIfAsked("binstream", Seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzkit::Input input(data, size);
    std::vector<std::uint8_t> script(input.Byte() % 33);
    for (auto& code : script) {
        code = input.Byte();
    }
    const fuzzkit::Bytes rest = input.Rest();
    std::stringbuf buffer(std::string(rest.begin(), rest.end()), std::ios::in);
    const std::vector<Value> values = ReadAll(buffer, script);

    std::stringbuf again;
    WriteAll(again, values);
    std::stringbuf copy(again.str(), std::ios::in);
    const std::vector<Value> reread = ReadAll(copy, std::vector<std::uint8_t>(script.begin(), script.begin() + values.size()));
    fuzzkit::Check(reread == values, "values written again read back differently");
    return 0;
}
