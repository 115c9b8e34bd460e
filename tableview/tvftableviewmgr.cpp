#include "tableview/tvftableviewmgr.h"

#include "foundation/xkvo.h"

#include <new>

HRESULT TVF_TableViewMgr::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_ITableViewManager) {
        return E_NOINTERFACE;
    }
    *out = static_cast<IUnknown*>(this);
    AddRef();
    return S_OK;
}

void TVF_TableViewMgr::ResetColumns(int count)
{
    index_.clear();
    widths_.clear();
    for (int i = 0; i < count; ++i) {
        index_.push_back(i);
        widths_.push_back(defaultWidth_);
    }
}

HRESULT TVF_TableViewMgr::LoadState(DWORD, IBinInStream* in)
{
    if (!in) {
        return E_POINTER;
    }
    LONG version = 0;
    in->ReadLong(&version);
    if (version > kStateVersion) {
        XKVO::Throw(kNewerStateVersion);
    }
    index_.clear();
    widths_.clear();
    LONG count = 0;
    in->ReadLong(&count);
    LONG value = 0;
    // A failed stream stops the loops: the counts of a damaged stream must not drive allocation.
    for (LONG i = 0; i < count && in->ReadLong(&value) == S_OK; ++i) {
        index_.push_back(value);
    }
    if (version > 1) {
        for (LONG i = 0; i < count && in->ReadLong(&value) == S_OK; ++i) {
            widths_.push_back(value);
        }
    }
    LONG mark = 0;
    in->ReadLong(&mark);
    return mark == kStateEndMark ? S_OK : E_FAIL;
}

HRESULT TVF_TableViewMgr::SaveState(DWORD, IBinOutStream* out)
{
    if (!out) {
        return E_POINTER;
    }
    out->WriteLong(kStateVersion);
    out->WriteLong(static_cast<LONG>(index_.size()));
    for (const int entry : index_) {
        out->WriteLong(entry);
    }
    // One width per index entry, as the reader expects; widths never set read as the default.
    for (std::size_t i = 0; i < index_.size(); ++i) {
        out->WriteLong(i < widths_.size() ? widths_[i] : defaultWidth_);
    }
    out->WriteLong(kStateEndMark);
    return S_OK;
}

namespace TVF {

HRESULT CreateTableViewManager(TVF_TableViewMgr** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = new (std::nothrow) TVF_TableViewMgr;
    if (*out) {
        (*out)->AddRef();
    }
    return S_OK;
}

} // namespace TVF
