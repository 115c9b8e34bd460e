// The process-wide class-object registry behind CoGetClassObject, and OLE initialisation (a counter here).
#pragma once

#include "platform/com/unknown.h"

inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
inline constexpr DWORD CLSCTX_ALL = 0x17; // 23
inline constexpr DWORD REGCLS_MULTIPLEUSE = 1;

HRESULT CoInitialize(void* reserved);
HRESULT OleInitialize(void* reserved);
void CoUninitialize();
void OleUninitialize();

// Looks the class up among the registered class objects and queries it for `iid`.
HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* serverInfo, REFIID iid, void** out);
// Registers a class object for the process (one reference is kept); the cookie revokes it.
HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* object, DWORD context, DWORD flags, DWORD* cookie);
HRESULT CoRevokeClassObject(DWORD cookie);

namespace platform {
// True while at least one CoInitialize/OleInitialize call is not yet balanced.
bool IsComInitialized();
// How many times OLE initialisation has been asked for since start (for tests of retry logic).
int ComInitializeCount();
// Drops every registration and resets the counters (test fixtures).
void ResetClassObjects();
}
