#include "frame/hostservices.h"

#include "foundation/frameworklibrary.h"
#include "frame/typeid.h"
#include "foundation/xkvo.h"
#include "platform/com/classobjects.h"
#include "platform/win/msgbox.h"
#include "platform/win/resources.h"
#include "frame/channeltoken.h"
#include "host/host.h"
#include "sdk/channelcalc.h"
#include "sharedhost.h"
#include "../slotof.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

// {0B3A36A5-3C8E-4E0A-9D55-5C2F1B7E6A01}
constexpr CLSID kCountingClass{0x0B3A36A5, 0x3C8E, 0x4E0A, {0x9D, 0x55, 0x5C, 0x2F, 0x1B, 0x7E, 0x6A, 0x01}};

// A class object that counts how often it is asked for an interface.
class CountingClassObject final : public IUnknown {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        ++queries;
        if (iid != IID_IUnknown) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = this;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return static_cast<ULONG>(++count); }
    ULONG Release() override { return static_cast<ULONG>(--count); }
    int queries = 0;
    int count = 0;
};

TEST(HostServices, ClassObjectAccessorFetchesOnceAndKeepsOneReferenceUntilDetach)
{
    SharedHost();
    CountingClassObject object;
    DWORD cookie = 0;
    ASSERT_EQ(CoRegisterClassObject(kCountingClass, &object, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie), S_OK);
    const int registryReferences = object.count;

    CAF::ServiceCache cache;
    EXPECT_EQ(cache.Cached(), nullptr);
    void* first = cache.FromClassObject(kCountingClass, IID_IUnknown);
    EXPECT_EQ(first, &object);
    EXPECT_EQ(object.queries, 1);
    EXPECT_EQ(object.count, registryReferences + 1); // the cache's one reference

    void* second = cache.FromClassObject(kCountingClass, IID_IUnknown);
    EXPECT_EQ(second, first);
    EXPECT_EQ(object.queries, 1); // no second fetch
    EXPECT_EQ(object.count, registryReferences + 1);
    CoRevokeClassObject(cookie);

    // Detaching the module gives every reference back and empties the caches.
    CAF::ReleaseServices();
    EXPECT_EQ(object.count, registryReferences - 1); // the registry's went with the revocation
    EXPECT_EQ(cache.Cached(), nullptr);

    // A class nobody registered: null, and the next call tries again (the framework is reachable, so the retry
    // after making it reachable fails the same way).
    CAF::ServiceCache missing;
    EXPECT_EQ(missing.FromClassObject(kCountingClass, IID_IUnknown), nullptr);
    ASSERT_EQ(CoRegisterClassObject(kCountingClass, &object, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie), S_OK);
    EXPECT_EQ(missing.FromClassObject(kCountingClass, IID_IUnknown), &object);
    CoRevokeClassObject(cookie);
}

TEST(HostServices, FrameworkObjectAccessorAsksTheFrameworkOncePerCall)
{
    host::Host& host = SharedHost();
    CAF::ReleaseServices();
    const LONG references = host.GetFramework().References(); // the class-object registry's
    ASSERT_EQ(CAF::GetFrameworkClassObject(), static_cast<ICAFFramework*>(&host.GetFramework()));
    EXPECT_EQ(CAF::GetTypeIdRegistry(), static_cast<ITypeIdRegistry*>(&host.GetFramework()));
    EXPECT_EQ(CAF::GetTestRegistry(), static_cast<IUnitTestRegistry*>(&host.Tests()));
    EXPECT_EQ(CX::Host::GetApplicationService(), static_cast<IApplicationService*>(&host.Application()));

    const std::size_t before = host.Log().Count("framework", "GetObject");
    IHostSettingsStore* settings = CAF::GetHostSettingsStore();
    EXPECT_NE(settings, nullptr);
    EXPECT_EQ(CAF::GetHostSettingsStore(), settings);
    EXPECT_EQ(host.Log().Count("framework", "GetObject"), before + 1);

    // An object the host does not offer: one request per call, no second attempt within a call.
    CAF::ServiceCache cache;
    EXPECT_EQ(cache.FromFramework(0x80000099, IID_IUnknown), nullptr);
    EXPECT_EQ(cache.FromFramework(0x80000099, IID_IUnknown), nullptr);
    EXPECT_EQ(host.Log().Count("framework", "GetObject"), before + 3);
    // The framework's accessor and the type-id accessor hold one reference each, until the module is detached.
    EXPECT_EQ(host.GetFramework().References(), references + 2);
    CAF::ReleaseServices();
    EXPECT_EQ(host.GetFramework().References(), references);
}

