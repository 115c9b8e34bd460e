#include "frame/module.h"

#include "foundation/moduleinstance.h"
#include "foundation/utilities.h"
#include "platform/win/version.h"

#include "document/chartdatachilddata.h"
#include "engine/calcclasses.h"
#include "sdk/calcenum.h"
#include "sdk/eventdraw.h"
#include "sdk/ikvostring.h"
#include "sharedhost.h"

#include <gtest/gtest.h>

#include "frame/typeid.h"
#include "selftest/enumtests.h"

#include <boost/bind/bind.hpp>

#include <cstring>
#include <stdexcept>

namespace {

// A message class of the test program itself, to see the message step at work.
class TestMessageClass final : public IMsgIdMessageClassObject, public CX::Module::MessageClassLink {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (iid != IID_IUnknown && iid != IID_IMsgIdMessageClassObject) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = static_cast<IMsgIdMessageClassObject*>(this);
        return S_OK;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT GetMessageId(DWORD, DWORD*) override { return E_NOTIMPL; }
    HRESULT GetName(BSTR*) override { return E_NOTIMPL; }
    HRESULT GetCategory(BSTR*) override { return E_NOTIMPL; }
    HRESULT GetDescription(IKVOString**) override { return E_NOTIMPL; }
    HRESULT GetFlag1(DWORD, WORD*) override { return E_NOTIMPL; }
    HRESULT GetFlag2(DWORD, WORD*) override { return E_NOTIMPL; }
    HRESULT CreateMessage(IMessage**) override { return E_NOTIMPL; }
    HRESULT GetMessageText(IMessage*, BSTR*) override { return E_NOTIMPL; }
    HRESULT Describe(BSTR*, IDescriptionWriter*, DWORD) override { return S_OK; }
    HRESULT DescribeValue(IMessage*, BSTR*) override { return E_NOTIMPL; }
    IMsgIdMessageClassObject* GetClassObjectInterface() override { return this; }
};

TestMessageClass firstMessageClass;
TestMessageClass secondMessageClass;

std::vector<std::u16string> CalculationListNames()
{
    std::vector<std::u16string> names;
    for (CAFClassObject* link = CAFClassObject::CalculationListHead(); link; link = link->Next()) {
        BSTR name = nullptr;
        link->GetClassObjectInterface()->GetName(&name);
        names.emplace_back(name ? name : u"");
        SysFreeString(name);
    }
    return names;
}

TEST(Module, CalculationListRunsFromTheLastBuiltToTheFirst)
{
    // The channel calculation's class object is pushed first and its settings class object after it.
    const std::vector<std::u16string> expected = {
        u"CrestmetricsSettings", u"Crestmetrics",
        u"Selector",       u"PSPeakDet",  u"PSCalcBase", u"ERStimSOB", u"ERStimDet",
        u"ERPeakDet",      u"PeakCycConvert", u"CAPPWF",  u"CAPPeakDet", u"CalcBulk",
        u"CalcBase2",      u"CalcBase",   u"CalcAMax",   u"PSCacheSelector", u"CacheSelector"};
    EXPECT_EQ(CalculationListNames(), expected);
}

TEST(Module, RegistrationSucceedsWhateverTheHostAnswers)
{
    host::Host& host = SharedHost();
    host.GetFramework().SetRefuseRegistrations(true);
    host.Tests().SetRefuse(true);
    host.GetFramework().DropRegistrations();
    host.Tests().Drop();
    const std::size_t start = host.Log().Calls().size();

    EXPECT_EQ(DllRegisterClassObjects(nullptr), S_OK);

    host.GetFramework().SetRefuseRegistrations(false);
    host.Tests().SetRefuse(false);
    EXPECT_TRUE(host.GetFramework().Classes().empty());
    EXPECT_TRUE(host.Tests().Tests().empty());

    // Every class was offered: the document class and 2 view classes, the channel calculation's 2 class objects and
    // 15 calculations, 5 draw classes, the module's 3 and the test program's 2 message classes (newest first), then
    // 9 tests, in this order.
    std::size_t classes = 0;
    std::size_t messages = 0;
    std::size_t tests = 0;
    std::size_t lastClass = 0;
    std::size_t firstMessage = 0;
    std::size_t firstTest = 0;
    const auto calls = host.Log().Calls();
    for (std::size_t i = calls.size(); i-- > start;) {
        classes += calls[i].service == "framework" && calls[i].operation == "Register";
        messages += calls[i].service == "messages";
        tests += calls[i].service == "tests";
        if (calls[i].service == "framework" && calls[i].operation == "Register" && lastClass == 0) {
            lastClass = i;
        }
        if (calls[i].service == "messages") {
            firstMessage = i;
        }
        if (calls[i].service == "tests") {
            firstTest = i;
        }
    }
    EXPECT_EQ(classes, 25u);
    EXPECT_EQ(messages, 5u);
    EXPECT_EQ(tests, 9u);
    EXPECT_LT(lastClass, firstMessage);
    EXPECT_LT(firstMessage, firstTest);
}

TEST(Module, MessageClassesAreRegisteredNewestFirst)
{
    host::Host& host = SharedHost();
    host.GetFramework().DropRegistrations();
    CX::Module::RegisterMessageClasses();
    const auto& registered = host.GetFramework().MessageClasses();
    ASSERT_GE(registered.size(), 2u);
    std::size_t second = registered.size();
    for (std::size_t i = 0; i < registered.size(); ++i) {
        if (registered[i].Get() == static_cast<IMsgIdMessageClassObject*>(&secondMessageClass)) {
            second = i;
        }
    }
    ASSERT_LT(second + 1, registered.size());
    EXPECT_EQ(registered[second + 1].Get(), static_cast<IMsgIdMessageClassObject*>(&firstMessageClass));
    host.GetFramework().DropRegistrations();
}

TEST(Module, PreReleaseNotesOnlyForAlphaBetaAndFinalBuilds)
{
    using CX::Module::PreReleaseNoteText;
    EXPECT_EQ(PreReleaseNoteText(u"1.2.0 Alpha 3", u"Crestmetrics", 7).value_or(u"-"), u"Crestmetrics 1.2.0 Alpha 3");
    EXPECT_EQ(PreReleaseNoteText(u"1.2.0 beta", u"Crestmetrics", 7).value_or(u"-"), u"Crestmetrics 1.2.0 beta");
    EXPECT_EQ(PreReleaseNoteText(u"1.2.0 Final candidate", u"X", 0).value_or(u"-"), u"X 1.2.0 Final candidate");
    EXPECT_FALSE(PreReleaseNoteText(u"1.2.0 dev", u"X", 7));
    EXPECT_FALSE(PreReleaseNoteText(u"1.2.0 dev final", u"X", 7)); // "ev" is decided before "inal"
    EXPECT_TRUE(PreReleaseNoteText(u"1.2.0 dev beta", u"X", 7));   // "eta" before "ev"
    EXPECT_FALSE(PreReleaseNoteText(u"N/A beta", u"X", 7));
    EXPECT_FALSE(PreReleaseNoteText(u"1.2.0", u"X", 7));
    EXPECT_FALSE(PreReleaseNoteText(u"1.2.0 beta", u"X", 1024));
    const std::u16string longDescription(300, u'd');
    EXPECT_EQ(PreReleaseNoteText(u"beta", longDescription, 0)->size(), 256u);

    // The host that does not want notes is asked and nothing else happens.
    host::Host& host = SharedHost();
    host.Application().SetSuppressPreReleaseNotes(true);
    const std::size_t asked = host.Log().Count("application", "QueryPreReleaseNote");
    CX::Module::ShowPreReleaseNote();
    EXPECT_EQ(host.Log().Count("application", "QueryPreReleaseNote"), asked + 1);
    EXPECT_TRUE(host.Application().NotesShown().empty());
    host.Application().SetSuppressPreReleaseNotes(false);
}

TEST(Module, AttachMakesTheOwlModuleAndAsksForPreReleaseNotes)
{
    host::Host& host = SharedHost();
    // Linked into this program the library entry does not run by itself.
    EXPECT_EQ(CX::Module::GetModule(), nullptr);
    const auto instance = reinterpret_cast<HINSTANCE>(std::uintptr_t{0x7000});
    const std::size_t asked = host.Log().Count("application", "QueryPreReleaseNote");
    EXPECT_EQ(DllMain(instance, DLL_PROCESS_ATTACH, nullptr), TRUE);
    EXPECT_EQ(CX::Module::Instance(), instance);
    ASSERT_NE(CX::Module::GetModule(), nullptr);
    EXPECT_EQ(CX::Module::GetModule()->GetInstance(), instance);
    EXPECT_EQ(host.Log().Count("application", "QueryPreReleaseNote"), asked + 1);
    EXPECT_TRUE(host.Application().NotesShown().empty());
    EXPECT_EQ(DllMain(instance, DLL_THREAD_ATTACH, nullptr), TRUE);
    EXPECT_EQ(DllMain(instance, DLL_PROCESS_DETACH, nullptr), TRUE);
    EXPECT_EQ(CX::Module::GetModule(), nullptr);
}

TEST(Module, AttachReadsTheLibrarysOwnVersion)
{
    // The module's own version names a release: no note.
    const CX::Module::VersionTexts own = CX::Module::ReadVersionTexts(KVO::ModuleInstance());
    EXPECT_EQ(u"1.0.0.0", own.fileVersion);
    EXPECT_EQ(u"Crestmetrics analysis module", own.description);
    EXPECT_EQ(0, own.fourthPart);
    const CX::Module::VersionTexts none = CX::Module::ReadVersionTexts(reinterpret_cast<HINSTANCE>(std::uintptr_t{0x7100}));
    EXPECT_EQ(u"N/A", none.fileVersion);
    EXPECT_EQ(u"N/A", none.description);

    host::Host& host = SharedHost();
    const std::size_t notes = host.Application().NotesShown().size();
    const auto attach = [](HINSTANCE instance) {
        DllMain(instance, DLL_PROCESS_ATTACH, nullptr);
        DllMain(instance, DLL_PROCESS_DETACH, nullptr);
    };
    attach(KVO::ModuleInstance());
    EXPECT_EQ(notes, host.Application().NotesShown().size());

    // A library whose version names a beta build shows its note when it is attached.
    const auto beta = reinterpret_cast<HINSTANCE>(std::uintptr_t{0x7200});
    VS_FIXEDFILEINFO fixed{VS_FFI_SIGNATURE, VS_FFI_STRUCVERSION, MAKELONG(3, 1), MAKELONG(7, 0), 0, 0, 0, 0, 0, 0, 0, 0, 0};
    platform::RegisterResource(beta, RT_VERSION, MAKEINTRESOURCEW(VS_VERSION_INFO), LANG_NEUTRAL,
                               platform::BuildVersionResource(fixed, 0x0409, 1200,
                                                              {{u"FileDescription", u"Crestmetrics"},
                                                               {u"FileVersion", u"1.3.0 beta 2"}}));
    attach(beta);
    ASSERT_EQ(notes + 1, host.Application().NotesShown().size());
    EXPECT_EQ(u"Crestmetrics 1.3.0 beta 2", host.Application().NotesShown().back());
    platform::UnregisterResources(beta);
}

// The build number is the fourth part of the file version (the low word of its second double word): from 1024 on a
// build counts as a release and shows no note, whatever its third part.
TEST(Module, TheBuildNumberDecidesWhetherABetaShowsItsNote)
{
    struct Case {
        WORD third;
        WORD fourth;
        bool shown;
    } cases[] = {{2000, 5, true}, {0, 1023, true}, {5, 2000, false}, {0, 1024, false}};
    host::Host& host = SharedHost();
    const auto beta = reinterpret_cast<HINSTANCE>(std::uintptr_t{0x7400});
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "1.3." << c.third << '.' << c.fourth);
        VS_FIXEDFILEINFO fixed{VS_FFI_SIGNATURE, VS_FFI_STRUCVERSION, MAKELONG(3, 1), MAKELONG(c.fourth, c.third),
                               0, 0, 0, 0, 0, 0, 0, 0, 0};
        platform::RegisterResource(beta, RT_VERSION, MAKEINTRESOURCEW(VS_VERSION_INFO), LANG_NEUTRAL,
                                   platform::BuildVersionResource(fixed, 0x0409, 1200,
                                                                  {{u"FileDescription", u"Crestmetrics"},
                                                                   {u"FileVersion", u"1.3 beta"}}));
        const std::size_t notes = host.Application().NotesShown().size();
        DllMain(beta, DLL_PROCESS_ATTACH, nullptr);
        DllMain(beta, DLL_PROCESS_DETACH, nullptr);
        EXPECT_EQ(notes + (c.shown ? 1 : 0), host.Application().NotesShown().size());
        platform::UnregisterResources(beta);
    }
}

