#include "engine/sharedcache.h"

#include "foundation/xkvo.h"
#include "sdk/chartchannels.h"
#include "sdk/chartdata.h"

#include <algorithm>

namespace EEH {

namespace {

// {5B8E2D41-96C3-4F0A-8E77-1D2C3B4A5F60}: answered only by this module's coordinators, with the object itself.
constexpr IID kOwnCoordinator{0x5B8E2D41, 0x96C3, 0x4F0A, {0x8E, 0x77, 0x1D, 0x2C, 0x3B, 0x4A, 0x5F, 0x60}};

// Kinds of the data-change notice (low byte of the kind word).
constexpr DWORD kKindSamplesChanged = 2;
constexpr DWORD kKindChannelChanged = 4;
constexpr DWORD kKindDerivedBit = 1u << 29;

bool TickBefore(const RecordResults::Record& record, LONG tick) { return record.tick < tick; }
bool TickAfter(LONG tick, const RecordResults::Record& record) { return tick < record.tick; }

} // namespace

// ---- RecordResults ----

void RecordResults::Store(const Record& record)
{
    if (record.tick < 0) {
        return;
    }
    const auto chunk = static_cast<std::size_t>(record.tick >> kChunkShift);
    if (chunks_.size() <= chunk) {
        chunks_.resize(chunk + 1);
    }
    auto& records = chunks_[chunk].records;
    records.insert(std::upper_bound(records.begin(), records.end(), record.tick, TickAfter), record);
}

const RecordResults::Record* RecordResults::FindForward(LONG t) const
{
    const std::size_t first = t < 0 ? 0 : static_cast<std::size_t>(t >> kChunkShift);
    for (std::size_t c = first; c < chunks_.size(); ++c) {
        const auto& records = chunks_[c].records;
        const auto found = std::lower_bound(records.begin(), records.end(), t, TickBefore);
        if (found != records.end()) {
            return &*found;
        }
    }
    return nullptr;
}

const RecordResults::Record* RecordResults::FindBackward(LONG t) const
{
    if (t < 0 || chunks_.empty()) {
        return nullptr;
    }
    for (auto c = static_cast<std::ptrdiff_t>(std::min<std::size_t>(static_cast<std::size_t>(t >> kChunkShift),
                                                                      chunks_.size() - 1));
         c >= 0; --c) {
        const auto& records = chunks_[static_cast<std::size_t>(c)].records;
        const auto after = std::upper_bound(records.begin(), records.end(), t, TickAfter);
        if (after != records.begin()) {
            const Record& found = *(after - 1);
            return found.tick >= 0 ? &found : nullptr;
        }
    }
    return nullptr;
}

void RecordResults::Clear()
{
    chunks_.clear();
    states_.clear();
}

// ---- CacheListItem ----

RecordResults& CacheListItem::Results(LONG r)
{
    const auto index = static_cast<std::size_t>(std::max<LONG>(r, 0));
    while (records_.size() <= index) {
        records_.push_back(std::make_unique<RecordResults>(static_cast<LONG>(records_.size())));
    }
    return *records_[index];
}

const RecordResults* CacheListItem::Find(LONG r) const
{
    return r >= 0 && static_cast<std::size_t>(r) < records_.size() ? records_[static_cast<std::size_t>(r)].get()
                                                                     : nullptr;
}

void CacheListItem::Drop(LONG first, LONG end)
{
    const LONG stop = std::min(RecordCount(), end);
    for (LONG r = std::max<LONG>(first, 0); r < stop; ++r) {
        records_[static_cast<std::size_t>(r)]->Clear();
    }
}

void CacheListItem::RecordsChanged(LONG first, LONG second)
{
    const LONG count = RecordCount();
    if (first == second || first < 0 || second < 0 || (first >= count && second >= count)) {
        return;
    }
    if (first < second) {
        std::vector<std::unique_ptr<RecordResults>> inserted;
        inserted.reserve(static_cast<std::size_t>(second - first));
        for (LONG i = first; i < second; ++i) {
            inserted.push_back(std::make_unique<RecordResults>(i));
        }
        records_.insert(records_.begin() + first, std::make_move_iterator(inserted.begin()),
                        std::make_move_iterator(inserted.end()));
    } else {
        records_.erase(records_.begin() + second, records_.begin() + std::min(count, first));
    }
    Renumber();
}

void CacheListItem::Renumber()
{
    for (std::size_t i = 0; i < records_.size(); ++i) {
        records_[i]->SetIndex(static_cast<LONG>(i));
    }
}

// ---- SharedCacheCoordinatorBase ----

HRESULT SharedCacheCoordinatorBase::QueryInterface(REFIID iid, void** out)
{
    if (out && iid == kOwnCoordinator) {
        *out = this;
        AddRef();
        return S_OK;
    }
    return SimpleUnknownImp1<IChartDataChildData>::QueryInterface(iid, out);
}

platform::ComPtr<SharedCacheCoordinatorBase> SharedCacheCoordinatorBase::FindOrCreateBase(
    IUnknown* host, DWORD typeId, SharedCacheCoordinatorBase* (*create)(IUnknown* host))
{
    if (!host) {
        return {};
    }
    platform::ComPtr<IChartDocument> document;
    if (FAILED(host->QueryInterface(IID_IChartDocument, document.OutVoid())) || !document) {
        return {};
    }
    platform::ComPtr<IChildDataHolder> holder;
    if (FAILED(document->GetChildDataHolder(holder.Out())) || !holder) {
        return {};
    }
    platform::ComPtr<IChartDataChildData> found;
    if (SUCCEEDED(holder->Find(0, typeId, found.Out())) && found) {
        platform::ComPtr<SharedCacheCoordinatorBase> own;
        if (FAILED(found->QueryInterface(kOwnCoordinator, own.OutVoid()))) {
            return {};
        }
        return own;
    }
    platform::ComPtr<SharedCacheCoordinatorBase> created(create(host));
    platform::ComPtr<IChartDataChildData> child;
    if (SUCCEEDED(created->QueryInterface(IID_IChartDataChildData, child.OutVoid()))) {
        holder->Store(0, child.Get());
    }
    return created;
}

HRESULT SharedCacheCoordinatorBase::Clone(IUnknown*, IChartDataChildData** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    return KVO::GuardSlot([&] {
        SharedCacheCoordinatorBase* copy = NewEmpty(host_);
        copy->AddRef();
        *out = copy;
        return S_OK;
    });
}

HRESULT SharedCacheCoordinatorBase::Invalidated(DWORD, LONG firstRecord, LONG endRecord)
{
    return KVO::GuardSlot([&] {
        const LONG end = endRecord < 0 ? kEndOfBlockTick : endRecord; // a negative end: every record from first
        if (firstRecord < end) {
            for (const auto& entry : entries_) {
                entry->Drop(firstRecord, end);
            }
        }
        return S_OK;
    });
}

HRESULT SharedCacheCoordinatorBase::RecordsChanged(LONG first, LONG second)
{
    return KVO::GuardSlot([&] {
        for (const auto& entry : entries_) {
            entry->RecordsChanged(first, second);
        }
        return S_OK;
    });
}

bool SharedCacheCoordinatorBase::HostHasChannel(LONG channel) const
{
    platform::ComPtr<IChartChannels> channels;
    if (!host_ || FAILED(host_->QueryInterface(IID_IChartChannels, channels.OutVoid())) || !channels) {
        return false;
    }
    platform::ComPtr<IUnknown> object;
    return SUCCEEDED(channels->GetChannel(kChannelLookupShown, channel, object.Out())) && object;
}

HRESULT SharedCacheCoordinatorBase::DataChanged(DWORD, LONG channel, DWORD kind, DWORD, LONG firstRecord,
                                                LONG endRecord)
{
    return KVO::GuardSlot([&] {
        if (firstRecord >= endRecord || entries_.empty()) {
            return S_OK;
        }
        const DWORD change = kind & 0xFF;
        if (change == kKindSamplesChanged || (change == kKindChannelChanged && (kind & kKindDerivedBit) == 0)) {
            // The samples of a channel changed: results that read its samples directly are stale.
            for (const auto& entry : entries_) {
                const auto& sources = entry->Sources();
                if (std::any_of(sources.begin(), sources.end(),
                                [&](const SourceChannel& s) { return s.channel == channel && s.flag == 0; })) {
                    entry->Drop(firstRecord, endRecord);
                }
            }
            return S_OK;
        }
        const bool exists = HostHasChannel(channel);
        for (const auto& entry : entries_) {
            const auto& sources = entry->Sources();
            if (std::any_of(sources.begin(), sources.end(), [&](const SourceChannel& s) {
                    return s.channel == channel && (s.flag != 0 || !exists);
                })) {
                entry->Drop(firstRecord, endRecord);
            }
        }
        return S_OK;
    });
}

boost::shared_ptr<CacheListItem> SharedCacheCoordinatorBase::CurrentEntry()
{
    if (entries_.empty()) {
        return {};
    }
    entries_.erase(entries_.begin(), entries_.end() - 1);
    return entries_.back();
}

boost::shared_ptr<CacheListItem> SharedCacheCoordinatorBase::AddEntry(std::vector<SourceChannel> sources)
{
    entries_.push_back(boost::shared_ptr<CacheListItem>(new CacheListItem(std::move(sources))));
    return entries_.back();
}

} // namespace EEH
