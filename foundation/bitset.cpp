#include "foundation/bitset.h"

#include "foundation/xkvo.h"

#include <algorithm>
#include <bit>
#include <exception>
#include <limits>
#include <stdexcept>

namespace KVO {

namespace {
constexpr std::uint32_t kAllOnes = 0xFFFFFFFFu;
constexpr std::uint32_t kNone = 0xFFFFFFFFu;
}

BitsetRep* BitsetRep::Create(std::uint32_t wordCount, std::uint32_t fill)
{
    auto* rep = new BitsetRep(std::max(wordCount, kMinWords), fill);
    rep->AddRef();
    return rep;
}

BitsetRep* BitsetRep::FromInterface(IKVOBitset* source)
{
    if (!source || source->GetTypeMark() != kNativeBitsetTypeMark) {
        return nullptr;
    }
    // Another implementation could answer the same mark; only our own class is read directly.
    return dynamic_cast<BitsetRep*>(source);
}

BitsetRep* BitsetRep::CopyFromInterface(IKVOBitset* source)
{
    if (!source) {
        return Create();
    }
    if (const BitsetRep* native = FromInterface(source)) {
        BitsetRep* copy = Create(native->WordCount(), native->fill);
        std::copy(native->words.begin(), native->words.end(), copy->words.begin());
        return copy;
    }
    ULONG count = 0;
    HRESULT hr = source->GetWordCount(&count);
    if (FAILED(hr)) {
        XKVO::Throw(hr);
    }
    BitsetRep* copy = Create(count, 0);
    DWORD fill = 0;
    hr = source->GetWords(count, copy->words.data(), &fill);
    if (FAILED(hr)) {
        copy->Release();
        XKVO::Throw(hr);
    }
    // A fill word is all or nothing; padding words up to the minimum read as the fill.
    copy->fill = fill ? kAllOnes : 0;
    std::fill(copy->words.begin() + count, copy->words.end(), copy->fill);
    return copy;
}

int BitsetRep::GetTypeMark() { return kNativeBitsetTypeMark; }

HRESULT BitsetRep::Destroy()
{
    if (RefCountValue() != 0) {
        return E_FAIL;
    }
    delete this;
    return S_OK;
}

HRESULT BitsetRep::GetWordCount(ULONG* count)
{
    if (!count) {
        return E_POINTER;
    }
    *count = WordCount();
    return S_OK;
}

HRESULT BitsetRep::GetWords(ULONG max, DWORD* buffer, DWORD* fillOut)
{
    const ULONG copied = std::min(max, WordCount());
    if (copied > 0 && !buffer) {
        return E_POINTER;
    }
    std::copy_n(words.begin(), copied, buffer);
    if (fillOut) {
        *fillOut = fill;
    }
    return copied < WordCount() ? S_FALSE : S_OK;
}

HRESULT BitsetRep::Clone(IKVOBitset** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    return GuardSlot([&] {
        *out = CopyFromInterface(this);
        return S_OK;
    });
}

void BitsetRep::DeleteThis() { delete this; }

Bitset::Bitset() : rep_(BitsetRep::Create()) {}

Bitset::Bitset(BitsetRep* rep) : rep_(rep ? rep : BitsetRep::Create()) {}

Bitset::Bitset(const Bitset& other) : rep_(other.rep_) { rep_->AddRef(); }

Bitset& Bitset::operator=(const Bitset& other)
{
    other.rep_->AddRef();
    BitsetRep* old = rep_;
    rep_ = other.rep_;
    old->Release();
    return *this;
}

Bitset::~Bitset()
{
    if (rep_) {
        rep_->Release();
    }
}

void Bitset::Adopt(BitsetRep* rep)
{
    if (rep_) {
        rep_->Release();
    }
    rep_ = rep;
}

Bitset::OutParam::OutParam(Bitset& target) : target_(target), uncaught_(std::uncaught_exceptions()) {}

Bitset::OutParam::~OutParam() noexcept(false)
{
    IKVOBitset* received = received_;
    received_ = nullptr;
    try {
        BitsetRep* rep = nullptr;
        if (received) {
            rep = BitsetRep::FromInterface(received);
            if (!rep) {
                BitsetRep* copy = nullptr;
                try {
                    copy = BitsetRep::CopyFromInterface(received);
                } catch (...) {
                    received->Release();
                    throw;
                }
                received->Release();
                rep = copy;
            }
        }
        target_.Adopt(rep ? rep : BitsetRep::Create());
    } catch (...) {
        // The target must hold a set whatever happens; the failure goes on unless another one is unwinding.
        if (!target_.rep_) {
            target_.rep_ = BitsetRep::Create();
        }
        if (std::uncaught_exceptions() == uncaught_) {
            throw;
        }
    }
}

Bitset::OutParam Bitset::ReleaseRep()
{
    Adopt(nullptr);
    return OutParam(*this);
}

BitsetRep& Bitset::Writable(std::uint64_t wordCount)
{
    if (wordCount > std::numeric_limits<std::uint32_t>::max()) {
        throw std::length_error("bitset too long");
    }
    const auto needed = std::max(static_cast<std::uint32_t>(wordCount), rep_->WordCount());
    if (rep_->IsShared()) {
        BitsetRep* copy = BitsetRep::Create(needed, rep_->fill);
        std::copy(rep_->words.begin(), rep_->words.end(), copy->words.begin());
        Adopt(copy);
    } else if (rep_->WordCount() < needed) {
        rep_->words.resize(needed, rep_->fill);
    }
    return *rep_;
}

std::uint32_t& Bitset::WordAt(std::uint32_t i) { return Writable(std::uint64_t{i} + 1).words[i]; }

void Bitset::MakeUnique() { Adopt(BitsetRep::CopyFromInterface(rep_)); }

void Bitset::SetLowBits(std::uint32_t n)
{
    if (n == 0) {
        return;
    }
    const std::uint32_t last = (n - 1) / 32;
    BitsetRep& rep = Writable(std::uint64_t{last} + 1);
    std::fill(rep.words.begin(), rep.words.begin() + last, kAllOnes);
    const std::uint32_t bitsInLast = (n - 1) % 32 + 1;
    rep.words[last] |= bitsInLast == 32 ? kAllOnes : (1u << bitsInLast) - 1;
}

Bitset& Bitset::operator|=(const Bitset& other)
{
    const Bitset source(other); // holds the other side even when it is this set
    BitsetRep& rep = Writable(source.WordCount());
    for (std::uint32_t i = 0; i < rep.WordCount(); ++i) {
        rep.words[i] |= source.Word(i);
    }
    rep.fill |= source.FillWord();
    return *this;
}

Bitset& Bitset::operator^=(const Bitset& other)
{
    const Bitset source(other);
    BitsetRep& rep = Writable(source.WordCount());
    for (std::uint32_t i = 0; i < rep.WordCount(); ++i) {
        rep.words[i] ^= source.Word(i);
    }
    rep.fill ^= source.FillWord();
    return *this;
}

std::uint32_t Bitset::BitLength() const
{
    if (rep_->fill) {
        return kNone;
    }
    const auto& words = rep_->words;
    for (std::size_t i = words.size(); i > 0; --i) {
        if (const std::uint32_t w = words[i - 1]) {
            return static_cast<std::uint32_t>((i - 1) * 32 + (32 - std::countl_zero(w)));
        }
    }
    return 0;
}

std::uint32_t Bitset::FindFirst() const
{
    const auto& words = rep_->words;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (const std::uint32_t w = words[i]) {
            return static_cast<std::uint32_t>(i * 32 + std::countr_zero(w));
        }
    }
    return rep_->fill ? 32 * rep_->WordCount() : kNone;
}

bool Bitset::IsEmpty() const
{
    return rep_->fill == 0 && std::all_of(rep_->words.begin(), rep_->words.end(), [](std::uint32_t w) { return w == 0; });
}

}