// The host learns the classes in a fixed order: the document and its views, the calculations (the channel
// calculation's own two class objects first), the event-draw classes.
TEST(Module, TheHostLearnsTheCalculationsBeforeTheirDrawClasses)
{
    host::Host& host = SharedHost();
    host.GetFramework().DropRegistrations();
    host.Tests().Drop();
    const std::size_t start = host.Log().Calls().size();
    DllRegisterClassObjects(nullptr);
    std::vector<std::string> kinds; // one entry for each run of registrations of one kind
    const auto calls = host.Log().Calls();
    for (std::size_t i = start; i < calls.size(); ++i) {
        if (calls[i].service != "framework" || calls[i].operation != "Register") {
            continue;
        }
        const std::string kind = calls[i].detail.substr(0, calls[i].detail.find(' '));
        if (kinds.empty() || kinds.back() != kind) {
            kinds.push_back(kind);
        }
    }
    EXPECT_EQ(kinds, (std::vector<std::string>{"document", "view", "other", "calculation", "eventdraw"}));
    host.GetFramework().DropRegistrations();
    host.Tests().Drop();
}

TEST(Module, TheHostsSettingsObjectIsKeptUntilTheModuleIsDetached)
{
    host::Host& host = SharedHost();
    const auto fetches = [&] { return host.Log().Count("application", "GetSettings"); };
    KVO::IsHostApplicationVisible();
    const std::size_t before = fetches();
    host.Application().SetVisible(false);
    EXPECT_FALSE(KVO::IsHostApplicationVisible());
    host.Application().SetVisible(true);
    EXPECT_TRUE(KVO::IsHostApplicationVisible());
    EXPECT_EQ(before, fetches());
    const auto instance = reinterpret_cast<HINSTANCE>(std::uintptr_t{0x7300});
    DllMain(instance, DLL_PROCESS_ATTACH, nullptr);
    DllMain(instance, DLL_PROCESS_DETACH, nullptr);
    EXPECT_TRUE(KVO::IsHostApplicationVisible());
    EXPECT_EQ(before + 1, fetches());
}

