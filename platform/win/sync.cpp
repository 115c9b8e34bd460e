#include "platform/win/sync.h"

#include <functional>
#include <thread>

namespace {
std::atomic_ref<LONG> Ref(volatile LONG* value) { return std::atomic_ref<LONG>(*const_cast<LONG*>(value)); }
std::atomic_ref<void*> RefPtr(void* volatile* value) { return std::atomic_ref<void*>(*const_cast<void**>(value)); }
}

LONG InterlockedIncrement(volatile LONG* value) { return Ref(value).fetch_add(1) + 1; }
LONG InterlockedDecrement(volatile LONG* value) { return Ref(value).fetch_sub(1) - 1; }
LONG InterlockedExchange(volatile LONG* target, LONG value) { return Ref(target).exchange(value); }
LONG InterlockedExchangeAdd(volatile LONG* target, LONG value) { return Ref(target).fetch_add(value); }

LONG InterlockedCompareExchange(volatile LONG* target, LONG exchange, LONG comparand)
{
    Ref(target).compare_exchange_strong(comparand, exchange);
    return comparand;
}

void* InterlockedExchangePointer(void* volatile* target, void* value) { return RefPtr(target).exchange(value); }

void* InterlockedCompareExchangePointer(void* volatile* target, void* exchange, void* comparand)
{
    RefPtr(target).compare_exchange_strong(comparand, exchange);
    return comparand;
}

void InitializeCriticalSection(CRITICAL_SECTION* section) { InitializeCriticalSectionAndSpinCount(section, 0); }

BOOL InitializeCriticalSectionAndSpinCount(CRITICAL_SECTION* section, DWORD spinCount)
{
    section->mutex = new std::recursive_mutex;
    section->spinCount = spinCount;
    return TRUE;
}

void DeleteCriticalSection(CRITICAL_SECTION* section)
{
    delete section->mutex;
    section->mutex = nullptr;
}

void EnterCriticalSection(CRITICAL_SECTION* section) { section->mutex->lock(); }
BOOL TryEnterCriticalSection(CRITICAL_SECTION* section) { return section->mutex->try_lock() ? TRUE : FALSE; }
void LeaveCriticalSection(CRITICAL_SECTION* section) { section->mutex->unlock(); }

DWORD GetCurrentThreadId()
{
    return static_cast<DWORD>(std::hash<std::thread::id>{}(std::this_thread::get_id()));
}
