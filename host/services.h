// The host's test registry and application service: class objects of their own class ids.
#pragma once

#include "host/calllog.h"
#include "host/comobject.h"
#include "sdk/hostservices.h"
#include "sdk/unittest.h"

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

class ApplicationService final : public IApplicationService, private HostOwned {
public:
    explicit ApplicationService(CallLog& log) : log_(log) {}
    using HostOwned::References;

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT GetWindowObject(HWND window, IUnknown** out) override;
    HRESULT GetPrintService(IUnknown** out) override;
    HRESULT GetLanguage(WORD* language) override;
    HRESULT GetSettings(IHostSettings** out) override;
    HRESULT QueryPreReleaseNote(DWORD reserved, DWORD* suppress, DWORD* other) override;
    HRESULT ShowPreReleaseNote(DWORD reserved, const char16_t* text) override;

    // What the host answers.
    void SetLanguage(WORD language) { language_ = language; }
    void SetSuppressPreReleaseNotes(bool suppress) { suppressNotes_ = suppress; }
    const std::vector<std::u16string>& NotesShown() const { return notes_; }

private:
    CallLog& log_;
    WORD language_ = 0x0409;
    bool suppressNotes_ = false;
    std::vector<std::u16string> notes_;
};

} // namespace host