TEST(Module, ChildDataIsFoundOrCreatedOncePerDocument)
{
    host::Host& host = SharedHost();
    auto data = host.NewChartData();
    auto created = CX::Doc::ChartDataChildData::FindOrCreate(data->AsUnknown());
    ASSERT_TRUE(created);
    EXPECT_EQ(data->Holder().Size(), 1u);
    auto found = CX::Doc::ChartDataChildData::FindOrCreate(static_cast<IChannelData*>(data.Get()));
    EXPECT_EQ(found.Get(), created.Get());
    EXPECT_EQ(data->Holder().Size(), 1u);

    platform::ComPtr<CX::ICXSettingsChildData> settings;
    ASSERT_EQ(created->QueryInterface(CX::IID_ICXSettingsChildData, settings.OutVoid()), S_OK);
    std::int32_t pair[2] = {};
    EXPECT_EQ(settings->GetChannelPair(pair), S_OK);
    EXPECT_EQ(static_cast<std::uint32_t>(pair[0]), 0x80000000u);
    EXPECT_EQ(static_cast<std::uint32_t>(pair[1]), 0xC0000000u);
    EXPECT_EQ(settings->SetChannelPair(3, static_cast<std::int32_t>(0x80000000u)), S_OK);
    EXPECT_EQ(settings->GetChannelPair(pair), S_OK);
    EXPECT_EQ(pair[0], 3);
    EXPECT_EQ(created->SourceChannel(), 3);

    created->Positions().MapForBlock(2)[KVOPosition{40, 2}] = 5;
    EXPECT_EQ(found->EventOrdinal(40, 2), 5);
    EXPECT_EQ(found->EventOrdinal(41, 2), -1);
    EXPECT_EQ(found->EventOrdinal(40, 0), -1);

    // A clone keeps nothing of the positions and starts from the default pair.
    platform::ComPtr<IChartDataChildData> clone;
    ASSERT_EQ(created->Clone(nullptr, clone.Out()), S_OK);
    platform::ComPtr<CX::ICXSettingsChildData> cloneSettings;
    ASSERT_EQ(clone->QueryInterface(CX::IID_ICXSettingsChildData, cloneSettings.OutVoid()), S_OK);
    cloneSettings->GetChannelPair(pair);
    EXPECT_EQ(static_cast<std::uint32_t>(pair[0]), 0x80000000u);
    DWORD key = 0;
    EXPECT_EQ(clone->GetTypeId(&key), S_OK);
    EXPECT_EQ(key, CX::Doc::ChartDataChildData::Key());
    EXPECT_EQ(key & 0xFFFF, 0u);

    // A document without a holder, or no document, has no child data.
    auto bare = host.NewChartData();
    bare->SetHasHolder(false);
    EXPECT_FALSE(CX::Doc::ChartDataChildData::FindOrCreate(bare->AsUnknown()));
    EXPECT_FALSE(CX::Doc::ChartDataChildData::FindOrCreate(nullptr));
}