TEST(HostServices, MissingFrameworkIsLoadedFromTheLibraryBesideTheProgram)
{
    host::Host& host = SharedHost();
    host.Stop(); // as when the self tests run outside the host
    // OLE is initialised already: the module's own initialisation answers S_FALSE, which is no failure.
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    const int oleCalls = platform::ComInitializeCount();

    CAF::ServiceCache cache;
    void* registry = cache.FromClassObject(CLSID_CAFFrameWork, IID_ITypeIdRegistry);
    // The framework library's own framework object, registered by the module for the process.
    EXPECT_EQ(registry, static_cast<ITypeIdRegistry*>(&host::Host::Library().GetFramework()));
    EXPECT_EQ(platform::ComInitializeCount(), oleCalls + 1);

    void* probe = nullptr;
    ASSERT_EQ(CoGetClassObject(CLSID_CAFFrameWork, CLSCTX_ALL, nullptr, IID_IUnknown, &probe), S_OK);
    static_cast<IUnknown*>(probe)->Release();

    // Done once per process: a second miss neither initialises OLE nor loads the library again.
    KVO::FreeFrameworkLibrary();
    CAF::ServiceCache again;
    EXPECT_EQ(again.FromClassObject(CLSID_CAFFrameWork, IID_ITypeIdRegistry), nullptr);
    EXPECT_EQ(platform::ComInitializeCount(), oleCalls + 1);

    CoUninitialize();
    host.Start();
}

namespace {
// {5D2C8E41-7A3B-4F60-9C15-2E8B6D4A1F07}
constexpr GUID kLateGuid{0x5D2C8E41, 0x7A3B, 0x4F60, {0x9C, 0x15, 0x2E, 0x8B, 0x6D, 0x4A, 0x1F, 0x07}};
}

TEST(HostServices, RefusedTypeIdIsAskedAgainLater)
{
    host::Host& host = SharedHost();
    host.GetFramework().SetRefuseTypeIds(true);
    EXPECT_EQ((TypeIdClass<&kLateGuid, 5>::Get()), 5u); // no host number: the index alone
    host.GetFramework().SetRefuseTypeIds(false);
    const DWORD id = TypeIdClass<&kLateGuid, 5>::Get();
    EXPECT_EQ(id, (DWORD{host.GetFramework().KnownTypeId(kLateGuid)} << 16) | 5);
    EXPECT_NE(id >> 16, 0u);
}

TEST(HostServices, TypeIdsAskTheHostOncePerGuid)
{
    host::Host& host = SharedHost();
    const std::string guid = host::Narrow(platform::GuidToText(CX::CXEventDrawGUID));
    const auto asked = [&] {
        std::size_t n = 0;
        for (const host::Call& call : host.Log().Of("typeids")) {
            n += call.detail.rfind(guid, 0) == 0;
        }
        return n;
    };
    const std::size_t before = asked();
    const bool known = host.GetFramework().KnownTypeId(CX::CXEventDrawGUID) != 0;

    const DWORD three = TypeIdClass<&CX::CXEventDrawGUID, 3>::Get();
    EXPECT_EQ(asked(), before + (known ? 0 : 1));
    const WORD number = host.GetFramework().KnownTypeId(CX::CXEventDrawGUID);
    ASSERT_NE(number, 0);
    EXPECT_EQ(three, (DWORD{number} << 16) | 3);
    EXPECT_EQ((TypeIdClass<&CX::CXEventDrawGUID, 0>::Get()), DWORD{number} << 16);
    EXPECT_EQ((TypeIdClass<&CX::CXEventDrawGUID, 4>::Get()), (DWORD{number} << 16) | 4);
    EXPECT_EQ(CX::RegisterEventDrawTypeId(), number);
    EXPECT_EQ(asked(), before + (known ? 0 : 1)); // the other indexes share the one request

    // The same with a family that nothing else in this program has asked for: the index 3 asks first.
    static constexpr GUID kFreshFamily{0x2E71C0A4, 0x5B19, 0x4D3E, {0x8A, 0x60, 0x1F, 0x94, 0xC7, 0x2B, 0x3D, 0x58}};
    const std::string fresh = host::Narrow(platform::GuidToText(kFreshFamily));
    const auto askedFresh = [&] {
        std::size_t n = 0;
        for (const host::Call& call : host.Log().Of("typeids")) {
            n += call.detail.rfind(fresh, 0) == 0;
        }
        return n;
    };
    ASSERT_EQ(host.GetFramework().KnownTypeId(kFreshFamily), 0);
    const DWORD freshThree = TypeIdClass<&kFreshFamily, 3>::Get();
    EXPECT_EQ(askedFresh(), 1u);
    const WORD freshNumber = host.GetFramework().KnownTypeId(kFreshFamily);
    ASSERT_NE(freshNumber, 0);
    EXPECT_EQ(freshThree, (DWORD{freshNumber} << 16) | 3);
    for (const DWORD id : {TypeIdClass<&kFreshFamily, 0>::Get(), TypeIdClass<&kFreshFamily, 1>::Get(),
                           TypeIdClass<&kFreshFamily, 2>::Get(), TypeIdClass<&kFreshFamily, 4>::Get()}) {
        EXPECT_EQ(id >> 16, DWORD{freshNumber});
    }
    EXPECT_EQ((TypeIdClass<&kFreshFamily, 3>::Get()), freshThree);
    EXPECT_EQ(askedFresh(), 1u);
}

} // namespace

