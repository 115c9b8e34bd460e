// KVO::Bitset: a copy-on-write set of bit indices over a reference-counted KVO::BitsetRep.
//
// The representation stores n 32-bit words (n at least 2) and a fill word, 0 or 0xFFFFFFFF, which is the value of
// every bit beyond the stored words, so that a set can be unbounded ("all"). It is at the same time the
// IKVOBitset object handed to the host. Copies of a Bitset share the representation; every change first makes it
// private when anyone else holds it.
#pragma once

#include "foundation/comobject.h"
#include "sdk/ikvobitset.h"

#include <cstdint>
#include <vector>

template <>
struct InterfaceIdOf<IKVOBitset> {
    static constexpr const IID& value = IID_IKVOBitset;
};

namespace KVO {

class BitsetRep final : public SimpleUnknownImp1<IKVOBitset, 0> {
public:
    static constexpr std::uint32_t kMinWords = 2;

    // A new representation of max(wordCount, 2) words, each set to the fill word, holding one reference.
    static BitsetRep* Create(std::uint32_t wordCount = kMinWords, std::uint32_t fill = 0);
    // A new representation (one reference) with the bits of any set: the module's own are copied directly,
    // others are read through their word count and words. Null gives an empty set. Throws XKVO when a foreign set
    // fails to answer.
    static BitsetRep* CopyFromInterface(IKVOBitset* source);
    // The module's own representation behind the interface, or null for any other implementation.
    static BitsetRep* FromInterface(IKVOBitset* source);

    std::uint32_t WordCount() const { return static_cast<std::uint32_t>(words.size()); }
    // Word i, or the fill word beyond the stored words.
    std::uint32_t Word(std::uint32_t i) const { return i < words.size() ? words[i] : fill; }
    bool Test(std::uint32_t bit) const { return (Word(bit / 32) >> (bit % 32)) & 1u; }
    // Held by more than one owner, so a change must first copy it.
    bool IsShared() const { return RefCountValue() > 1; }

    // IKVOBitset
    int GetTypeMark() override;
    HRESULT Destroy() override;
    HRESULT GetWordCount(ULONG* count) override;
    HRESULT GetWords(ULONG max, DWORD* buffer, DWORD* fillOut) override;
    HRESULT Clone(IKVOBitset** out) override;
    void DeleteThis() override;

    std::uint32_t fill = 0;            // 0 or 0xFFFFFFFF
    std::vector<std::uint32_t> words;  // bit i is bit (i mod 32) of word i / 32

private:
    BitsetRep(std::uint32_t wordCount, std::uint32_t fillWord) : fill(fillWord), words(wordCount, fillWord) {}
    ~BitsetRep() override = default;
};

class Bitset {
public:
    // The empty set: 2 zero words, fill 0.
    Bitset();
    // Takes over one reference to `rep`; null gives the empty set.
    explicit Bitset(BitsetRep* rep);
    Bitset(const Bitset& other);
    Bitset& operator=(const Bitset& other);
    ~Bitset();

    // Out-parameter adaptor for an interface call that returns a new IKVOBitset: converts to IKVOBitset** and,
    // at the end of the full expression, adopts the module's own representation or copies (and releases) any other;
    // nothing returned leaves the empty set.
    class OutParam {
    public:
        explicit OutParam(Bitset& target);
        OutParam(const OutParam&) = delete;
        OutParam& operator=(const OutParam&) = delete;
        ~OutParam() noexcept(false);
        operator IKVOBitset**() { return &received_; }

    private:
        Bitset& target_;
        IKVOBitset* received_ = nullptr;
        int uncaught_;
    };
    // Releases the representation and returns the adaptor that receives the next one.
    OutParam ReleaseRep();

    // The representation as the host sees it (no reference added).
    IKVOBitset* Interface() const { return rep_; }
    const BitsetRep& Rep() const { return *rep_; }

    std::uint32_t WordCount() const { return rep_->WordCount(); }
    std::uint32_t FillWord() const { return rep_->fill; }
    std::uint32_t Word(std::uint32_t i) const { return rep_->Word(i); }
    bool Test(std::uint32_t bit) const { return rep_->Test(bit); }

    // Word i, writable: the representation is made private first, and grown (new words take the fill word) when
    // i lies beyond the stored words. The reference is valid until the next operation on this set.
    std::uint32_t& WordAt(std::uint32_t i);
    // Replaces the representation by a private copy.
    void MakeUnique();
    // Sets bits 0 to n-1.
    void SetLowBits(std::uint32_t n);
    // Word-wise over the longer of the two, each side extended by its fill word.
    Bitset& operator|=(const Bitset& other);
    Bitset& operator^=(const Bitset& other);

    // 0xFFFFFFFF when the fill is set; else one more than the highest set bit (0 for none).
    std::uint32_t BitLength() const;
    // The lowest set bit; with no stored bit set, 32 * n when the fill is set, else 0xFFFFFFFF.
    std::uint32_t FindFirst() const;
    // No bit set anywhere, including beyond the stored words.
    bool IsEmpty() const;

private:
    // Makes the representation private with at least `wordCount` words.
    BitsetRep& Writable(std::uint64_t wordCount);
    void Adopt(BitsetRep* rep);

    BitsetRep* rep_;
};

}
