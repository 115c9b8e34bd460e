// The host's message factory and the message class objects that the module registers with it.
#pragma once

#include "platform/com/oleauto.h"
#include "sdk/slots.h"

// {A2E14AB5-BA75-49A8-8F65-77AB7547FD4A}
inline constexpr IID IID_IMessageFactory{0xA2E14AB5, 0xBA75, 0x49A8, {0x8F, 0x65, 0x77, 0xAB, 0x75, 0x47, 0xFD, 0x4A}};
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

// A class of GUID-identified messages: its name, description lines and the text form of a message's value.
struct IMsgIdMessageClassObject : IUnknown {
    virtual HRESULT Describe(BSTR* name, IDescriptionWriter* writer, DWORD writerValue) = 0; // 3
    virtual HRESULT DescribeValue(IMessage* message, BSTR* text) = 0;                       // 4

protected:
    ~IMsgIdMessageClassObject() = default;
};

struct IMessageFactory : IUnknown {
    virtual HRESULT Register(DWORD reserved, IMsgIdMessageClassObject* classObject) = 0; // 3

protected:
    ~IMessageFactory() = default;
};