TEST(Module, ChildDataOfAnotherKindUnderTheKeyIsNotTaken)
{
    // Another module's child data that claims the same key.
    class Foreign final : public IChartDataChildData {
    public:
        HRESULT QueryInterface(REFIID iid, void** out) override
        {
            *out = nullptr;
            if (iid == IID_IUnknown || iid == IID_IChartDataChildData) {
                *out = this;
                return S_OK;
            }
            return E_NOINTERFACE;
        }
        ULONG AddRef() override { return 2; }
        ULONG Release() override { return 1; }
        HRESULT GetTypeId(DWORD* key) override
        {
            *key = CX::Doc::ChartDataChildData::Key();
            return S_OK;
        }
        HRESULT Clone(IUnknown*, IChartDataChildData**) override { return E_NOTIMPL; }
        HRESULT Invalidated(DWORD, LONG, LONG) override { return S_OK; }
        HRESULT RecordsChanged(LONG, LONG) override { return S_OK; }
        HRESULT DataChanged(DWORD, LONG, DWORD, DWORD, LONG, LONG) override { return S_OK; }
        void DeleteThis() override {}
    } foreign;
    auto data = SharedHost().NewChartData();
    ASSERT_EQ(data->Holder().Store(0, &foreign), S_OK);
    EXPECT_FALSE(CX::Doc::ChartDataChildData::FindOrCreate(data->AsUnknown()));
}

