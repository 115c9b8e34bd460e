// The host's test registry and application service: class objects of their own class ids.
#pragma once

#include "host/calllog.h"
#include "host/comobject.h"
#include "host/help.h"
#include "sdk/hostservices.h"
#include "sdk/printing.h"
#include "sdk/unittest.h"

#include <functional>
#include <string>
#include <vector>

namespace host {

class TestRegistry final : public IUnitTestRegistry, private HostOwned {
public:
    explicit TestRegistry(CallLog& log) : log_(log) {}
    ~TestRegistry() { Drop(); }

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT Add(IUnitTest* test) override;

    const std::vector<platform::ComPtr<IUnitTest>>& Tests() const { return tests_; }
    void Drop() { tests_.clear(); }
    void SetRefuse(bool refuse) { refuse_ = refuse; }

private:
    CallLog& log_;
    std::vector<platform::ComPtr<IUnitTest>> tests_;
    bool refuse_ = false;
};

// One sub-test of a registered test as the registry lists or runs it.
struct SubTestOutcome {
    std::size_t test = 0;        // position of the test in the registry
    LONG index = 0;              // the sub-test's index in its test
    std::u16string name;         // the sub-test's full name
    bool ran = false;
    bool passed = false;
    std::u16string message;      // the failure text, or why the host could not run it
};

// The contact text of a test.
std::u16string TestContact(IUnitTest& test);

// Declares every registered test (or one, at its registry position) and lists its sub-tests; with `run`, runs those whose full name starts with one of
// the prefixes (all when there are none) and reads each result. `each` sees every outcome as it comes.
std::vector<SubTestOutcome> RunSubTests(IUnitTest& test, std::size_t position, bool run,
                                        const std::vector<std::u16string>& prefixes = {},
                                        const std::function<void(const SubTestOutcome&)>& each = {});
std::vector<SubTestOutcome> RunRegisteredTests(const TestRegistry& registry, bool run,
                                               const std::vector<std::u16string>& prefixes = {},
                                               const std::function<void(const SubTestOutcome&)>& each = {});

// The application's settings object: answers the application's visibility ("kvo\application\visible").
class ApplicationSettings final : public IHostSettings, private RefCounted {
public:
    explicit ApplicationSettings(CallLog& log) : log_(log) {}

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT Reserved3() override { return E_NOTIMPL; }
    HRESULT Reserved4() override { return E_NOTIMPL; }
    HRESULT Reserved5() override { return E_NOTIMPL; }
    HRESULT Reserved6() override { return E_NOTIMPL; }
    HRESULT Reserved7() override { return E_NOTIMPL; }
    HRESULT Reserved8() override { return E_NOTIMPL; }
    HRESULT Reserved9() override { return E_NOTIMPL; }
    HRESULT Reserved10() override { return E_NOTIMPL; }
    HRESULT Reserved11() override { return E_NOTIMPL; }
    HRESULT Reserved12() override { return E_NOTIMPL; }
    HRESULT Reserved13() override { return E_NOTIMPL; }
    HRESULT Reserved14() override { return E_NOTIMPL; }
    HRESULT Reserved15() override { return E_NOTIMPL; }
    // S_FALSE, with *value as preset, for a key it does not know.
    HRESULT ReadBool(IKVOString* key, BYTE* value) override;

    void SetVisible(bool visible) { visible_ = visible; }

private:
    CallLog& log_;
    bool visible_ = true;
};

class ApplicationService final : public IApplicationService, private HostOwned {
public:
    explicit ApplicationService(CallLog& log);
    ~ApplicationService();
    using HostOwned::References;

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT GetWindowObject(HWND window, IUnknown** out) override;
    // The print service set below, with a reference for the caller; E_NOTIMPL while none is set.
    HRESULT GetPrintService(IUnknown** out) override;
    HRESULT GetLanguage(WORD* language) override;
    HRESULT GetSettings(IHostSettings** out) override;
    HRESULT QueryPreReleaseNote(DWORD reserved, DWORD* suppress, DWORD* other) override;
    HRESULT ShowPreReleaseNote(DWORD reserved, const char16_t* text) override;
    // Keeps the help texts asked for and opens each in the help window: S_OK, or E_INVALIDARG when the help
    // file or its topic is unknown (the window then stays as it was).
    HRESULT ShowHelp(const char16_t* text) override;
    const std::vector<std::u16string>& HelpShown() const { return help_; }
    HelpLibrary& Help() { return library_; }

    // Whether the application window shows (its settings object answers it; visible unless set).
    void SetVisible(bool visible) { settings_->SetVisible(visible); }

    // What the host answers.
    void SetLanguage(WORD language) { language_ = language; }
    void SetSuppressPreReleaseNotes(bool suppress) { suppressNotes_ = suppress; }
    const std::vector<std::u16string>& NotesShown() const { return notes_; }
    // The print service that GetPrintService answers with (held; null for none).
    void SetPrintService(ICAFPrintService* service) { printing_ = platform::ComPtr<ICAFPrintService>(service); }
    ICAFPrintService* Printing() const { return printing_.Get(); }

private:
    CallLog& log_;
    WORD language_ = 0x0409;
    bool suppressNotes_ = false;
    platform::ComPtr<ApplicationSettings> settings_;
    std::vector<std::u16string> notes_;
    std::vector<std::u16string> help_;
    HelpLibrary library_;
    platform::ComPtr<ICAFPrintService> printing_;
};

} // namespace host
