// The host loads the real module library, as the application does, and checks what it registers.
#include "host/host.h"
#include "sdk/docframework.h"
#include "sdk/docview.h"
#include "sdk/calcclass.h"
#include "sdk/calcenum.h"
#include "sdk/eventdraw.h"
#include "sdk/ikvostring.h"

#include "platform/win/codepage.h"
#include "platform/win/resources.h"
#include "platform/win/winuser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <map>
#include <string>
#include <vector>

namespace {

struct Param {
    std::u16string name;
    double minimum;
    double maximum;
};

struct Expected {
    std::u16string name;
    std::u16string description;
    std::vector<std::u16string> aliases;
    LONG sources;
    DWORD kind1;
    std::vector<Param> params;
};

constexpr double MAX = DBL_MAX;

std::vector<Param> WithLimits(std::vector<Param> params)
{
    for (const char16_t* name : {u"LimitStart Record", u"LimitStart Tick", u"LimitEnd Record", u"LimitEnd Tick"}) {
        params.push_back({name, -1, MAX});
    }
    return params;
}

// The calculations in the order the host must receive them: the reverse of the order the module builds them.
std::vector<Expected> ExpectedCalculations()
{
    const std::u16string peaks = u"Detects Evoked Response Peaks";
    const std::u16string select = u"Select which CX calc to output";
    const std::vector<Param> cacheParams = {
        {u"Analysis Type", 0, 6}, {u"Calc Index", 0, 59}, {u"Convert factor", 0, MAX}};
    return {
        {u"Selector", select, {u"CXSelector"}, 1, 0, {{u"Event Source", 0, 0}, {u"Calc Index", 0, 59}}},
        {u"PSPeakDet", u"Detects Population Spike Responses", {u"PSPeak"}, 2, 0xA0000000,
         WithLimits({{u"Tick Source", 0, 0}, {u"Stimulus Event Source", 0, 0}, {u"Search Start ms", -1, MAX},
                     {u"Search End ms", -1, MAX}})},
        {u"PSCalcBase", u"Calculates Baseline etc for Population Spike mode", {u"PSCalc"}, 2, 0xA0000000,
         WithLimits({{u"Tick Source", 0, 0}, {u"Stimulus Event Source", 0, 0}, {u"Slope Start ms", -1, MAX},
                     {u"Slope End ms", -1, MAX}, {u"Value At ms", -1, MAX}})},
        {u"ERStimSOB", u"Detects Evoked Response Stimuli", {u"CXSOB"}, 0, 0, WithLimits({{u"Position_ms", 0, MAX}})},
        {u"ERStimDet", u"Detects Evoked Response Stimuli", {u"ERStimulated"}, 1, 0xA0000000,
         WithLimits({{u"Source", 0, 0}, {u"Height", -1, MAX}, {u"Width ms", -1, MAX}, {u"Skip ms", -1, MAX},
                     {u"Min Gap ms", -1, MAX}, {u"OneStimPerBlock_0_or_1", -1, 1}})},
        {u"ERPeakDet", peaks, {u"ERPeak"}, 2, 0xA0000000,
         WithLimits({{u"Tick Source", 0, 0}, {u"Stimulus Event Source", 0, 0}, {u"Height", 0, MAX},
                     {u"Search Start ms after Stimulus", -1, MAX}, {u"Search End ms after Stimulus", -1, MAX}})},
        {u"PeakCycConvert", u"LM to CX Event Conversion", {u"LMConvert", u"PCC"}, 2, 0,
         WithLimits({{u"Tick Source for max", 0, 0}, {u"Event Source", 0, 0}})},
        {u"CAPPWF", u"Filters Cardiac Action Potential peaks by FWHH", {u"CXCAPPWF"}, 2, 0xA0000000,
         WithLimits({{u"Tick Source", 0, 0}, {u"Event Source", 0, 0}, {u"Min Width at Half Height", -1, MAX}})},
        {u"CAPPeakDet", u"Detects Cardiac Action Potential Peaks", {u"CAPPeak"}, 1, 0xA0000000,
         WithLimits({{u"Tick Source", 0, 0}, {u"Min Height", -1, MAX}, {u"Min Width", -1, MAX}})},
        {u"CalcBulk", peaks, {u"CXBulkCalc"}, 2, 0xA0000000,
         WithLimits({{u"Tick Source", 0, 0},
                     {u"Calc Base Event Source", 0, 0},
                     {u"Analysis Type", -1, 10},
                     {u"Area Start ms", -1, MAX},
                     {u"Area End ms", -1, MAX},
                     {u"Tau Mode", 0, 2},
                     {u"Tau Fixed Value", -MAX, MAX},
                     {u"Rise start percent", -1, 100},
                     {u"Rise end percent", -1, 100},
                     {u"Triangulation Start percent", -1, 100},
                     {u"Triangulation End percent", -1, 100},
                     {u"Plateau Width ms", -1, MAX},
                     {u"PLT Width ms", -1, MAX},
                     {u"Slope Start ms", -1, MAX},
                     {u"Slope End ms", -1, MAX},
                     {u"Value ms", -1, MAX},
                     {u"MaxNegSlope Start ms", -1, 1000000},
                     {u"MaxNegSlope Smooth ms", -1, 100}})},
        {u"CalcBase2", peaks, {u"CXBaseCalc2"}, 2, 0xA0000000,
         WithLimits({{u"Tick Source", 0, 0}, {u"Event BaseCalc Source", 0, 0}, {u"Mid PLT Percent", -1, 100},
                     {u"Tau Start", -1, 100}, {u"Tau End", -1, 100}, {u"Plateau Center Percent", -1, 100}})},
        {u"CalcBase", peaks, {u"CXBaseCalc"}, 2, 0xA0000000,
         WithLimits({{u"Tick Source", 0, 0},
                     {u"Event Source", 0, 0},
                     {u"Max Baseline Length (ms)", -1, MAX},
                     {u"Noise Tolerance (percentage of height)", -1, 100},
                     {u"Search Start ms after Stimulus", -1, MAX},
                     {u"Search End ms after Stimulus", -1, MAX},
                     {u"Baseline Mode", 0, 2},
                     {u"Baseline Value", -MAX, MAX}})},
        {u"CalcAMax", peaks, {u"CXCalcAMax"}, 2, 0xA0000000,
         WithLimits({{u"Tick Source", 0, 0}, {u"Event BaseCalc Source", 0, 0}, {u"Start Height Percent", -1, 100},
                     {u"Reposition Event", 0, 1}, {u"End Height Percent", -1, 100}})},
        {u"PSCacheSelector", u"Select which CX calc to output, Population Spike version", {u"CXPSCacheSelector"}, 0,
         0, cacheParams},
        {u"CacheSelector", select, {u"CXCacheSelector"}, 0, 0, cacheParams},
    };
}

DWORD ExpectedParamKind(const Expected& calc, LONG index)
{
    if (calc.name == u"Selector") {
        return 0x40000000;
    }
    if (calc.name == u"CacheSelector" || calc.name == u"PSCacheSelector" || calc.name == u"ERStimSOB") {
        return 0;
    }
    return index == 0 ? 0x80000000 : 0x40000000;
}

std::u16string Text(IKVOString* text) { return host::TakeText(text); }

class ModuleLoad : public ::testing::Test {
protected:
    static host::Host& Host()
    {
        // One host for the whole program: the module keeps the host's services for the life of the process.
        static host::Host* instance = [] {
            auto* created = new host::Host;
            created->Start();
            return created;
        }();
        return *instance;
    }
};

TEST_F(ModuleLoad, RegistersEveryClassObjectInOrderAndAsksEachTypeIdOnce)
{
    host::Host& host = Host();
    const std::size_t start = host.Log().Calls().size();
    ASSERT_EQ(host.LoadModule(MODULE_LIBRARY_PATH), S_OK) << host.LastError();

    // Loading asked the application whether pre-release notes are wanted; the module has no pre-release version.
    EXPECT_EQ(host.Log().Count("application", "QueryPreReleaseNote"), 1u);
    EXPECT_TRUE(host.Application().NotesShown().empty());

    // Registration order: the document class and the two view classes, calculations in list order, the five draw
    // classes, the document's three message classes, then the nine tests.
    std::vector<std::string> registrations;
    const std::vector<host::Call> calls = host.Log().Calls();
    for (std::size_t i = start; i < calls.size(); ++i) {
        const host::Call& call = calls[i];
        if (call.service == "framework" && call.operation == "Register") {
            // "kind typeid name": keep the kind and the name.
            const std::size_t id = call.detail.find(' ');
            const std::size_t name = call.detail.find(' ', id + 1);
            registrations.push_back(call.detail.substr(0, id) + " " +
                                    (name == std::string::npos ? std::string() : call.detail.substr(name + 1)));
        } else if (call.service == "tests" && call.operation == "Add") {
            registrations.push_back("test " + call.detail);
        } else if (call.service == "messages") {
            registrations.push_back("message");
        }
    }
    // The channel calculation's settings class and class object lead the calculation list.
    std::vector<std::string> expected = {"document ", "view ", "view ", "other ", "other "};
    for (const Expected& calc : ExpectedCalculations()) {
        expected.push_back("calculation " + host::Narrow(calc.name));
    }
    for (int n = 0; n < 5; ++n) {
        expected.push_back("eventdraw ");
    }
    for (int n = 0; n < 3; ++n) {
        expected.push_back("message"); // the document's own messages
    }
    for (int n = 0; n < 9; ++n) {
        expected.push_back("test " + std::to_string(n));
    }
    EXPECT_EQ(registrations, expected);

    // The draw classes are registered under the module's draw-type ids n = 0..4, all with the same host number.
    std::vector<DWORD> drawIds;
    for (const host::RegisteredClass& entry : host.GetFramework().Classes()) {
        if (entry.kind == host::ClassKind::EventDraw) {
            drawIds.push_back(entry.typeId);
        }
    }
    ASSERT_EQ(drawIds.size(), 5u);
    for (DWORD n = 0; n < 5; ++n) {
        EXPECT_EQ(drawIds[n] & 0xFFFF, n);
        EXPECT_EQ(drawIds[n] >> 16, drawIds[0] >> 16);
        EXPECT_NE(drawIds[n] >> 16, 0u);
        platform::ComPtr<IPODEventDrawClass> draw;
        EXPECT_EQ(host.GetFramework().GetObject(drawIds[n], IID_IPODEventDrawClass, draw.OutVoid()), S_OK);
        EXPECT_TRUE(draw);
    }

    // The nine tests arrive as test objects.
    ASSERT_EQ(host.Tests().Tests().size(), 9u);
    for (const auto& test : host.Tests().Tests()) {
        LONG count = -1;
        EXPECT_EQ(test->GetSubTestCount(&count), S_OK);
        EXPECT_EQ(count, 0);
    }

    // Ask every class again: no GUID is asked of the type-id service twice.
    for (const host::RegisteredClass& entry : host.GetFramework().Classes()) {
        platform::ComPtr<ICAFClassObject> info;
        ASSERT_EQ(entry.object->QueryInterface(IID_ICAFClassObject, info.OutVoid()), S_OK);
        DWORD id = 0;
        EXPECT_EQ(info->GetId(&id), S_OK);
        EXPECT_EQ(id, entry.typeId);
    }
    // The module asks once per process, however often it is loaded (reading a type id back as text asks no GUID).
    std::map<std::string, int> requests;
    for (const host::Call& call : host.Log().Of("typeids")) {
        if (call.operation == "GetTypeId") {
            ++requests[call.detail.substr(0, call.detail.find(' '))];
        }
    }
    // Fifteen calculation classes, the channel calculation's two class objects, the draw-type family, the host's
    // calculation class (the self tests' id), the document family and the two view families.
    EXPECT_EQ(requests.size(), 22u);
    for (const auto& [guid, count] : requests) {
        EXPECT_EQ(count, 1) << guid;
    }

    host.UnloadModule();
    EXPECT_TRUE(host.GetFramework().Classes().empty());
    EXPECT_TRUE(host.Tests().Tests().empty());
}

TEST_F(ModuleLoad, CalculationsDescribeThemselvesByNameAndAlias)
{
    host::Host& host = Host();
    ASSERT_EQ(host.LoadModule(MODULE_LIBRARY_PATH), S_OK) << host.LastError();

    for (const Expected& calc : ExpectedCalculations()) {
        SCOPED_TRACE(host::Narrow(calc.name));
        const host::RegisteredClass* entry = host.GetFramework().FindCalculation(calc.name);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->name, calc.name);
        EXPECT_EQ(entry->aliases, calc.aliases);
        for (const std::u16string& alias : calc.aliases) {
            // Names and aliases are found whatever their case.
            EXPECT_EQ(host.GetFramework().FindCalculation(platform::AsciiLower(alias)), entry);
        }

        platform::ComPtr<ICalcEnumClass2> calcClass;
        platform::ComPtr<ICalcNumericParamsFuncClass> params;
        ASSERT_EQ(entry->object->QueryInterface(IID_ICalcEnumClass2, calcClass.OutVoid()), S_OK);
        ASSERT_EQ(entry->object->QueryInterface(IID_ICalcNumericParamsFuncClass, params.OutVoid()), S_OK);

        IKVOString* text = nullptr;
        ASSERT_EQ(calcClass->GetDescription(&text), S_OK);
        EXPECT_EQ(Text(text), calc.description);
        ASSERT_EQ(calcClass->GetNameString(&text), S_OK);
        EXPECT_EQ(Text(text), calc.name);
        DWORD flags = 1;
        EXPECT_EQ(calcClass->GetFlags(&flags), S_OK);
        EXPECT_EQ(flags, 0u);

        IKVOString* name = nullptr;
        DWORD id = 0;
        LONG paramCount = 0;
        LONG sourceCount = 0;
        DWORD kind1 = 1;
        DWORD kind2 = 0;
        ASSERT_EQ(params->GetInfo(&name, &id, &paramCount, &sourceCount, &kind1, &kind2), S_OK);
        EXPECT_EQ(Text(name), calc.name);
        EXPECT_EQ(id, entry->typeId);
        EXPECT_EQ(id & 0xFFFF, 0u);
        EXPECT_EQ(paramCount, static_cast<LONG>(calc.params.size()));
        EXPECT_EQ(sourceCount, calc.sources);
        EXPECT_EQ(kind1, calc.kind1);
        EXPECT_EQ(kind2, 0x40000000u);

        for (LONG i = 0; i < paramCount; ++i) {
            double maximum = 0;
            double minimum = 0;
            DWORD kind = 1;
            IKVOString* paramName = nullptr;
            ASSERT_EQ(params->GetParam(i, &maximum, &minimum, &kind, &paramName), S_OK) << i;
            EXPECT_EQ(Text(paramName), calc.params[static_cast<std::size_t>(i)].name) << i;
            EXPECT_EQ(maximum, calc.params[static_cast<std::size_t>(i)].maximum) << i;
            EXPECT_EQ(minimum, calc.params[static_cast<std::size_t>(i)].minimum) << i;
            EXPECT_EQ(kind, ExpectedParamKind(calc, i)) << i;
        }
        double untouched = 42.0;
        EXPECT_EQ(params->GetParam(paramCount, &untouched, &untouched, nullptr, nullptr), E_INVALIDARG);
        EXPECT_EQ(untouched, 42.0);

        // Aliases beyond the count are refused rather than read past the list.
        IKVOString* alias = nullptr;
        EXPECT_EQ(params->GetAlias(static_cast<LONG>(calc.aliases.size()), &alias), E_INVALIDARG);
        EXPECT_EQ(params->GetAlias(-1, &alias), E_INVALIDARG);

        // Source kinds: sample source first, then an event source; the selector takes one event source.
        if (calc.name == u"Selector") {
            EXPECT_EQ(params->TestSourceKind(0, 0x40000000), S_OK);
            EXPECT_EQ(params->TestSourceKind(0, 0x80000000), S_FALSE);
            EXPECT_EQ(params->TestSourceKind(1, 0x40000000), E_INVALIDARG);
        } else if (calc.sources == 0) {
            EXPECT_EQ(params->TestSourceKind(0, 0xFFFFFFFF), E_INVALIDARG);
        } else {
            EXPECT_EQ(params->TestSourceKind(0, 0x80000000), S_OK);
            EXPECT_EQ(params->TestSourceKind(0, 0x40000000), S_FALSE);
            if (calc.sources == 2) {
                EXPECT_EQ(params->TestSourceKind(1, 0xC0000000), S_OK);
                EXPECT_EQ(params->TestSourceKind(1, 0x80000000), S_FALSE);
            } else {
                // A calculation with its sample source only has no source 1.
                EXPECT_EQ(params->TestSourceKind(1, 0xC0000000), E_INVALIDARG);
            }
        }
        EXPECT_EQ(params->TestSourceKind(2, 0xFFFFFFFF), E_INVALIDARG);

        // Calculations whose engine family exists make enumerators; the others a failure and a null result.
        ICalcEnum* instance = reinterpret_cast<ICalcEnum*>(&untouched);
        const std::u16string_view built[] = {
            u"CAPPeakDet", u"CalcBase",      u"CalcAMax",        u"CalcBase2", u"CalcBulk",  u"PSCalcBase",
            u"Selector",   u"CacheSelector", u"PSCacheSelector", u"ERStimDet", u"ERStimSOB", u"ERPeakDet",
            u"PSPeakDet",  u"CAPPWF",        u"PeakCycConvert"};
        if (std::find(std::begin(built), std::end(built), calc.name) != std::end(built)) {
            EXPECT_EQ(calcClass->CreateInstance(nullptr, &instance), S_OK);
            ASSERT_NE(instance, nullptr);
            instance->Release();
        } else {
            EXPECT_EQ(calcClass->CreateInstance(nullptr, &instance), E_NOTIMPL);
            EXPECT_EQ(instance, nullptr);
        }
    }
    host.UnloadModule();
}

