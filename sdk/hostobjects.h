// Host objects that the framework class object hands out by fixed id, and the host's own class ids that the
// module asks type ids for. Their operations are declared where the module starts to call them.
#pragma once

#include "platform/com/oleauto.h"
#include "sdk/hostservices.h"
#include "sdk/slots.h"

// {B24E532B-7180-4906-A569-5D94E91F2644}
inline constexpr IID IID_IMessageBus{0xB24E532B, 0x7180, 0x4906, {0xA5, 0x69, 0x5D, 0x94, 0xE9, 0x1F, 0x26, 0x44}};
// {E68DDB4C-FB81-4A12-BF08-FBBAAD540A5B}
inline constexpr IID IID_ICommandService{0xE68DDB4C, 0xFB81, 0x4A12, {0xBF, 0x08, 0xFB, 0xBA, 0xAD, 0x54, 0x0A, 0x5B}};
// {2FF36FEF-F51C-4686-8906-55431E442515}
inline constexpr IID IID_IMenuService{0x2FF36FEF, 0xF51C, 0x4686, {0x89, 0x06, 0x55, 0x43, 0x1E, 0x44, 0x25, 0x15}};

// {1B57120F-962F-4B10-A3DE-F10DB4528C3F}: the host's channel-calculation class, which evaluates calculation texts;
// its type id also addresses the host's unit service.
inline constexpr CLSID CLSID_ChannelCalculation{
    0x1B57120F, 0x962F, 0x4B10, {0xA3, 0xDE, 0xF1, 0x0D, 0xB4, 0x52, 0x8C, 0x3F}};

// {6E2F0B93-7C41-4D5A-8E16-B3A9D04C2F78}: the message class of the host's documents and views.
inline constexpr GUID GUID_HostMessages{0x6E2F0B93, 0x7C41, 0x4D5A, {0x8E, 0x16, 0xB3, 0xA9, 0xD0, 0x4C, 0x2F, 0x78}};
// {1F8CB809-4701-413A-A0D7-9A555B8C28A7}: the message class of the host chart.
inline constexpr GUID GUID_ChartMessages{0x1F8CB809, 0x4701, 0x413A, {0xA0, 0xD7, 0x9A, 0x55, 0x5B, 0x8C, 0x28, 0xA7}};
// {914B925E-E719-4641-B25B-3A8506EE6BCB}: the message class of the host's channel calculations.
inline constexpr GUID GUID_ChannelCalcMessages{
    0x914B925E, 0xE719, 0x4641, {0xB2, 0x5B, 0x3A, 0x85, 0x06, 0xEE, 0x6B, 0xCB}};

struct IMessage;
struct ICAFCommand;

// The CAF message service (framework object 0x80000007).
struct IMessageBus : IUnknown {
    SDK_UNUSED_SLOT(3) SDK_UNUSED_SLOT(4) SDK_UNUSED_SLOT(5) SDK_UNUSED_SLOT(6) SDK_UNUSED_SLOT(7) SDK_UNUSED_SLOT(8)
    // 9: a new message with one reference for the caller; `value` is copied.
    virtual HRESULT Create(DWORD messageId, DWORD flags, LPARAM a, LPARAM b, DWORD reserved, const VARIANT* value,
                           IMessage** out) = 0;

protected:
    ~IMessageBus() = default;
};

// Command registration objects (framework object 0x80000014).
struct ICommandService : IUnknown {
    SDK_UNUSED_SLOT(3) SDK_UNUSED_SLOT(4) SDK_UNUSED_SLOT(5) SDK_UNUSED_SLOT(6)
    // 7: the registration object of a command class, with one reference for the caller.
    virtual HRESULT GetRegistrar(DWORD commandClass, DWORD kind, DWORD flags, IUnknown** out) = 0;

protected:
    ~ICommandService() = default;
};

// Menu items, separators and command categories (framework object 0x80000013). The item kind is 56 for a
// command category and 2 for a separator.
struct IMenuService : IUnknown {
    SDK_UNUSED_SLOT(3) SDK_UNUSED_SLOT(4) SDK_UNUSED_SLOT(5) SDK_UNUSED_SLOT(6)
    // 7: a category or a separator.
    virtual HRESULT CreateItem(DWORD reserved1, const char16_t* path, const char16_t* text, DWORD reserved4,
                               DWORD reserved5, DWORD reserved6, const char16_t* title, DWORD reserved8,
                               DWORD reserved9, DWORD kind, DWORD reserved11, DWORD reserved12, DWORD order,
                               ICAFCommand** out) = 0;
    // 8: a menu command whose texts are the string-table entry `stringId` of `module`.
    virtual HRESULT CreateCommand(DWORD firstValue, HINSTANCE module, UINT stringId, const char16_t* path,
                                  UINT imageId, const char16_t* categoryKey, const char16_t* furtherText,
                                  DWORD group, DWORD reserved9, DWORD reserved10, ICAFCommand** out) = 0;

protected:
    ~IMenuService() = default;
};
