// Interlocked operations and critical sections (recursive, like Win32's).
#pragma once

#include "platform/win/wintypes.h"

#include <atomic>
#include <mutex>

LONG InterlockedIncrement(volatile LONG* value);
LONG InterlockedDecrement(volatile LONG* value);
LONG InterlockedExchange(volatile LONG* target, LONG value);
LONG InterlockedCompareExchange(volatile LONG* target, LONG exchange, LONG comparand);
LONG InterlockedExchangeAdd(volatile LONG* target, LONG value);
void* InterlockedExchangePointer(void* volatile* target, void* value);
void* InterlockedCompareExchangePointer(void* volatile* target, void* exchange, void* comparand);

struct CRITICAL_SECTION {
    std::recursive_mutex* mutex = nullptr;
    DWORD spinCount = 0;
};

void InitializeCriticalSection(CRITICAL_SECTION* section);
BOOL InitializeCriticalSectionAndSpinCount(CRITICAL_SECTION* section, DWORD spinCount);
void DeleteCriticalSection(CRITICAL_SECTION* section);
void EnterCriticalSection(CRITICAL_SECTION* section);
BOOL TryEnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);

DWORD GetCurrentThreadId();