// Once the module hands a view class to the framework, the host keeps the module handle the class gives and
// registers the class (once), which leaves the class holding the command list the host gave it for its view's
// commands: all before any of its views opens.
TEST_F(ModuleLoad, TheHostRegistersEachViewClassWithItsModuleAndCommands)
{
    host::Host& host = Host();
    const std::size_t registeredBefore = host.Log().Count("views", "RegisterClassUI");
    ASSERT_EQ(host.LoadModule(MODULE_LIBRARY_PATH), S_OK) << host.LastError();
    const host::ViewClassRegistry& registry = host.GetFramework().Documents().viewClasses;
    const std::vector<IDocViewClass*> viewClasses = registry.Classes();
    ASSERT_EQ(viewClasses.size(), 2u);
    EXPECT_EQ(host.Log().Count("views", "RegisterClassUI") - registeredBefore, 2u) << "once for each class";

    // The handle is the module's own: the one its menu commands name their texts by.
    host::MenuService& menus = host.GetFramework().Documents().menus;
    menus.Clear();
    for (const host::RegisteredClass& entry : host.GetFramework().Classes()) {
        if (platform::ComPtr<ICustomDocClass> documentClass;
            SUCCEEDED(entry.object->QueryInterface(IID_ICustomDocClass, documentClass.OutVoid()))) {
            documentClass->RegisterWithUI(nullptr);
        }
    }
    const auto command = std::ranges::find_if(menus.Items(), [](const host::MenuRecord& item) { return item.module; });
    ASSERT_NE(command, menus.Items().end());
    const HINSTANCE module = command->module;
    for (IDocViewClass* viewClass : viewClasses) {
        EXPECT_EQ(registry.ModuleOf(viewClass), module);
        EXPECT_TRUE(registry.KeepsCommands(viewClass));
    }
    host.UnloadModule();
}

