#include "document/persistsettings.h"

#include "document/paramcatalogue.h"
#include "document/settingids.h"
#include "foundation/binstream.h"
#include "foundation/xkvo.h"
#include "tableview/tableviewdata.h"
#include "tableview/tvftableviewmgr.h"

namespace CX::Doc {

namespace {

// A failed stream reads as 0.
LONG ReadWord(KVO::BinIStream& in)
{
    LONG value = 0;
    in.ReadLong(&value);
    return value;
}

} // namespace

PersistSettings::PersistSettings(IUnknown* hostDocument, PersistTables& tables)
    : hostDocument_(hostDocument), tables_(tables), childData_(ChartDataChildData::FindOrCreate(hostDocument))
{
}

const ParamCatalogue& PersistSettings::Catalogue()
{
    static const ParamCatalogue catalogue;
    return catalogue;
}

HRESULT PersistSettings::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IPersistStreamInit) {
        return E_NOINTERFACE;
    }
    *out = static_cast<IPersistStreamInit*>(this);
    return S_OK;
}

HRESULT PersistSettings::GetClassID(CLSID* classId)
{
    if (!classId) {
        return E_POINTER;
    }
    *classId = CLSID_CXPersistSettings;
    return S_OK;
}

SettingsSet& PersistSettings::Settings()
{
    if (!childData_) {
        if (!ownSettings_) {
            ownSettings_ = std::make_unique<SettingsSet>(&Catalogue());
        }
        return *ownSettings_;
    }
    if (!childData_->Settings()) {
        childData_->SetSettings(std::make_unique<SettingsSet>(&Catalogue()));
    }
    return *childData_->Settings();
}

void PersistSettings::Open()
{
    SettingsSet& settings = Settings();
    settings.BindDetectionSettings(hostDocument_);
    settings.AddChannel(settings.GetLong(SettingId::kSourceChannel), -1, hostDocument_);
}

HRESULT PersistSettings::InitNew()
{
    return KVO::GuardSlot([&]() -> HRESULT {
        if (!attached && !loaded) {
            return S_FALSE;
        }
        const SettingsSet fresh(&Catalogue());
        Settings().Assign(fresh);
        return S_OK;
    });
}

void PersistSettings::WriteState(KVO::BinOStream& out)
{
    out.WriteLong(kVersion);
    placement1.Write(out);
    placement2.Write(out);
    Settings().Write(out);
    out.WriteLong(kCheckWord);
    TVF_TableViewMgr* manager = tables_.TableManager();
    TableViewData* data = tables_.TableData();
    if (manager) {
        manager->SaveState(0, &out);
    }
    if (data) {
        data->SaveColumnFormats(out);
    }
    out.WriteLong(kCheckWord);
}

HRESULT PersistSettings::Save(IStream* stream, BOOL clearDirty)
{
    return KVO::GuardSlot([&]() -> HRESULT {
        if (!stream) {
            return E_POINTER;
        }
        bool written = false;
        {
            StorageBinOStreamLite out(stream);
            WriteState(out);
            written = out.Flush() == S_OK && out.Good();
        }
        if (!written) {
            return STG_E_WRITEFAULT;
        }
        if (clearDirty) {
            dirty = false;
        }
        return S_OK;
    });
}

bool PersistSettings::ReadState(KVO::BinIStream& in)
{
    const LONG version = in.Good() ? ReadWord(in) : 0;
    placement1.Read(in);
    placement2.Read(in);
    Settings().Read(in);
    const LONG first = ReadWord(in);
    bool tables = true;
    LONG second = kCheckWord;
    if (version >= 1) {
        TVF_TableViewMgr* manager = tables_.TableManager();
        TableViewData* data = tables_.TableData();
        const bool state = manager && manager->LoadState(0, &in) == S_OK;
        const bool formats = data && data->LoadColumnFormats(in);
        tables = state && formats;
        second = ReadWord(in);
    }
    return first == kCheckWord && second == kCheckWord && tables && !placement1.IsBadRead() &&
           !placement2.IsBadRead();
}

HRESULT PersistSettings::Load(IStream* stream)
{
    if (!stream) {
        return E_POINTER;
    }
    // A reader that throws (a damaged string, a newer table state) ends the load as a failure; what was read stays.
    try {
        StorageBinIStreamLite in(stream);
        if (!ReadState(in)) {
            return E_FAIL;
        }
    } catch (...) {
        return E_FAIL;
    }
    loaded = true;
    dirty = false;
    return S_OK;
}

} // namespace CX::Doc
