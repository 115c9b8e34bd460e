#include "dialogs/tableoptionspage.h"

#include "dialogs/settingsdlg.h"
#include "document/paramcatalogue.h"
#include "document/settingids.h"
#include "resources/settingsdialogs.h"

#include <algorithm>

namespace CX::Dlg {

namespace SettingId = Doc::SettingId;

namespace {
constexpr int kSummaryId = 1035;
constexpr int kCalculationsId = 1036;
constexpr int kCheckAllId = 1063;
constexpr int kUncheckAllId = 1064;
constexpr int kBoundaryId = 1079;
constexpr int kTableOptionsTab = 3;
constexpr UINT kHoverDelayMs = 500;

// One font for the parameter check boxes of every table-options page, made on first use and freed when the
// module unloads.
class SharedFont {
public:
    HFONT Get()
    {
        if (!font_) {
            font_ = CreateFontW(13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, u"Tahoma");
        }
        return font_;
    }
    ~SharedFont()
    {
        if (font_) {
            DeleteObject(font_);
        }
    }

private:
    HFONT font_ = nullptr;
};
SharedFont g_font;

struct Registration {
    Registration()
    {
        RegisterPage(-1, kTableOptionsTab, [](SettingsDlg& owner, IUnknown* host) -> Base::CXSubDlg* {
            return new Sub_TableOptions(&owner, host);
        });
    }
};
const Registration g_registration;
} // namespace

CheckBoxGrid CheckBoxGrid::For(int count, int width, int height)
{
    CheckBoxGrid grid;
    if (count <= 0) {
        return grid;
    }
    const int rowsFit = std::max(1, (height + 8) / kRowPitch);
    grid.columns = std::max(3, (count + rowsFit - 1) / rowsFit);
    grid.rows = (count + grid.columns - 1) / grid.columns;
    grid.xOffset = (width - grid.columns * kColumnPitch + 20) / 2 + 10;
    grid.yOffset = (height - grid.rows * kRowPitch + 8) / 3;
    return grid;
}

Sub_TableOptions::Sub_TableOptions(SettingsDlg* owner, IUnknown* hostDocument)
    : Base::CXSubDlg(DialogId::TableOptionsPage, owner, hostDocument),
      summary_(std::make_unique<owl::TCheckBox>(this, kSummaryId)),
      calculations_(std::make_unique<owl::TGroupBox>(this, kCalculationsId)),
      boundary_(std::make_unique<owl::TGroupBox>(this, kBoundaryId)),
      analysisType_(owner->Settings().GetInt(SettingId::kAnalysisType))
{
    const ParamCatalogue* catalogue = owner->Settings().Catalogue();
    rowCount_ = catalogue ? catalogue->RowCount(analysisType_) : 0;
    for (int i = 0; i < rowCount_; ++i) {
        const std::u16string name = catalogue->ShortNameAt(analysisType_, i);
        auto box = std::make_unique<KVOControls::TBalloonCheckBox>(this, kFirstBoxId + i, name.c_str(), 0, 0);
        box->SetDelay(kHoverDelayMs);
        boxes_.push_back(std::move(box));
    }
}

Sub_TableOptions::~Sub_TableOptions() = default;

void Sub_TableOptions::SetupWindow()
{
    Base::CXSubDlg::SetupWindow();
    // The check boxes are made after the template's controls, so the frames go beneath them.
    for (HWND frame : {calculations_->GetHandle(), boundary_->GetHandle()}) {
        ::SetWindowPos(frame, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    LoadAndLayout();
}

void Sub_TableOptions::TransferToSettings()
{
    Doc::SettingsSet& settings = owner_->Settings();
    settings.SetBool(SettingId::kShowSummaryPane, summary_->GetCheck() == owl::BF_CHECKED);
    const ParamCatalogue* catalogue = settings.Catalogue();
    for (int i = 0; i < rowCount_; ++i) {
        settings.SetBool(catalogue->RowAt(analysisType_, i).Code, boxes_[i]->GetCheck() == owl::BF_CHECKED);
    }
}

void Sub_TableOptions::LoadAndLayout()
{
    const HFONT font = g_font.Get();
    const Doc::SettingsSet& settings = owner_->Settings();
    summary_->SetCheck(settings.GetBool(SettingId::kShowSummaryPane) ? owl::BF_CHECKED : owl::BF_UNCHECKED);

    RECT bounds{};
    ::GetWindowRect(boundary_->GetHandle(), &bounds);
    POINT origin{bounds.left, bounds.top};
    ::ScreenToClient(GetHandle(), &origin);
    const CheckBoxGrid grid =
        CheckBoxGrid::For(rowCount_, bounds.right - bounds.left, bounds.bottom - bounds.top);
    const ParamCatalogue* catalogue = settings.Catalogue();
    for (int i = 0; i < rowCount_; ++i) {
        const int column = i / grid.rows;
        const int row = i % grid.rows;
        KVOControls::TBalloonCheckBox& box = *boxes_[i];
        const ParamCatalogue::Row& entry = catalogue->RowAt(analysisType_, i);
        box.SetCheck(settings.GetBool(entry.Code) ? owl::BF_CHECKED : owl::BF_UNCHECKED);
        ::SetWindowPos(box.GetHandle(), nullptr, origin.x + column * CheckBoxGrid::kColumnPitch + grid.xOffset,
                     origin.y + row * CheckBoxGrid::kRowPitch + grid.yOffset, CheckBoxGrid::kCellWidth,
                     CheckBoxGrid::kCellHeight, SWP_NOZORDER | SWP_SHOWWINDOW);
        const int wrap = std::max(50, 3 * static_cast<int>(entry.LongName.size()) / 2);
        box.SetBalloonText(entry.LongName.c_str(), entry.Description.c_str(), wrap);
        SendMessageW(box.GetHandle(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
}

void Sub_TableOptions::CheckAll(bool check)
{
    for (const auto& box : boxes_) {
        box->SetCheck(check ? owl::BF_CHECKED : owl::BF_UNCHECKED);
    }
}

owl::TResult Sub_TableOptions::EvCommand(owl::uint id, HWND hWndCtl, owl::uint notifyCode)
{
    if (hWndCtl && notifyCode == BN_CLICKED && (id == kCheckAllId || id == kUncheckAllId)) {
        CheckAll(id == kCheckAllId);
        return 0;
    }
    return Base::CXSubDlg::EvCommand(id, hWndCtl, notifyCode);
}

} // namespace CX::Dlg
