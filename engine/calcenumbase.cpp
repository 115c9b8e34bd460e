#include "engine/calcenumbase.h"

#include "engine/eeh3params.h"
#include "foundation/kvostring.h"
#include "foundation/stringstream.h"
#include "foundation/xkvo.h"

#include <locale>

namespace CalcEnums {

namespace {
constexpr DWORD kParsedFlags = 0x40000000;
constexpr DWORD kStatus = 0x801B0002;
} // namespace

CalcEnumEventBase::CalcEnumEventBase(ICalcEnumClass2* classObject, IUnknown* context, IUnknown* outer)
    : inner_(*this), outer_(outer), classObject_(classObject), context_(context)
{
    count_.Add();
    if (classObject_) {
        classObject_->AddRef();
    }
    if (context_) {
        context_->AddRef();
    }
}

CalcEnumEventBase::~CalcEnumEventBase()
{
    if (classObject_) {
        classObject_->Release();
    }
    if (context_) {
        context_->Release();
    }
}

HRESULT CalcEnumEventBase::NonDelegating::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown) {
        *out = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    if (iid == IID_ICalcEnum) {
        *out = static_cast<ICalcEnum*>(&owner_);
    } else if (iid == IID_IEnumEventEx) {
        *out = static_cast<IEnumEventEx*>(&owner_);
    } else {
        return E_NOINTERFACE;
    }
    static_cast<ICalcEnum&>(owner_).AddRef(); // counted on the outer object when aggregated
    return S_OK;
}

ULONG CalcEnumEventBase::NonDelegating::AddRef() { return owner_.count_.Add(); }

ULONG CalcEnumEventBase::NonDelegating::Release()
{
    ULONG left = 0;
    if (owner_.count_.Drop(left)) {
        owner_.DeleteThis();
    }
    return left;
}

HRESULT CalcEnumEventBase::QueryInterface(REFIID iid, void** out)
{
    if (outer_) {
        return outer_->QueryInterface(iid, out);
    }
    if (!out) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown) {
        *out = static_cast<ICalcEnum*>(this);
        AddRef();
        return S_OK;
    }
    return inner_.QueryInterface(iid, out);
}

ULONG CalcEnumEventBase::AddRef() { return outer_ ? outer_->AddRef() : inner_.AddRef(); }

ULONG CalcEnumEventBase::Release() { return outer_ ? outer_->Release() : inner_.Release(); }

void CalcEnumEventBase::DeleteThis() { delete this; }

HRESULT CalcEnumEventBase::GetClassId(DWORD* id)
{
    return KVO::GuardSlot([&] { return classObject_ ? classObject_->GetId(id) : E_FAIL; });
}

HRESULT CalcEnumEventBase::GetClassObject(ICalcEnumClass2** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = classObject_;
    if (classObject_) {
        classObject_->AddRef();
    }
    return S_OK;
}

HRESULT CalcEnumEventBase::QueryFlags(DWORD, DWORD b, DWORD* out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = b != 0 ? kParsedFlags : 0;
    return S_OK;
}

HRESULT CalcEnumEventBase::GetStatus(DWORD* out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = kStatus;
    return S_OK;
}

HRESULT CalcEnumEventBase::Skip(LONG, LONG* skipped)
{
    if (skipped) {
        *skipped = 0;
    }
    return E_NOTIMPL;
}

HRESULT CalcEnumEventBase::Clone(IEnumEventEx** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    ICalcEnum* copy = nullptr;
    const HRESULT hr = Clone(&copy);
    if (copy) {
        *out = static_cast<IEnumEventEx*>(static_cast<CalcEnumEventBase*>(copy));
    }
    return hr;
}

HRESULT CalcEnumEventBase::GetExtension(IUnknown** out)
{
    if (out) {
        *out = nullptr;
    }
    return E_NOTIMPL;
}

std::wistringstream CalcEnumEventBase::ParameterStream(IKVOString* text)
{
    KVO::String copy;
    copy.AssignInterface(text);
    std::wistringstream in(KVO::ToWide(copy.View()));
    in.imbue(std::locale::classic());
    return in;
}

HRESULT CalcEnumEventBase::WriteParameters(const EEH3::ParamsBase& params, IKVOString** text)
{
    if (!text) {
        return E_POINTER;
    }
    *text = nullptr;
    return KVO::GuardSlot([&] {
        KVO::Automation::ClassicOStringStream out;
        params.Write(out);
        *text = out.GetRep();
        return S_OK;
    });
}

} // namespace CalcEnums