// The host opens a recording's analysis document and both views through the classes the module registered.
TEST_F(ModuleLoad, TheHostCreatesTheDocumentAndShowsBothViews)
{
    host::Host& host = Host();
    const LONG frameworkReferences = host.GetFramework().References();
    const LONG applicationReferences = host.Application().References();
    ASSERT_EQ(host.LoadModule(MODULE_LIBRARY_PATH), S_OK) << host.LastError();
    platform::ComPtr<ICustomDocClass> documentClass;
    std::vector<platform::ComPtr<IDocViewClass>> viewClasses;
    for (const host::RegisteredClass& entry : host.GetFramework().Classes()) {
        if (entry.kind == host::ClassKind::Document) {
            entry.object->QueryInterface(IID_ICustomDocClass, documentClass.OutVoid());
        } else if (entry.kind == host::ClassKind::View) {
            platform::ComPtr<IDocViewClass> view;
            entry.object->QueryInterface(IID_IDocViewClass, view.OutVoid());
            viewClasses.push_back(view);
        }
    }
    ASSERT_TRUE(documentClass);
    ASSERT_EQ(viewClasses.size(), 2u);
    BSTR name = nullptr;
    documentClass->GetClassName(&name);
    EXPECT_EQ(std::u16string(name), u"Crestmetrics Document");
    SysFreeString(name);

    // The module's menu items reach the host's menus with their texts from the module.
    host::MenuService& menus = host.GetFramework().Documents().menus;
    menus.Clear();
    EXPECT_EQ(documentClass->RegisterWithUI(nullptr), S_OK);
    ASSERT_EQ(menus.Items().size(), 13u);
    const host::MenuRecord& settings = menus.Items()[2];
    EXPECT_EQ(settings.path, u"Crestmetrics|Settings");
    WCHAR text[64] = {};
    ASSERT_GT(LoadStringW(settings.module, settings.stringId, text, 64), 0);
    EXPECT_EQ(std::u16string(text), u"&Settings...");

    // The document of a host document: a message that nobody in the module takes comes back to the host once.
    auto hostDocument = host::HostDocument::Create(host.Log(), 1, host.NewChartData());
    platform::ComPtr<ICustomDocument2> document = hostDocument->CreateDocument(documentClass.Get());
    ASSERT_TRUE(document);
    platform::ComPtr<IMessageHandler> messages;
    ASSERT_EQ(document->QueryInterface(IID_IMessageHandler, messages.OutVoid()), S_OK);
    auto message = platform::ComPtr<host::HostMessage>::Adopt(host::HostMessage::Create(0x0F0F0001, 0));
    EXPECT_EQ(messages->HandleMessage(message.Get()), 0);
    EXPECT_EQ(host.GetFramework().Documents().documentRegistration.Links().back()->MessagesReached(),
              std::vector<DWORD>{0x0F0F0001});
    messages.Reset();

    // Both views open in host frames and name their copy command.
    std::vector<std::u16string> copyTexts;
    for (const auto& viewClass : viewClasses) {
        host::OpenedView opened = host::OpenView(host.Log(), viewClass.Get(), hostDocument.Get());
        ASSERT_EQ(opened.created, S_OK);
        EXPECT_TRUE(IsWindowVisible(opened.window));
        platform::ComPtr<ICAFCommandHandler> commands;
        ASSERT_EQ(opened.view->QueryInterface(IID_ICAFCommandHandler, commands.OutVoid()), S_OK);
        auto state = host::CommandState::Create();
        EXPECT_EQ(commands->QueryState(0x80170004, state.Get()), S_OK);
        copyTexts.push_back(state->Text().value_or(u"-"));
        EXPECT_EQ(opened.view->Close(), S_OK);
    }
    EXPECT_EQ(copyTexts, (std::vector<std::u16string>{u"Copy Crestmetrics View", u"Copy Table View"}));
    EXPECT_TRUE(hostDocument->Views().empty());

    document.Reset();
    hostDocument->CloseDocuments(); // as closing the host document does: nothing keeps the pair alive
    host.UnloadModule();
    // Unloading detached the module, which gave back the references its accessors held.
    EXPECT_EQ(host.GetFramework().References(), frameworkReferences);
    EXPECT_EQ(host.Application().References(), applicationReferences);
}

} // namespace
