#include "frame/module.h"

#include "document/cxdoc.h"
#include "foundation/utilities.h"
#include "frame/views.h"
#include "graph/analysisview/analysisview.h"
#include "platform/win/resources.h"
#include "tableview/cxtableviewex.h"

#include <atomic>

namespace CX::Module {

namespace {

std::atomic<HINSTANCE> instance{nullptr};
owl::TModule* module = nullptr;

bool Contains(std::u16string_view text, std::u16string_view part) { return text.find(part) != text.npos; }

} // namespace

HINSTANCE Instance() { return instance.load(); }

VersionTexts ReadVersionTexts(HINSTANCE module)
{
    const owl::TModuleVersionInfo info(module);
    VersionTexts texts;
    texts.fourthPart = LOWORD(info.GetFileVersionLS());
    if (!info.GetFileVersion(texts.fileVersion)) {
        texts.fileVersion = u"N/A";
    }
    if (!info.GetFileDescription(texts.description)) {
        texts.description = u"N/A";
    }
    return texts;
}

owl::TModule* GetModule() { return module; }

HRESULT RegisterDocumentClasses()
{
    ICAFFramework* framework = CAF::GetFrameworkClassObject();
    if (!framework) {
        return E_FAIL;
    }
    // Each is created with a count of 0; the framework takes the references it keeps.
    HRESULT result = framework->Register(static_cast<ICustomDocClass*>(new CAFDocumentClass<CX::Doc::CXDoc>));
    result = framework->Register(
        static_cast<IDocViewClass*>(new CAFOwlDocViewClass<CAFOwlDocView<AnalysisView>>(GetModule())));
    result = framework->Register(
        static_cast<IDocViewClass*>(new CAFOwlDocViewClass<CAFOwlDocView<CXTableViewEx>>(GetModule())));
    return result;
}

void RegisterCalculationClasses()
{
    ICAFFramework* framework = CAF::GetFrameworkClassObject();
    if (!framework) {
        return;
    }
    for (CAFClassObject* link = CAFClassObject::CalculationListHead(); link; link = link->Next()) {
        framework->Register(link->GetClassObjectInterface());
    }
}

void RegisterMessageClasses()
{
    IMessageFactory* factory = MessageFactoryAccessor::Get();
    if (!factory) {
        return;
    }
    for (MessageClassLink* link = MessageClassLink::ListHead(); link; link = link->Next()) {
        factory->Register(0, link->GetClassObjectInterface());
    }
}

std::optional<std::u16string> PreReleaseNoteText(std::u16string_view versionText, std::u16string_view description,
                                                 WORD fourthPart)
{
    if (fourthPart >= 1024) {
        return std::nullopt;
    }
    bool show = false;
    if (Contains(versionText, u"N/A")) {
        show = false;
    } else if (Contains(versionText, u"lpha") || Contains(versionText, u"eta")) {
        show = true;
    } else if (Contains(versionText, u"ev")) {
        show = false;
    } else {
        show = Contains(versionText, u"inal");
    }
    if (!show) {
        return std::nullopt;
    }
    std::u16string text(description);
    text += u' ';
    text += versionText;
    if (text.size() > 256) {
        text.resize(256);
    }
    return text;
}

void ShowPreReleaseNote()
{
    IApplicationService* application = CX::Host::GetApplicationService();
    if (!application) {
        return;
    }
    DWORD suppress = 0;
    DWORD other = 0;
    application->QueryPreReleaseNote(0, &suppress, &other);
    if (suppress != 0) {
        return;
    }
    const VersionTexts version = ReadVersionTexts(Instance());
    if (const auto text = PreReleaseNoteText(version.fileVersion, version.description, version.fourthPart)) {
        application->ShowPreReleaseNote(0, text->c_str());
    }
}

} // namespace CX::Module

extern "C" BOOL DllMain(HINSTANCE instance, DWORD reason, void*)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        CX::Module::instance.store(instance);
        try {
            CX::Module::module = new owl::TModule(nullptr, instance);
            // Thread attach notices do not exist here, so there is nothing to switch off.
            CX::Module::ShowPreReleaseNote();
        } catch (...) {
            // A host that cannot be reached at load time shows no note; the library still loads.
        }
        break;
    case DLL_PROCESS_DETACH:
        delete CX::Module::module;
        CX::Module::module = nullptr;
        // The host's services outlive the module: their references go back now.
        KVO::ReleaseHostApplicationSettings();
        CAF::ReleaseServices();
        break;
    default:
        break;
    }
    return TRUE;
}

extern "C" HRESULT DllRegisterClassObjects(IUnknown*)
{
    // Strictly in this order; registration reports success whatever the host answers, and a step that cannot
    // reach its host service does not keep the later steps from running.
    const auto step = [](auto registerStep) {
        try {
            registerStep();
        } catch (...) {
        }
    };
    step([] { CX::Module::RegisterDocumentClasses(); });
    step(CX::Module::RegisterCalculationClasses);
    step(CX::Module::RegisterEventDrawClasses);
    step(CX::Module::RegisterMessageClasses);
    step(CX::Module::RegisterSelfTests);
    return S_OK;
}

namespace {

// True when this code was loaded as a shared library (not linked into the program itself, as in unit tests,
// which call DllMain themselves when they need it).
bool LoadedAsLibrary()
{
    return platform::ModuleHandleFromAddress(reinterpret_cast<const void*>(&DllMain)) != GetModuleHandleW(nullptr);
}

// The library entry: attach when the library is loaded, detach when it is unloaded.
struct LibraryEntry {
    LibraryEntry()
    {
        if (LoadedAsLibrary()) {
            handle = platform::ModuleHandleFromAddress(reinterpret_cast<const void*>(&DllMain));
            DllMain(handle, DLL_PROCESS_ATTACH, nullptr);
        }
    }
    ~LibraryEntry()
    {
        if (handle) {
            DllMain(handle, DLL_PROCESS_DETACH, nullptr);
        }
    }
    HINSTANCE handle = nullptr;
};

LibraryEntry libraryEntry;

} // namespace