TEST(Module, CalculationClassObjectsAnswerTheirSlots)
{
    host::Host& host = SharedHost();
    CalcEnums::CalcEnumNumericParamsClass* calcAMax = nullptr;
    for (CAFClassObject* link = CAFClassObject::CalculationListHead(); link; link = link->Next()) {
        // The channel calculation's two class objects are of other kinds.
        auto* object = dynamic_cast<CalcEnums::CalcEnumNumericParamsClass*>(link->GetClassObjectInterface());
        if (!object) {
            continue;
        }
        if (std::u16string(object->Descriptor().name) == u"CalcAMax") {
            calcAMax = object;
        }
    }
    ASSERT_NE(calcAMax, nullptr);
    ICalcEnumClass2* calc = calcAMax;

    // The identifier is asked of the host once.
    DWORD id = 0;
    EXPECT_EQ(calc->GetId(&id), S_OK);
    EXPECT_EQ(id, DWORD{host.GetFramework().KnownTypeId(*calcAMax->Descriptor().classId)} << 16);
    const std::size_t asked = host.Log().Count("typeids", "GetTypeId");
    DWORD again = 0;
    calc->GetId(&again);
    EXPECT_EQ(again, id);
    EXPECT_EQ(host.Log().Count("typeids", "GetTypeId"), asked);

    // Name as BSTR: a null out pointer is ignored, an old BSTR is freed.
    EXPECT_EQ(calc->GetName(nullptr), S_OK);
    BSTR name = SysAllocString(u"previous");
    EXPECT_EQ(calc->GetName(&name), S_OK);
    EXPECT_EQ(std::u16string(name), u"CalcAMax");
    SysFreeString(name);

    // Category: the shared identifier, by pointer or by value.
    const GUID* category = nullptr;
    EXPECT_EQ(calc->GetCategory(&category), S_OK);
    EXPECT_EQ(calc->IsCategory(category), S_OK);
    GUID copy;
    std::memcpy(&copy, category, sizeof copy);
    EXPECT_EQ(calc->IsCategory(&copy), S_OK);
    copy.Data4[7] ^= 1;
    EXPECT_EQ(calc->IsCategory(&copy), S_FALSE);
    EXPECT_EQ(calc->IsCategory(nullptr), S_FALSE);

    // Interfaces: one object, the parameter interface second.
    platform::ComPtr<ICalcNumericParamsFuncClass> params;
    ASSERT_EQ(calc->QueryInterface(IID_ICalcNumericParamsFuncClass, params.OutVoid()), S_OK);
    platform::ComPtr<ICAFClassObject> classObject;
    ASSERT_EQ(params->QueryInterface(IID_ICAFClassObject, classObject.OutVoid()), S_OK);
    EXPECT_EQ(static_cast<void*>(classObject.Get()), static_cast<void*>(calc));
    void* none = calc;
    EXPECT_EQ(calc->QueryInterface(IID_IPODEventDrawClass, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);

    // Parameter 8 is the last; 9 is refused without writing anything.
    double maximum = 0;
    double minimum = 0;
    DWORD kind = 0;
    IKVOString* paramName = nullptr;
    ASSERT_EQ(params->GetParam(8, &maximum, &minimum, &kind, &paramName), S_OK);
    EXPECT_EQ(host::TakeText(paramName), u"LimitEnd Tick");
    EXPECT_EQ(maximum, CalcEnums::kMax);
    EXPECT_EQ(minimum, -1.0);
    EXPECT_EQ(kind, 0x40000000u);
    paramName = nullptr;
    EXPECT_EQ(params->GetParam(9, &maximum, &minimum, &kind, &paramName), E_INVALIDARG);
    EXPECT_EQ(paramName, nullptr);
    EXPECT_EQ(params->GetParam(-1, &maximum, &minimum, &kind, &paramName), E_INVALIDARG);
    EXPECT_EQ(params->GetParam(0, nullptr, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(params->TestSourceKind(-1, 0xFFFFFFFF), E_INVALIDARG);

    // The eight-argument slot gives nothing; creation makes the calculation's enumerator.
    IUnknown* out = calc;
    EXPECT_EQ(calc->CreateBound(nullptr, 0, 0, 0, 0, 0, 0, &out), E_NOTIMPL);
    EXPECT_EQ(out, nullptr);
    platform::ComPtr<ICalcEnum> created;
    ASSERT_EQ(calc->CreateInstance(nullptr, created.Out()), S_OK);
    platform::ComPtr<IEnumEventEx> events;
    ASSERT_EQ(created->QueryInterface(IID_IEnumEventEx, events.OutVoid()), S_OK);
    LONG size = 0;
    EXPECT_EQ(events->GetEventSize(&size), S_OK);
    EXPECT_EQ(size, 72);
    EXPECT_EQ(calc->CreateInstance(nullptr, nullptr), E_POINTER);
}

} // namespace

namespace {

// A test with three sub-tests: one passes, one fails a check, one throws something else.
class ThreeSubTests final : public UnitTestBase {
public:
    int tearDowns = 0;

protected:
    void DeclareSubTests() override
    {
        AddSubTest(boost::bind(&ThreeSubTests::Passes, this), "ThreeSubTests::Passes");
        AddSubTest(boost::bind(&ThreeSubTests::FailsCheck, this), "ThreeSubTests::FailsCheck");
        AddSubTest(boost::bind(&ThreeSubTests::Throws, this), "ThreeSubTests::Throws");
    }
    void FillContact() override { SetContact(u"Crestmetrics", true); }
    void TearDown() override { ++tearDowns; }

private:
    void Passes() {}
    void FailsCheck() { throw UnitTestException(KVO::String(u"file.cpp, Line 3 [x]")); }
    void Throws() { throw std::runtime_error("broken"); }
};

} // namespace

TEST(SelfTests, RunsAreReportedAndNothingEscapesToTheHost)
{
    platform::ComPtr<IUnitTest> test(new ThreeSubTests);
    auto* object = static_cast<ThreeSubTests*>(test.Get());
    LONG count = -1;
    EXPECT_EQ(test->GetSubTestCount(&count), S_OK);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(test->GetSubTestCount(nullptr), E_FAIL);
    EXPECT_EQ(test->Declare(), S_OK);
    EXPECT_EQ(test->GetSubTestCount(&count), S_OK);
    EXPECT_EQ(count, 3);

    const auto result = [&](LONG index) {
        VARIANT_BOOL passed = 1;
        IKVOString* message = nullptr;
        EXPECT_EQ(test->RunSubTest(index), S_OK);
        EXPECT_EQ(test->GetResult(&passed, &message), S_OK);
        return std::make_pair(passed, host::TakeText(message));
    };
    EXPECT_EQ(result(1), std::make_pair(VARIANT_FALSE, std::u16string(u"file.cpp, Line 3 [x]")));
    EXPECT_EQ(object->tearDowns, 0); // a failed sub-test skips the tear-down
    EXPECT_EQ(result(0), std::make_pair(VARIANT_TRUE, std::u16string()));
    EXPECT_EQ(object->tearDowns, 1);
    EXPECT_EQ(result(2), std::make_pair(VARIANT_FALSE, std::u16string(u"unexpected exception: broken")));

    IKVOString* name = nullptr;
    EXPECT_EQ(test->GetSubTestName(1, &name), S_OK);
    EXPECT_EQ(host::TakeText(name), u"ThreeSubTests::FailsCheck");
    double value = 0;
    EXPECT_EQ(test->GetSubTestValue(2, &value), S_OK);
    EXPECT_EQ(value, 60.0);
    // Indexes beyond the list are refused.
    EXPECT_EQ(test->RunSubTest(3), E_INVALIDARG);
    EXPECT_EQ(test->GetSubTestName(3, &name), E_INVALIDARG);
    EXPECT_EQ(test->GetSubTestValue(-1, &value), E_INVALIDARG);

    IKVOString* contact = nullptr;
    EXPECT_EQ(test->GetContact(&contact), S_OK);
    EXPECT_FALSE(host::TakeText(contact).empty());
    void* other = &value;
    EXPECT_EQ(test->QueryInterface(IID_IUnitTestRegistry, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);

    // The registered calculation tests start from the default configuration.
    platform::ComPtr<IUnitTest> calcTest(new Crestmetrics::Enum::CalcBase::TestAR);
    const auto& config = static_cast<Crestmetrics::Enum::ETB*>(static_cast<UnitTestBase*>(calcTest.Get()))->Config();
    EXPECT_EQ(config.mArithString, KVO::String(u"NOT SET"));
    EXPECT_EQ(config.mNumSamples, 26123u);
    EXPECT_EQ(config.mNumRecords, 3u);
    EXPECT_FALSE(config.mFlag);
    EXPECT_EQ(config.mEnumID, (TypeIdClass<&CX::CXChanCalcGUID, 0>::Get()));
}