namespace {

// A host document whose site keeps (or does not keep) a Loopmetry object.
class FakeDocument final : public IDocumentSite {
public:
    class Extension final : public ILMDocExtension {
    public:
        HRESULT QueryInterface(REFIID iid, void** out) override
        {
            *out = nullptr;
            if (iid == IID_IUnknown || iid == IID_ILMDocExtension) {
                *out = this;
                AddRef();
                return S_OK;
            }
            return E_NOINTERFACE;
        }
        ULONG AddRef() override { return static_cast<ULONG>(++count); }
        ULONG Release() override { return static_cast<ULONG>(--count); }
        HRESULT CreateSettings(ILMDetectionSettings** out) override
        {
            *out = nullptr;
            return E_NOTIMPL;
        }
        HRESULT GetPresetCount(LONG*) override { return E_NOTIMPL; }
        HRESULT FindPreset(ILMDetectionSettings*, LONG*, VARIANT_BOOL*) override { return E_NOTIMPL; }
        HRESULT FindPresetByName(const WCHAR*, LONG*, VARIANT_BOOL*) override { return E_NOTIMPL; }
        HRESULT GetPreset(LONG, ILMDetectionSettings**) override { return E_NOTIMPL; }
        HRESULT GetPresetName(LONG, VARIANT_BOOL, BSTR*) override { return E_NOTIMPL; }
        HRESULT IsPresetRemovable(LONG, VARIANT_BOOL*) override { return E_NOTIMPL; }
        HRESULT Customize(HWND, ILMDetectionSettings*, const void*, const WCHAR*, const WCHAR*, const WCHAR*,
                          ILMDetectionSettings**) override
        {
            return E_NOTIMPL;
        }
        HRESULT SavePreset(HWND, ILMDetectionSettings*) override { return E_NOTIMPL; }
        HRESULT DeletePreset(HWND, const WCHAR*) override { return E_NOTIMPL; }
        int count = 0;
    };

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        *out = nullptr;
        if (iid == IID_IUnknown || (iid == IID_IDocumentSite && hasSite)) {
            *out = this;
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT GetExtension(DWORD typeId, DWORD reserved, IUnknown** out) override
    {
        askedTypeId = typeId;
        askedReserved = reserved;
        *out = nullptr;
        if (!hasExtension) {
            return E_FAIL;
        }
        extension.AddRef();
        *out = &extension;
        return S_OK;
    }

    bool hasSite = true;
    bool hasExtension = true;
    DWORD askedTypeId = 0;
    DWORD askedReserved = 1;
    Extension extension;
};

} // namespace

TEST(HostServices, DocumentExtensionIsTheLoopmetryObjectOfTheDocument)
{
    host::Host& host = SharedHost();
    FakeDocument document;
    {
        const auto extension = CAF::GetDocumentExtension(&document);
        ASSERT_TRUE(extension);
        EXPECT_EQ(extension.Get(), &document.extension);
        EXPECT_EQ(document.extension.count, 1); // the holder's reference; every temporary is released
    }
    EXPECT_EQ(document.extension.count, 0);
    const WORD number = host.GetFramework().KnownTypeId(CLSID_LoopmetryExtension);
    EXPECT_NE(number, 0);
    EXPECT_EQ(CAF::GetExtensionShortId(), number);
    EXPECT_EQ(document.askedTypeId, DWORD{number} << 16);
    EXPECT_EQ(document.askedTypeId, CAF::GetExtensionTypeId());
    EXPECT_EQ(document.askedReserved, 0u);

    document.hasExtension = false;
    EXPECT_FALSE(CAF::GetDocumentExtension(&document));
    document.hasSite = false;
    EXPECT_FALSE(CAF::GetDocumentExtension(&document));
    EXPECT_FALSE(CAF::GetDocumentExtension(nullptr));
}

namespace {

// A host document whose panes report three channel counts; a count without a value is refused.
class PaneMetricsDocument final : public IPaneMetrics {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        *out = iid == IID_IUnknown || iid == IID_IPaneMetrics ? static_cast<IPaneMetrics*>(this) : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT GetRecordedChannelCount(DWORD reserved, LONG* count) override { return Answer(0, reserved, count); }
    HRESULT GetChannelExtent(DWORD reserved, LONG* count) override { return Answer(1, reserved, count); }
    HRESULT GetExtraChannelCount(DWORD reserved, LONG* count) override { return Answer(2, reserved, count); }

