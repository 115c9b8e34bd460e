// The host's bitset objects: sets of channel numbers handed to an extension, bounded, filled with 0 beyond.
#pragma once

#include "host/comobject.h"
#include "sdk/ikvobitset.h"

#include <vector>

namespace host {

class HostBitset final : public IKVOBitset, private RefCounted {
public:
    // A set of these members, with one reference for the caller.
    static HostBitset* Create(const std::vector<LONG>& members)
    {
        auto* made = new HostBitset;
        for (const LONG member : members) {
            if (member < 0) {
                continue;
            }
            const auto word = static_cast<std::size_t>(member) / 32;
            if (made->words_.size() <= word) {
                made->words_.resize(word + 1, 0);
            }
            made->words_[word] |= DWORD{1} << (member % 32);
        }
        made->AddRef();
        return made;
    }

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        return AnswerFrom({{&IID_IKVOBitset, static_cast<IKVOBitset*>(this)}}, iid, out);
    }
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    int GetTypeMark() override { return 0; } // not the module's own representation
    HRESULT Destroy() override { return E_FAIL; }
    HRESULT GetWordCount(ULONG* count) override
    {
        if (!count) {
            return E_POINTER;
        }
        *count = static_cast<ULONG>(words_.size());
        return S_OK;
    }
    HRESULT GetWords(ULONG max, DWORD* words, DWORD* fill) override
    {
        if ((!words && max > 0) || !fill) {
            return E_POINTER;
        }
        const std::size_t copied = std::min<std::size_t>(max, words_.size());
        std::copy_n(words_.begin(), copied, words);
        *fill = 0;
        return copied < words_.size() ? S_FALSE : S_OK;
    }
    HRESULT Clone(IKVOBitset** out) override
    {
        if (!out) {
            return E_POINTER;
        }
        auto* copy = new HostBitset;
        copy->words_ = words_;
        copy->AddRef();
        *out = copy;
        return S_OK;
    }
    void DeleteThis() override { delete this; }

private:
    HostBitset() = default;
    std::vector<DWORD> words_;
};

} // namespace host
