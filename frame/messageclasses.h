// GUID-identified message classes: the name, description, parameters and value type of a message that the module
// defines, as the host's message factory lists it, and the text form of one message's value.
#pragma once

#include "foundation/comobject.h"
#include "foundation/kvostring.h"
#include "foundation/xkvo.h"
#include "frame/classlist.h"
#include "frame/hostservices.h"
#include "frame/typeid.h"
#include "sdk/cafevents.h"
#include "sdk/messagefactory.h"

#include <string_view>
#include <vector>

namespace KVO {

// Splits a text at its commas; a piece that begins with `open` runs on across commas up to `close`. The marks
// are dropped and each comma inside such a piece becomes ", ". An empty text gives an empty list.
std::vector<String> SplitBracketed(const String& text, std::u16string_view open, std::u16string_view close);

// What every message class carries.
class MsgIdMessageClassObjectRootImpl {
public:
    MsgIdMessageClassObjectRootImpl(DWORD index, const String& name, const String& description,
                                    const String& parameters, DWORD flag1, DWORD flag2, const String& valueType);
    virtual ~MsgIdMessageClassObjectRootImpl();

    DWORD Index() const { return index_; }
    const String& Name() const { return name_; }
    const String& Description() const { return description_; }
    const String& Parameters() const { return parameters_; }
    DWORD Flag1() const { return flag1_; }
    DWORD Flag2() const { return flag2_; }
    const String& ValueType() const { return valueType_; }

private:
    DWORD index_;
    String name_;
    String description_;
    String parameters_;
    DWORD flag1_;
    DWORD flag2_;
    String valueType_;
};

// The text operations that every message class shares.
class MsgIdMessageClassObject {
public:
    enum Kind { kOther = 0, kString = 2, kSafeArray = 3, kRect = 4, kBool = 5 };

    // By the exact value type name ("string", "safearray", "rect", "bool"); anything else 0.
    static int ValueKind(const String& valueType);
    // The lines the class describes itself with; none for an empty name.
    static std::vector<String> DescriptionLines(const MsgIdMessageClassObjectRootImpl& data);
    // The name as a BSTR (null for an empty name) and the lines to the writer (slot 5 with `writerValue`).
    static HRESULT Describe(const MsgIdMessageClassObjectRootImpl& data, BSTR* name, IDescriptionWriter* writer,
                            DWORD writerValue);
    // "name: value" for each parameter, the value rendered by the parameter's type.
    static HRESULT DescribeValue(const MsgIdMessageClassObjectRootImpl& data, IMessage* message, BSTR* text);
    // "CAFId,ViewType,"<type>"" for a message addressed to a view type (flag kTargetsView and the view-target
    // interface), else nothing; appended after a comma to what *text already holds.
    static HRESULT MessageText(IMessage* message, BSTR* text);
    // A text as a fresh BSTR in *out, freeing what it held; an empty text gives null.
    static HRESULT PutText(const String& text, BSTR* out);
};

// A message class object: its data, the host interface, its link in the module's message class list and its
// reference count. Built once by a static initialiser.
template <int N = 0>
class MsgIdMessageClassObjectRoot
    : public IMsgIdMessageClassObject,
      public LinkedClassObject<MessageFactoryAccessor, IMsgIdMessageClassObject>,
      public CComObjectRoot,
      public MsgIdMessageClassObjectRootImpl {
public:
    using MsgIdMessageClassObjectRootImpl::MsgIdMessageClassObjectRootImpl;

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        static constexpr InterfaceEntry table[] = {
            {&IID_IMsgIdMessageClassObject, &InterfaceCast<MsgIdMessageClassObjectRoot, IMsgIdMessageClassObject>},
            {nullptr, nullptr},
        };
        return InternalQueryInterface(this, table, iid, out);
    }
    ULONG AddRef() override { return InternalAddRef(); }
    // The object is static: the host's references never delete it.
    ULONG Release() override { return InternalDropGuard(); }
    HRESULT GetName(BSTR* name) override
    {
        return GuardSlot([&] { return MsgIdMessageClassObject::PutText(Name(), name); });
    }
    HRESULT GetDescription(IKVOString** text) override
    {
        if (!text) {
            return E_POINTER;
        }
        *text = Description().GetInterface();
        return S_OK;
    }
    HRESULT GetFlag1(DWORD, WORD* flag) override { return PutFlag(Flag1(), flag); }
    HRESULT GetFlag2(DWORD, WORD* flag) override { return PutFlag(Flag2(), flag); }
    HRESULT GetMessageText(IMessage* message, BSTR* text) override
    {
        return GuardSlot([&] { return MsgIdMessageClassObject::MessageText(message, text); });
    }
    HRESULT Describe(BSTR* name, IDescriptionWriter* writer, DWORD writerValue) override
    {
        return GuardSlot([&] { return MsgIdMessageClassObject::Describe(*this, name, writer, writerValue); });
    }
    HRESULT DescribeValue(IMessage* message, BSTR* text) override
    {
        return GuardSlot([&] { return MsgIdMessageClassObject::DescribeValue(*this, message, text); });
    }
    IMsgIdMessageClassObject* GetClassObjectInterface() override { return this; }

private:
    static HRESULT PutFlag(DWORD value, WORD* flag)
    {
        if (!flag) {
            return E_POINTER;
        }
        *flag = static_cast<WORD>(value);
        return S_OK;
    }
};

} // namespace KVO
