#include "host/services.h"

#include "host/displaysettings.h"
#include "host/framework.h"

#include <algorithm>
#include <iterator>

namespace host {

HRESULT TestRegistry::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IUnitTestRegistry) {
        return Answer(static_cast<IUnitTestRegistry*>(this), out);
    }
    return E_NOINTERFACE;
}

HRESULT TestRegistry::Add(IUnitTest* test)
{
    log_.Record("tests", "Add", test ? std::to_string(tests_.size()) : "null");
    if (!test) {
        return E_POINTER;
    }
    // Take the reference first: a refused test must still be released (its count arrives at 0).
    platform::ComPtr<IUnitTest> held(test);
    if (refuse_) {
        return E_FAIL;
    }
    tests_.push_back(std::move(held));
    return S_OK;
}

std::u16string TestContact(IUnitTest& test)
{
    IKVOString* contact = nullptr;
    return SUCCEEDED(test.GetContact(&contact)) ? TakeText(contact) : std::u16string();
}

std::vector<SubTestOutcome> RunSubTests(IUnitTest& test, std::size_t position, bool run,
                                        const std::vector<std::u16string>& prefixes,
                                        const std::function<void(const SubTestOutcome&)>& each)
{
    const auto wanted = [&](const std::u16string& name) {
        return prefixes.empty() || std::any_of(prefixes.begin(), prefixes.end(), [&](const std::u16string& prefix) {
                   return name.starts_with(prefix);
               });
    };
    std::vector<SubTestOutcome> outcomes;
    LONG count = 0;
    if (FAILED(test.Declare()) || FAILED(test.GetSubTestCount(&count))) {
        count = 0;
    }
    for (LONG i = 0; i < count; ++i) {
        SubTestOutcome outcome;
        outcome.test = position;
        outcome.index = i;
        IKVOString* name = nullptr;
        if (SUCCEEDED(test.GetSubTestName(i, &name))) {
            outcome.name = TakeText(name);
        }
        if (!wanted(outcome.name)) {
            continue;
        }
        if (run) {
            outcome.ran = true;
            VARIANT_BOOL passed = VARIANT_FALSE;
            IKVOString* message = nullptr;
            if (FAILED(test.RunSubTest(i))) {
                outcome.message = u"the test refused to run it";
            } else if (SUCCEEDED(test.GetResult(&passed, &message))) {
                outcome.passed = passed != VARIANT_FALSE;
                outcome.message = TakeText(message);
            }
        }
        if (each) {
            each(outcome);
        }
        outcomes.push_back(std::move(outcome));
    }
    return outcomes;
}

std::vector<SubTestOutcome> RunRegisteredTests(const TestRegistry& registry, bool run,
                                               const std::vector<std::u16string>& prefixes,
                                               const std::function<void(const SubTestOutcome&)>& each)
{
    std::vector<SubTestOutcome> outcomes;
    for (std::size_t t = 0; t < registry.Tests().size(); ++t) {
        auto some = RunSubTests(*registry.Tests()[t].Get(), t, run, prefixes, each);
        std::move(some.begin(), some.end(), std::back_inserter(outcomes));
    }
    return outcomes;
}

HRESULT ApplicationService::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IApplicationService) {
        return Answer(static_cast<IApplicationService*>(this), out);
    }
    if (iid == IID_IDisplayColours) {
        return ApplicationColours().QueryInterface(iid, out);
    }
    return E_NOINTERFACE;
}

HRESULT ApplicationService::GetWindowObject(HWND, IUnknown** out)
{
    log_.Record("application", "GetWindowObject");
    if (out) {
        *out = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT ApplicationService::GetPrintService(IUnknown** out)
{
    log_.Record("application", "GetPrintService");
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (!printing_) {
        return E_NOTIMPL;
    }
    *out = printing_.Get();
    (*out)->AddRef();
    return S_OK;
}

HRESULT ApplicationService::GetLanguage(WORD* language)
{
    log_.Record("application", "GetLanguage");
    if (!language) {
        return E_POINTER;
    }
    *language = language_;
    return S_OK;
}

ApplicationService::ApplicationService(CallLog& log) : log_(log), settings_(new ApplicationSettings(log)) {}

ApplicationService::~ApplicationService() = default;

HRESULT ApplicationService::GetSettings(IHostSettings** out)
{
    log_.Record("application", "GetSettings");
    if (!out) {
        return E_POINTER;
    }
    *out = settings_.Get();
    settings_->AddRef();
    return S_OK;
}

HRESULT ApplicationSettings::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({{&IID_IHostSettings, static_cast<IHostSettings*>(this)}}, iid, out);
}

HRESULT ApplicationSettings::ReadBool(IKVOString* key, BYTE* value)
{
    const std::u16string_view name = key && key->GetText() ? key->GetText() : u"";
    log_.Record("settings", "ReadBool", Narrow(name));
    if (!value) {
        return E_POINTER;
    }
    if (name != u"kvo\\application\\visible") {
        return S_FALSE;
    }
    *value = visible_ ? 1 : 0;
    return S_OK;
}

HRESULT ApplicationService::QueryPreReleaseNote(DWORD reserved, DWORD* suppress, DWORD* other)
{
    log_.Record("application", "QueryPreReleaseNote", Hex(reserved));
    if (!suppress || !other) {
        return E_POINTER;
    }
    *suppress = suppressNotes_ ? 1 : 0;
    *other = 0;
    return S_OK;
}

HRESULT ApplicationService::ShowPreReleaseNote(DWORD reserved, const char16_t* text)
{
    std::u16string note = text ? text : u"";
    log_.Record("application", "ShowPreReleaseNote", Hex(reserved) + " " + Narrow(note));
    notes_.push_back(std::move(note));
    return S_OK;
}

HRESULT ApplicationService::ShowHelp(const char16_t* text)
{
    std::u16string shown = text ? text : u"";
    log_.Record("application", "ShowHelp", Narrow(shown));
    help_.push_back(shown);
    return library_.Open(shown) ? S_OK : E_INVALIDARG;
}

} // namespace host
