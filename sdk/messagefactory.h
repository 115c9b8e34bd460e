// The host's message factory and the message class objects that the module registers with it.
#pragma once

#include "platform/com/oleauto.h"
#include "sdk/slots.h"

// {A2E14AB5-BA75-49A8-8F65-77AB7547FD4A}
inline constexpr IID IID_IMessageFactory{0xA2E14AB5, 0xBA75, 0x49A8, {0x8F, 0x65, 0x77, 0xAB, 0x75, 0x47, 0xFD, 0x4A}};
// {5B0C7E21-93D4-4C6A-A1F8-2E6B90D4C317}: a message addressed to views of one type.
inline constexpr IID IID_IViewTargetMessage{0x5B0C7E21, 0x93D4, 0x4C6A, {0xA1, 0xF8, 0x2E, 0x6B, 0x90, 0xD4, 0xC3, 0x17}};
// {2C1D6617-25A7-4EAD-809D-CB70D0F89EA3}
inline constexpr IID IID_IMsgIdMessageClassObject{
    0x2C1D6617, 0x25A7, 0x4EAD, {0x80, 0x9D, 0xCB, 0x70, 0xD0, 0xF8, 0x9E, 0xA3}};

struct IMessage;
struct IKVOString;

// The host's line writer that a message class describes itself to.
struct IDescriptionWriter : IUnknown {
    SDK_UNUSED_SLOT(3)
    SDK_UNUSED_SLOT(4)
    virtual HRESULT WriteLine(IKVOString* line, DWORD value) = 0; // 5

protected:
    ~IDescriptionWriter() = default;
};

// A message that names the type of view it is meant for; a message's flags carry kTargetsView when it has one.
struct IViewTargetMessage : IUnknown {
    virtual HRESULT GetViewType(DWORD* typeId) = 0; // 3

protected:
    ~IViewTargetMessage() = default;
};

namespace CAF::MessageFlag {
inline constexpr DWORD kTargetsView = 64;
}

// A class of GUID-identified messages: its id, name, category and description, two flags, a factory of its
// messages, and the text forms of a message.
struct IMsgIdMessageClassObject : IUnknown {
    virtual HRESULT GetMessageId(DWORD reserved, DWORD* id) = 0; // 3
    virtual HRESULT GetName(BSTR* name) = 0;                     // 4: a BSTR passed in is freed; empty gives null
    virtual HRESULT GetCategory(BSTR* category) = 0;             // 5: as the name
    virtual HRESULT GetDescription(IKVOString** text) = 0;       // 6: with a reference
    virtual HRESULT GetFlag1(DWORD reserved, WORD* flag) = 0;    // 7
    virtual HRESULT GetFlag2(DWORD reserved, WORD* flag) = 0;    // 8
    virtual HRESULT CreateMessage(IMessage** out) = 0;           // 9: a new message of the class's id
    // 10: the message's addressing as text, appended after a comma to what *text holds; E_FAIL without a place.
    virtual HRESULT GetMessageText(IMessage* message, BSTR* text) = 0;
    virtual HRESULT Describe(BSTR* name, IDescriptionWriter* writer, DWORD writerValue) = 0; // 11
    virtual HRESULT DescribeValue(IMessage* message, BSTR* text) = 0;                       // 12

protected:
    ~IMsgIdMessageClassObject() = default;
};

struct IMessageFactory : IUnknown {
    virtual HRESULT Register(DWORD reserved, IMsgIdMessageClassObject* classObject) = 0; // 3

protected:
    ~IMessageFactory() = default;
};
