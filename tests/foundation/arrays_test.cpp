#include "foundation/arrays.h"
#include "foundation/sharedintarray.h"
#include "sdk/kvoposition.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

// An IUnknown that counts its references and records its final release.
struct CountingUnknown : IUnknown {
    LONG refs = 1; // the creator's reference, handed to an array
    int finalReleases = 0;
    std::function<void()> onFinalRelease;

    HRESULT QueryInterface(REFIID, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG Release() override
    {
        EXPECT_GT(refs, 0) << "released more often than referenced";
        if (--refs == 0) {
            ++finalReleases;
            if (onFinalRelease) {
                onFinalRelease();
            }
        }
        return static_cast<ULONG>(refs);
    }
};

// A second interface above IUnknown, to check typed storage and retrieval.
struct IThing : IUnknown {
    virtual int Id() = 0;
};
struct Thing final : IThing {
    explicit Thing(int id) : id_(id) {}
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG Release() override { return static_cast<ULONG>(--refs); }
    int Id() override { return id_; }
    LONG refs = 1;
    int id_;
};

// A raw pointer array that only records what it is asked to dispose of.
class RecordingArray : public CArrayVoidP {
public:
    RecordingArray(std::uint32_t capacity, std::uint32_t step, bool owns, bool doubling)
        : CArrayVoidP(capacity, step, owns, doubling)
    {
    }
    std::vector<std::pair<std::uint32_t, std::uint32_t>> disposed;

protected:
    void DisposeRange(std::uint32_t from, std::uint32_t to) override { disposed.emplace_back(from, to); }
};

void* P(std::uintptr_t v) { return reinterpret_cast<void*>(v); }

std::vector<std::uintptr_t> Entries(const CArrayVoidP& a)
{
    std::vector<std::uintptr_t> out;
    for (std::uint32_t i = 0; i < a.Count(); ++i) {
        out.push_back(reinterpret_cast<std::uintptr_t>(a.GetAt(i)));
    }
    return out;
}

TEST(PointerArray, GrowthFollowsStepAndDoubling)
{
    RecordingArray a(0, 4, false, false);
    a.SetSize(10);
    EXPECT_EQ(a.Capacity(), 12u);
    EXPECT_EQ(Entries(a), std::vector<std::uintptr_t>(10, 0));
    a.SetSize(5); // grows only
    EXPECT_EQ(a.Count(), 10u);

    RecordingArray d(12, 4, false, true);
    d.SetSize(13);
    EXPECT_EQ(d.Capacity(), 24u);

    // Insertion into a full array: capacity + step, or with doubling max(2 * capacity, step).
    RecordingArray s(2, 3, false, false);
    ASSERT_TRUE(s.InsertAt(0, P(1)));
    ASSERT_TRUE(s.InsertAt(1, P(2)));
    ASSERT_TRUE(s.InsertAt(2, P(3)));
    EXPECT_EQ(s.Capacity(), 5u);
    RecordingArray g(0, 8, false, true);
    ASSERT_TRUE(g.InsertAt(0, P(1)));
    EXPECT_EQ(g.Capacity(), 8u);
    for (std::uintptr_t i = 2; i <= 9; ++i) {
        g.InsertAt(g.Count(), P(i));
    }
    EXPECT_EQ(g.Capacity(), 16u);

    // ElementAtGrow: step + index, or max(step + index, 2 * capacity); the new entries are null.
    RecordingArray e(4, 3, false, false);
    *e.ElementAtGrow(6) = P(7);
    EXPECT_EQ(e.Capacity(), 9u);
    EXPECT_EQ(Entries(e), (std::vector<std::uintptr_t>{0, 0, 0, 0, 0, 0, 7}));
    RecordingArray ed(10, 2, false, true);
    ed.ElementAtGrow(11);
    EXPECT_EQ(ed.Capacity(), 20u);
    EXPECT_EQ(ed.Count(), 12u);

    // A capacity past 32 bits is refused instead of wrapping round to a short buffer.
    RecordingArray huge(0, 2, false, false);
    EXPECT_THROW(huge.ElementAtGrow(0xFFFFFFFFu), std::length_error);
    EXPECT_THROW(huge.SetSize(0xFFFFFFFFu), std::length_error);
    EXPECT_EQ(huge.Count(), 0u);
    EXPECT_EQ(huge.Capacity(), 0u);
}

TEST(PointerArray, InsertAndRemoveKeepOrder)
{
    RecordingArray a(0, 2, true, false);
    for (std::uintptr_t i = 1; i <= 3; ++i) {
        ASSERT_TRUE(a.InsertAt(a.Count(), P(i)));
    }
    ASSERT_TRUE(a.InsertAt(1, P(9)));
    EXPECT_EQ(Entries(a), (std::vector<std::uintptr_t>{1, 9, 2, 3}));

    EXPECT_FALSE(a.InsertAt(a.Count() + 1, P(5)));
    EXPECT_EQ(Entries(a), (std::vector<std::uintptr_t>{1, 9, 2, 3}));

    ASSERT_TRUE(a.InsertAt(4, P(4)));
    ASSERT_TRUE(a.RemoveRange(2, 100, true)); // cut to the count
    EXPECT_EQ(Entries(a), (std::vector<std::uintptr_t>{1, 9}));
    ASSERT_EQ(a.disposed.size(), 1u);
    EXPECT_EQ(a.disposed[0], (std::pair<std::uint32_t, std::uint32_t>{2, 5}));

    EXPECT_FALSE(a.RemoveRange(2, 2, true));
    EXPECT_FALSE(a.RemoveRange(5, 9, true));
    EXPECT_TRUE(a.RemoveRange(0, 1, false)); // no disposal asked for
    EXPECT_EQ(a.disposed.size(), 1u);
    EXPECT_EQ(Entries(a), (std::vector<std::uintptr_t>{9}));

    EXPECT_FALSE(a.RemoveValue(P(42)));
    EXPECT_TRUE(a.RemoveValue(P(9))); // disposes: the array owns its entries
    EXPECT_EQ(a.Count(), 0u);
    EXPECT_EQ(a.disposed.size(), 2u);

    RecordingArray weak(0, 2, false, false);
    weak.InsertAt(0, P(1));
    EXPECT_TRUE(weak.RemoveRange(0, 1, true)); // not owning: nothing disposed
    EXPECT_TRUE(weak.disposed.empty());
}

TEST(InterfaceArray, ReleasesEachEntryExactlyOnce)
{
    CountingUnknown a, b, c, d, e;
    {
        IUnknownArray array(0, 8, true);
        for (CountingUnknown* u : {&a, &b, &c, &d, &e}) {
            array.Add(u); // takes over the creator's reference
        }
        array.Add(nullptr);
        EXPECT_EQ(a.refs, 1); // no AddRef on insertion

        array.RemoveAt(0);
        EXPECT_EQ(a.finalReleases, 1);
        EXPECT_EQ(array.At(0), &b);
        array.RemoveAt(array.Count() - 1); // the null entry: nothing to release
        array.RemoveAt(99);
        EXPECT_EQ(array.Count(), 4u);

        EXPECT_TRUE(array.RemoveValue(&c));
        EXPECT_EQ(c.finalReleases, 1);
        EXPECT_TRUE(array.RemoveRange(1, 2, true)); // d
        EXPECT_EQ(d.finalReleases, 1);
        EXPECT_EQ(array.Count(), 2u);
    } // b and e released by the destructor
    for (CountingUnknown* u : {&a, &b, &c, &d, &e}) {
        EXPECT_EQ(u->finalReleases, 1);
        EXPECT_EQ(u->refs, 0);
    }

    CountingUnknown f, g;
    IUnknownArray cleared;
    cleared.Add(&f);
    cleared.Add(&g);
    cleared.RemoveAll();
    EXPECT_EQ(cleared.Count(), 0u);
    EXPECT_EQ(f.finalReleases + g.finalReleases, 2);
}

TEST(InterfaceArray, ReleaseThatRemovesItselfAgainIsNotReleasedTwice)
{
    // An object whose last release takes it out of the array that held it, as a handler unregistering itself.
    IUnknownArray array;
    CountingUnknown self, other;
    array.Add(&other);
    array.Add(&self);
    self.onFinalRelease = [&] { EXPECT_FALSE(array.RemoveValue(&self)); };
    array.RemoveAll();
    EXPECT_EQ(self.finalReleases, 1);
    EXPECT_EQ(other.finalReleases, 1);

    CountingUnknown third;
    array.Add(&third);
    third.onFinalRelease = [&] { EXPECT_EQ(array.Count(), 0u); };
    array.RemoveAt(0); // the gap is closed before the release
    EXPECT_EQ(third.finalReleases, 1);
}

TEST(InterfaceArray, TypedAccessAndFailedInsertKeepsCallersReference)
{
    Thing one(1), two(2), three(3);
    {
        InterfaceArray<IThing> things(2, 2, true);
        things.Add(&one);
        things.Add(&three);
        EXPECT_TRUE(things.InsertAt(1, &two));
        EXPECT_FALSE(things.InsertAt(5, &two));
        std::vector<int> ids;
        for (IThing* t : things) {
            ids.push_back(t->Id());
        }
        EXPECT_EQ(ids, (std::vector<int>{1, 2, 3}));
        EXPECT_EQ(things.Find(&three), 2);
        EXPECT_EQ(things[0]->Id(), 1);
    }
    EXPECT_EQ(one.refs, 0);
    EXPECT_EQ(two.refs, 0);
    EXPECT_EQ(three.refs, 0);
}

struct Tracked {
    explicit Tracked(std::vector<int>& log, int id) : log_(log), id_(id) {}
    virtual ~Tracked() { log_.push_back(id_); }
    std::vector<int>& log_;
    int id_;
};
struct TrackedDerived : Tracked {
    TrackedDerived(std::vector<int>& log, int id, bool& flag) : Tracked(log, id), flag_(flag) {}
    ~TrackedDerived() override { flag_ = true; }
    bool& flag_;
};

TEST(OwningArray, DeletesWhatItOwnsOnceThroughVirtualDestructors)
{
    std::vector<int> log;
    bool derivedDestroyed = false;
    {
        CIArray<Tracked> items(0, 8);
        items.Add(new Tracked(log, 1));
        items.Add(new TrackedDerived(log, 2, derivedDestroyed));
        items.Add(new Tracked(log, 3));
        items.Add(new Tracked(log, 4));
        EXPECT_EQ(items.Capacity(), 8u);

        items.RemoveAt(1);
        EXPECT_TRUE(derivedDestroyed);
        EXPECT_EQ(log, (std::vector<int>{2}));
        EXPECT_EQ(items[1]->id_, 3);

        Tracked* kept = items[0];
        EXPECT_FALSE(items.InsertAt(9, kept)); // nothing taken over, nothing deleted
        EXPECT_EQ(log.size(), 1u);
    }
    EXPECT_EQ(log, (std::vector<int>{2, 4, 3, 1}));

    log.clear();
    Tracked outside(log, 7);
    {
        CIArray<Tracked> view(0, 8, false, false); // not owning: deletes nothing
        view.Add(&outside);
        view.RemoveAll();
        view.Add(&outside);
    }
    EXPECT_TRUE(log.empty());

    // Starts empty, doubles, at least 8.
    CIArray<Tracked> doubling(0, 8, true);
    for (int i = 0; i < 9; ++i) {
        doubling.Add(new Tracked(log, i));
    }
    EXPECT_EQ(doubling.Capacity(), 16u);
}

TEST(Position, OrderedByRecordThenOffset)
{
    const KVOPosition a{500, 0}, b{10, 1}, c{20, 1}, end{0x7FFFFFFF, 0x7FFFFFFF};
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
    EXPECT_LT(c, end);
    EXPECT_EQ(b, (KVOPosition{10, 1}));
    EXPECT_NE(b, (KVOPosition{1, 10}));

    std::map<KVOPosition, int> byPosition{{c, 3}, {a, 1}, {b, 2}};
    std::vector<int> order;
    for (const auto& [position, value] : byPosition) {
        order.push_back(value);
    }
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(SharedInt32Array, CopiesShareUntilOneChanges)
{
    KVO::SharedInt32Array tops;
    EXPECT_EQ(tops.Count(), 0u);
    tops.Add(10);
    tops.Add(20);

    KVO::SharedInt32Array stored = tops;
    EXPECT_TRUE(stored.SharesWith(tops));

    tops.Add(30); // the holder that changes gets its own buffer
    EXPECT_FALSE(stored.SharesWith(tops));
    EXPECT_EQ(stored.Count(), 2u);
    EXPECT_EQ(tops.Count(), 3u);
    EXPECT_EQ(std::vector<std::int32_t>(stored.begin(), stored.end()), (std::vector<std::int32_t>{10, 20}));

    {
        KVO::SharedInt32Array last = stored;
        stored = KVO::SharedInt32Array{};
        EXPECT_EQ(last[1], 20); // still alive through the last holder
    }
}

}
