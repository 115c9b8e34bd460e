#include "foundation/bitset.h"
#include "foundation/xkvo.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using KVO::Bitset;
using KVO::BitsetRep;

namespace {

// A bitset implemented elsewhere (as the host would): it can only be read through its word count and words.
struct ForeignBitset final : IKVOBitset {
    std::vector<DWORD> words;
    DWORD fill = 0;
    int typeMark = 0;
    HRESULT countResult = S_OK;
    LONG refs = 1;
    int wordReads = 0;

    HRESULT QueryInterface(REFIID, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG Release() override { return static_cast<ULONG>(--refs); }
    int GetTypeMark() override { return typeMark; }
    HRESULT Destroy() override { return E_NOTIMPL; }
    HRESULT GetWordCount(ULONG* count) override
    {
        *count = static_cast<ULONG>(words.size());
        return countResult;
    }
    HRESULT GetWords(ULONG max, DWORD* buffer, DWORD* fillOut) override
    {
        ++wordReads;
        for (ULONG i = 0; i < max && i < words.size(); ++i) {
            buffer[i] = words[i];
        }
        *fillOut = fill;
        return max < words.size() ? S_FALSE : S_OK;
    }
    HRESULT Clone(IKVOBitset**) override { return E_NOTIMPL; }
    void DeleteThis() override {}
};

// A host call that hands out a new set.
void HandOut(IKVOBitset* set, IKVOBitset** out)
{
    if (set) {
        set->AddRef();
    }
    *out = set;
}

std::vector<std::uint32_t> Words(const Bitset& b)
{
    std::vector<std::uint32_t> out;
    for (std::uint32_t i = 0; i < b.WordCount(); ++i) {
        out.push_back(b.Word(i));
    }
    return out;
}

TEST(Bitset, CopiesShareAndEveryChangeUnshares)
{
    Bitset a;
    EXPECT_EQ(a.WordCount(), 2u);
    EXPECT_TRUE(a.IsEmpty());
    a.WordAt(0) = 0x5;

    // A word changed in place on a shared set must not show through the other handle.
    Bitset b = a;
    EXPECT_EQ(b.Interface(), a.Interface());
    b.WordAt(1) = 0xF0;
    EXPECT_NE(b.Interface(), a.Interface());
    EXPECT_EQ(Words(a), (std::vector<std::uint32_t>{0x5, 0}));
    EXPECT_EQ(Words(b), (std::vector<std::uint32_t>{0x5, 0xF0}));

    // An unshared set changes in place.
    IKVOBitset* before = b.Interface();
    b.WordAt(0) |= 0x100;
    EXPECT_EQ(b.Interface(), before);

    // Each mutating operation leaves the other holders alone.
    const std::vector<std::uint32_t> original = Words(a);
    auto unshares = [&](auto change) {
        Bitset copy = a;
        change(copy);
        EXPECT_NE(copy.Interface(), a.Interface());
        EXPECT_EQ(Words(a), original);
        EXPECT_FALSE(a.Test(100));
    };
    unshares([](Bitset& s) { s.SetLowBits(70); });
    unshares([&](Bitset& s) { s |= b; });
    unshares([&](Bitset& s) { s ^= b; });
    unshares([](Bitset& s) { s.WordAt(5) = 0; });
    unshares([](Bitset& s) { s.MakeUnique(); });

    // A reference the host holds counts as sharing too.
    IKVOBitset* held = a.Interface();
    held->AddRef();
    a.WordAt(0) = 0;
    EXPECT_NE(a.Interface(), held);
    DWORD word = 0, fill = 1;
    held->GetWords(1, &word, &fill);
    EXPECT_EQ(word, 0x5u);
    held->Release();

    // Operating with itself.
    Bitset self = b;
    self |= self;
    EXPECT_EQ(Words(self), Words(b));
    self ^= self;
    EXPECT_TRUE(self.IsEmpty());
    EXPECT_FALSE(b.IsEmpty());
}

// Reference model: the value of bit i of a set, from its words and fill word.
bool ModelBit(const std::vector<std::uint32_t>& words, std::uint32_t fill, std::uint32_t i)
{
    const std::uint32_t w = i / 32 < words.size() ? words[i / 32] : fill;
    return (w >> (i % 32)) & 1u;
}

Bitset Make(const std::vector<std::uint32_t>& words, std::uint32_t fill)
{
    BitsetRep* rep = BitsetRep::Create(static_cast<std::uint32_t>(words.size()), fill);
    std::copy(words.begin(), words.end(), rep->words.begin());
    return Bitset(rep);
}

TEST(Bitset, OrAndXorAgreeWithTheBitwiseModelIncludingFills)
{
    std::mt19937 random(12345);
    for (int round = 0; round < 200; ++round) {
        std::vector<std::uint32_t> wa(2 + random() % 5), wb(2 + random() % 5);
        for (auto& w : wa) w = random();
        for (auto& w : wb) w = random();
        const std::uint32_t fa = (random() & 1) ? 0xFFFFFFFFu : 0;
        const std::uint32_t fb = (random() & 1) ? 0xFFFFFFFFu : 0;

        Bitset orSet = Make(wa, fa);
        orSet |= Make(wb, fb);
        Bitset xorSet = Make(wa, fa);
        xorSet ^= Make(wb, fb);
        EXPECT_EQ(orSet.WordCount(), std::max(wa.size(), wb.size()));
        for (std::uint32_t i = 0; i < 32 * 9; ++i) {
            const bool x = ModelBit(wa, fa, i), y = ModelBit(wb, fb, i);
            ASSERT_EQ(orSet.Test(i), x || y) << "round " << round << " bit " << i;
            ASSERT_EQ(xorSet.Test(i), x != y) << "round " << round << " bit " << i;
        }
    }

    // Clearing bits as a caller does it: or with the set, then xor with it.
    Bitset channels = Make({0xFF, 0x1}, 0);
    const Bitset removed = Make({0x0F, 0, 0}, 0);
    channels |= removed;
    channels ^= removed;
    EXPECT_EQ(Words(channels), (std::vector<std::uint32_t>{0xF0, 0x1, 0}));
}

TEST(Bitset, FillWordBeyondStoredWords)
{
    Bitset all = Make({0, 0}, 0xFFFFFFFFu);
    EXPECT_TRUE(all.Test(64));
    EXPECT_TRUE(all.Test(100000));
    EXPECT_FALSE(all.Test(3));
    EXPECT_FALSE(all.IsEmpty());
    EXPECT_EQ(all.FindFirst(), 64u); // 32 * n when no stored bit is set
    EXPECT_EQ(all.BitLength(), 0xFFFFFFFFu);

    // Growing takes the fill word for the new words.
    all.WordAt(3) &= ~1u;
    EXPECT_EQ(Words(all), (std::vector<std::uint32_t>{0, 0, 0xFFFFFFFF, 0xFFFFFFFE}));
    EXPECT_FALSE(all.Test(96));
    EXPECT_TRUE(all.Test(97));
    EXPECT_TRUE(all.Test(128));

    Bitset none;
    EXPECT_EQ(none.FindFirst(), 0xFFFFFFFFu);
    EXPECT_EQ(none.BitLength(), 0u);
    none.WordAt(4) = 0;
    EXPECT_EQ(none.WordCount(), 5u);
    EXPECT_TRUE(none.IsEmpty());
}

TEST(Bitset, LowBitsHighestAndLowest)
{
    Bitset s;
    s.SetLowBits(0);
    EXPECT_TRUE(s.IsEmpty());
    s.SetLowBits(33);
    EXPECT_EQ(Words(s), (std::vector<std::uint32_t>{0xFFFFFFFF, 1}));
    EXPECT_EQ(s.BitLength(), 33u);
    EXPECT_EQ(s.FindFirst(), 0u);

    Bitset full;
    full.SetLowBits(96);
    EXPECT_EQ(Words(full), (std::vector<std::uint32_t>{0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}));
    EXPECT_FALSE(full.Test(96));

    // Setting low bits keeps higher bits already set.
    Bitset keep;
    keep.WordAt(0) = 0x80000000u;
    keep.SetLowBits(4);
    EXPECT_EQ(keep.Word(0), 0x8000000Fu);

    Bitset sparse;
    sparse.WordAt(1) = 1u << 8;  // bit 40
    sparse.WordAt(3) = 1u << 4;  // bit 100
    EXPECT_EQ(sparse.FindFirst(), 40u);
    EXPECT_EQ(sparse.BitLength(), 101u);
    sparse.WordAt(0) = 1u << 31; // bit 31
    EXPECT_EQ(sparse.FindFirst(), 31u);
}

TEST(BitsetRep, InterfaceSlots)
{
    Bitset s = Make({1, 2, 3, 4}, 0xFFFFFFFFu);
    IKVOBitset* rep = s.Interface();
    EXPECT_EQ(rep->GetTypeMark(), 1);

    ULONG count = 0;
    EXPECT_EQ(rep->GetWordCount(&count), S_OK);
    EXPECT_EQ(count, 4u);
    DWORD words[6] = {9, 9, 9, 9, 9, 9};
    DWORD fill = 0;
    EXPECT_EQ(rep->GetWords(2, words, &fill), S_FALSE);
    EXPECT_EQ((std::vector<DWORD>(words, words + 3)), (std::vector<DWORD>{1, 2, 9}));
    EXPECT_EQ(fill, 0xFFFFFFFFu);
    EXPECT_EQ(rep->GetWords(6, words, &fill), S_OK);
    EXPECT_EQ((std::vector<DWORD>(words, words + 5)), (std::vector<DWORD>{1, 2, 3, 4, 9}));

    IKVOBitset* clone = nullptr;
    ASSERT_EQ(rep->Clone(&clone), S_OK);
    ASSERT_NE(clone, rep);
    Bitset fromClone(static_cast<BitsetRep*>(clone)); // takes over the clone's one reference
    EXPECT_EQ(Words(fromClone), Words(s));
    EXPECT_EQ(fromClone.FillWord(), 0xFFFFFFFFu);

    // Destroy refuses while anyone holds the set.
    EXPECT_EQ(rep->Destroy(), E_FAIL);
    EXPECT_EQ(s.Word(2), 3u);

    void* out = nullptr;
    EXPECT_EQ(rep->QueryInterface(IID_IKVOBitset, &out), S_OK);
    EXPECT_EQ(out, rep);
    EXPECT_EQ(rep->Release(), 1u); // the reference the query added
    EXPECT_EQ(rep->QueryInterface(IID_IAutoKVOString, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
}

TEST(BitsetRep, ForeignSetsAreReadThroughWordCountAndWords)
{
    ForeignBitset foreign;
    foreign.words = {0xA, 0xB, 0xC};
    foreign.fill = 0xFFFFFFFFu;
    Bitset copy(BitsetRep::CopyFromInterface(&foreign));
    EXPECT_EQ(Words(copy), (std::vector<std::uint32_t>{0xA, 0xB, 0xC}));
    EXPECT_TRUE(copy.Test(200));
    EXPECT_EQ(foreign.wordReads, 1);

    // A short foreign set is padded to 2 words with its fill, so no bit changes value.
    ForeignBitset shortSet;
    shortSet.fill = 0xFFFFFFFFu;
    Bitset padded(BitsetRep::CopyFromInterface(&shortSet));
    EXPECT_EQ(Words(padded), (std::vector<std::uint32_t>{0xFFFFFFFF, 0xFFFFFFFF}));
    EXPECT_TRUE(padded.Test(0));

    // Claiming the native mark does not make another implementation readable in place.
    ForeignBitset impostor;
    impostor.typeMark = 1;
    impostor.words = {7, 0};
    Bitset fromImpostor(BitsetRep::CopyFromInterface(&impostor));
    EXPECT_EQ(fromImpostor.Word(0), 7u);
    EXPECT_EQ(impostor.wordReads, 1);

    Bitset fromNull(BitsetRep::CopyFromInterface(nullptr));
    EXPECT_TRUE(fromNull.IsEmpty());
    EXPECT_EQ(fromNull.WordCount(), 2u);
}

TEST(Bitset, OutParameterAdoptsNativeAndCopiesForeign)
{
    Bitset target = Make({1, 0}, 0);
    Bitset other = Make({0, 0, 0x77}, 0);

    HandOut(other.Interface(), target.ReleaseRep());
    EXPECT_EQ(target.Interface(), other.Interface()); // adopted, not copied
    target.WordAt(0) = 1;
    EXPECT_EQ(other.Word(0), 0u); // and still copy-on-write

    ForeignBitset foreign;
    foreign.words = {0x1234, 0};
    HandOut(&foreign, target.ReleaseRep());
    EXPECT_EQ(target.Word(0), 0x1234u);
    EXPECT_EQ(foreign.refs, 1); // the reference handed out was released after copying

    HandOut(nullptr, target.ReleaseRep());
    EXPECT_TRUE(target.IsEmpty());

    // A foreign set that cannot say its size: the failure is reported and the target stays a valid set.
    ForeignBitset broken;
    broken.countResult = E_FAIL;
    Bitset failed = Make({5, 5}, 0);
    EXPECT_THROW(HandOut(&broken, failed.ReleaseRep()), XKVO);
    EXPECT_EQ(broken.refs, 1);
    EXPECT_TRUE(failed.IsEmpty());
}

}
