#include "foundation/comobject.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

// {1D2C3B4A-0001-4000-8000-00000000C0DE}
constexpr IID IID_IProbe{0x1D2C3B4A, 0x0001, 0x4000, {0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0xDE}};
// {1D2C3B4A-0002-4000-8000-00000000C0DE}
constexpr IID IID_IOther{0x1D2C3B4A, 0x0002, 0x4000, {0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0xDE}};
// {1D2C3B4A-0003-4000-8000-00000000C0DE}
constexpr IID IID_IMissing{0x1D2C3B4A, 0x0003, 0x4000, {0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0xDE}};

struct IProbe : IUnknown {
    virtual int Value() = 0;
};
struct IOther : IUnknown {
    virtual int Other() = 0;
};

}

template <>
struct InterfaceIdOf<IProbe> {
    static constexpr const IID& value = IID_IProbe;
};

namespace {

// Records the count it sees while being destroyed.
struct Probe final : SimpleUnknownImp1<IProbe, 0> {
    explicit Probe(LONG& countAtDestruction) : seen_(countAtDestruction) {}
    ~Probe() override { seen_ = RefCountValue(); }
    int Value() override { return 42; }
    LONG& seen_;
};

TEST(SimpleUnknown, CountsFromZeroAndDeletesItselfOnLastRelease)
{
    LONG seen = 0;
    auto* probe = new Probe(seen);
    EXPECT_EQ(probe->RefCountValue(), 0);
    EXPECT_EQ(probe->AddRef(), 1u);

    void* out = nullptr;
    EXPECT_EQ(probe->QueryInterface(IID_IProbe, &out), S_OK);
    EXPECT_EQ(out, static_cast<IProbe*>(probe));
    EXPECT_EQ(probe->QueryInterface(IID_IUnknown, &out), S_OK);
    EXPECT_EQ(probe->RefCountValue(), 3);
    out = &seen;
    EXPECT_EQ(probe->QueryInterface(IID_IOther, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(probe->QueryInterface(IID_IProbe, nullptr), E_POINTER);

    EXPECT_EQ(probe->Release(), 2u);
    EXPECT_EQ(probe->Release(), 1u);
    EXPECT_EQ(probe->Release(), 0u);
    EXPECT_EQ(static_cast<std::uint32_t>(seen), 0xC0000001u); // marked before it deleted itself
}

// An object of two interfaces on the table-driven lookup.
class Twin final : public IProbe, public IOther, public KVO::CComObjectRoot {
public:
    explicit Twin(bool& destroyed) : destroyed_(destroyed) {}
    ~Twin() override { destroyed_ = true; }

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        static const KVO::InterfaceEntry table[] = {
            {&IID_IProbe, &KVO::InterfaceCast<Twin, IProbe>},
            {&IID_IOther, &KVO::InterfaceCast<Twin, IOther>},
            {nullptr, nullptr},
        };
        return InternalQueryInterface(this, table, iid, out);
    }
    ULONG AddRef() override { return InternalAddRef(); }
    ULONG Release() override { return InternalRelease(); }
    int Value() override { return 1; }
    int Other() override { return 2; }

private:
    bool& destroyed_;
};

TEST(ComObjectRoot, TableLookupReachesEachInterfaceOfOneObject)
{
    bool destroyed = false;
    auto* twin = new Twin(destroyed);
    twin->AddRef();

    void* out = nullptr;
    ASSERT_EQ(static_cast<IOther*>(twin)->QueryInterface(IID_IOther, &out), S_OK);
    auto* other = static_cast<IOther*>(out);
    EXPECT_EQ(other->Other(), 2);
    EXPECT_EQ(other, static_cast<IOther*>(twin));

    // IUnknown is the first entry's interface, whichever interface is asked.
    ASSERT_EQ(other->QueryInterface(IID_IUnknown, &out), S_OK);
    EXPECT_EQ(out, static_cast<IUnknown*>(static_cast<IProbe*>(twin)));
    EXPECT_EQ(twin->RefCountValue(), 3);

    out = twin;
    EXPECT_EQ(static_cast<IProbe*>(twin)->QueryInterface(IID_IMissing, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);

    other->Release();
    static_cast<IProbe*>(twin)->Release();
    EXPECT_FALSE(destroyed);
    static_cast<IProbe*>(twin)->Release();
    EXPECT_TRUE(destroyed);
}

TEST(ComObjectRoot, CriticalSectionCreatedOnFirstUseAndHeldByLock)
{
    bool destroyed = false;
    Twin* twin = new Twin(destroyed);
    twin->AddRef();
    EXPECT_FALSE(twin->IsCriticalSectionInitialised());

    auto tryFromOtherThread = [&] {
        bool got = false;
        std::thread([&] {
            CRITICAL_SECTION& cs = twin->CriticalSection();
            got = TryEnterCriticalSection(&cs) != FALSE;
            if (got) {
                LeaveCriticalSection(&cs);
            }
        }).join();
        return got;
    };
    {
        KVO::CritSecLock lock(*twin);
        EXPECT_TRUE(twin->IsCriticalSectionInitialised());
        EXPECT_FALSE(tryFromOtherThread());
        lock.Unlock();
        EXPECT_TRUE(tryFromOtherThread());
        lock.Unlock(); // a second unlock leaves nothing twice
    }
    EXPECT_TRUE(tryFromOtherThread());

    static_cast<IOther*>(twin)->Release();
    EXPECT_TRUE(destroyed);
}

}