    std::optional<LONG> counts[3];
    std::vector<DWORD> reservedWords;

private:
    HRESULT Answer(int index, DWORD reserved, LONG* count)
    {
        reservedWords.push_back(reserved);
        if (!counts[index]) {
            return E_FAIL;
        }
        *count = *counts[index];
        return S_OK;
    }
};

} // namespace

// The settings dialog lists as many source channels as the largest count the host document's panes report.
TEST(HostServices, ChannelCountIsTheLargestPaneMetricAndOnlyAnUnreadOneCountsAsSixteen)
{
    EXPECT_EQ(SlotOf(&IPaneMetrics::GetRecordedChannelCount), 9u);
    EXPECT_EQ(SlotOf(&IPaneMetrics::GetChannelExtent), 10u);
    EXPECT_EQ(SlotOf(&IPaneMetrics::GetExtraChannelCount), 12u);

    PaneMetricsDocument document;
    document.counts[0] = 2;
    document.counts[1] = -1; // no channel holds a calculation
    document.counts[2] = 0;
    EXPECT_EQ(ExtLib::GetMaxPaneMetric(&document), 2);
    EXPECT_EQ(document.reservedWords, (std::vector<DWORD>{0, 0, 0}));
    document.counts[1] = 21;
    EXPECT_EQ(ExtLib::GetMaxPaneMetric(&document), 21);
    document.counts[1].reset();
    EXPECT_EQ(ExtLib::GetMaxPaneMetric(&document), 16);
    EXPECT_EQ(ExtLib::GetMaxPaneMetric(nullptr), 16);
}

// Chart data for the self tests comes from the host's chart-data class, which the framework serves under the
// class's type id.
TEST(HostServices, ChartDataComesFromTheChartDataClassTheFrameworkServes)
{
    host::Host& host = SharedHost();
    EXPECT_EQ(SlotOf(&IChartDataFactory::CreateChartData), 7u);
    const auto chartData = ChartData::GetChannelDataInterface();
    ASSERT_TRUE(chartData);
    platform::ComPtr<IChannelData> channelData;
    EXPECT_EQ(chartData->QueryInterface(IID_IChannelData, channelData.OutVoid()), S_OK);
    // Each call makes new chart data.
    EXPECT_NE(ChartData::GetChannelDataInterface().Get(), chartData.Get());

    platform::ComPtr<IChartDataFactory> factory;
    ASSERT_EQ(host.GetFramework().GetObject(TypeIdClass<&CLSID_ChartDataFactory, 0>::Get(), IID_IChartDataFactory,
                                            factory.OutVoid()),
              S_OK);
    platform::ComPtr<IUnknown> made;
    EXPECT_EQ(factory->CreateChartData(0, IID_IChannelData, made.OutVoid()), S_OK);
    EXPECT_TRUE(made);
}

TEST(HostServices, UnusableFrameworkLibraryIsReportedAndThrown)
{
    std::vector<std::u16string> boxes;
    auto previous = platform::SetMessageBoxHook([&](const platform::MessageBoxCall& call) {
        boxes.push_back(call.text);
        return IDOK;
    });
    const std::u16string missing = u"/nonexistent/libhost.so";
    try {
        KVO::LoadFrameworkClassObjectFrom(missing);
        ADD_FAILURE() << "no exception";
    } catch (const XKVO& failure) {
        EXPECT_EQ(failure.Code(), MakeHResult(0x80070000u | ERROR_MOD_NOT_FOUND));
    }
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find(missing), std::u16string::npos);

    // A library without the framework's export (the platform library beside the program).
    char16_t path[4096] = {};
    std::u16string folder(path, GetModuleFileNameW(nullptr, path, 4096));
    folder.resize(folder.rfind(u'/') + 1);
    try {
        KVO::LoadFrameworkClassObjectFrom(folder + u"libplatform.so");
        ADD_FAILURE() << "no exception";
    } catch (const XKVO& failure) {
        EXPECT_EQ(failure.Code(), MakeHResult(0x80070000u | ERROR_PROC_NOT_FOUND));
    }
    EXPECT_EQ(boxes.size(), 2u);
    platform::SetMessageBoxHook(previous);
}
