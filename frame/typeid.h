// Type ids: the host's 16-bit number for a GUID, shifted left 16 bits and or'ed with a small index. The host gives
// each GUID one number; the module asks once per GUID and keeps the answer.
#pragma once

#include "sdk/hostobjects.h"

#include <atomic>

namespace CAF {
// Asks the host's type-id service for the GUID's number; 0 when the service is missing or refuses.
WORD RequestTypeId(const GUID& guid);
}

// The host's number for one GUID, asked on first use. A failed request is not kept: 0 is never a host number, so
// the next use asks again instead of leaving every type id of the GUID at 0 for the life of the process.
template <const GUID* Guid>
class TypeIdRegistration {
public:
    static WORD Get()
    {
        WORD id = id_.load(std::memory_order_acquire);
        if (id == 0) {
            id = CAF::RequestTypeId(*Guid);
            id_.store(id, std::memory_order_release);
        }
        return id;
    }

private:
    static inline std::atomic<WORD> id_{0};
};

template <const GUID* Guid, WORD N>
class TypeIdClass {
public:
    static DWORD Get()
    {
        DWORD value = value_.load(std::memory_order_acquire);
        if (value == 0) {
            const WORD id = TypeIdRegistration<Guid>::Get();
            if (id == 0) {
                return N;
            }
            value = (static_cast<DWORD>(id) << 16) | N;
            value_.store(value, std::memory_order_release);
        }
        return value;
    }

private:
    static inline std::atomic<DWORD> value_{0};
};

namespace CX {

// {FF2DAA18-C042-4ABA-AD72-B2CC14D6E731}: the family of the module's event draw types.
inline constexpr GUID CXEventDrawGUID{0xFF2DAA18, 0xC042, 0x4ABA, {0xAD, 0x72, 0xB2, 0xCC, 0x14, 0xD6, 0xE7, 0x31}};
// The channel calculation's class id (the host's calculation class).
inline constexpr GUID CXChanCalcGUID = CLSID_ChannelCalculation;

inline WORD RegisterEventDrawTypeId() { return TypeIdRegistration<&CXEventDrawGUID>::Get(); }
inline WORD RegisterChanCalcTypeId() { return TypeIdRegistration<&CXChanCalcGUID>::Get(); }

} // namespace CX
