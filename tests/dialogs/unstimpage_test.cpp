// The detector page of the unstimulated types: presets of the other extension's detection, and the minimum peak
// height sub-page with its slider, up-down and validity marks.
#include "dialogs_fixture.h"

#include "dialogs/detectorunstim.h"
#include "document/cxsetting.h"
#include "host/lmcustomize.h"
#include "host/loopmetry.h"
#include "platform/gdi/image.h"
#include "platform/ui/render.h"
#include "platform/com/oleauto.h"

#include <cmath>

namespace {
using namespace DialogsTest;
using namespace CX;
using CX::Dlg::SettingsDlg;
using CX::Dlg::SubSub_MPH;
using CX::Dlg::Sub_DetectorUnStim;
namespace SettingId = CX::Doc::SettingId;

constexpr int kEdit = 1007;
constexpr int kCombo = 1039;
constexpr int kDelete = 1123;
constexpr int kSave = 1125;

// A host document that hands out the other extension for whatever type id the module asks with (the tests of this
// program may meet the module's services before any host runs, so the id is not the point here).
class ExtensionDocument final : public IDocumentSite {
public:
    explicit ExtensionDocument(ILMDocExtension* extension) : extension_(extension) {}
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        *out = iid == IID_IUnknown || iid == IID_IDocumentSite ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT GetExtension(DWORD, DWORD, IUnknown** out) override
    {
        return extension_->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(out));
    }

private:
    ILMDocExtension* extension_;
};

// A site whose host document carries the other extension, with a preset store of its own for each test.
class ExtensionSite : public TestSite {
public:
    ExtensionSite()
        : store(std::make_shared<host::LMPresetStore>()), extension(new host::LMDocExtension(nullptr, store)),
          document(extension.Get())
    {
    }
    IUnknown* HostDocument() override { return &document; }
    bool UnitNamesDiffer(int) override { return differ; }

    std::shared_ptr<host::LMPresetStore> store;
    platform::ComPtr<ILMDocExtension> extension;
    ExtensionDocument document;
    bool differ = false;
};

// The label's text stands on one line within the label.
void ExpectLabelFits(HWND label)
{
    const std::u16string text = Text(label);
    HDC dc = GetDC(label);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    RECT client{};
    GetClientRect(label, &client);
    EXPECT_LE(extent.cx, client.right - client.left) << "clipped: " << std::string(text.begin(), text.end());
}

double ParameterOf(ILMDetectionSettings* detection, LONG index)
{
    double value = 0.0;
    detection->GetParameter(index, &value);
    return value;
}

std::vector<std::u16string> Rows(HWND combo)
{
    std::vector<std::u16string> rows;
    const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char16_t buffer[256]{};
        SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer));
        rows.emplace_back(buffer);
    }
    return rows;
}

class UnStimPageTest : public DialogFixture {
protected:
    void SetUp() override
    {
        DialogFixture::SetUp();
        extensionSite.units[0] = Dlg::SourceUnitRecord{u"V", u'm'};
        document.SetLong(SettingId::kSourceChannel, 0);
        auto* setting = dynamic_cast<Doc::CXSetting_LMDetSet*>(document.Find(SettingId::kDetectionSettings));
        ASSERT_NE(nullptr, setting);
        setting->Bind(extensionSite.HostDocument());
        ASSERT_NE(nullptr, Detection());
        Detection()->SetParameter(0, 0.0);
    }
    ILMDetectionSettings* Detection() { return document.DetectionSettingsObject(); }
    void Detect(const char16_t* text) { ASSERT_EQ(S_OK, Detection()->SetText(text)); }

    // Runs the dialog of `type` on the detector tab over the extension's host document.
    void RunOn(int type, const std::function<void(SettingsDlg&, Sub_DetectorUnStim&, SubSub_MPH&)>& drive)
    {
        Store(SettingId::kAnalysisType, type);
        Store(SettingId::kFirstSettingsTab, 0);
        ui::SetModalHook([&](HWND dialog) {
            if (Text(dialog) == u"Crestmetrics") {
                ++warnings;
                ui::Click(GetDlgItem(dialog, IDCANCEL));
                return;
            }
            auto* settingsDialog = dynamic_cast<SettingsDlg*>(owl::TWindow::GetWindowPtr(dialog));
            if (!settingsDialog && otherDialog) {
                otherDialog(dialog);
                return;
            }
            ASSERT_NE(nullptr, settingsDialog);
            auto* page = dynamic_cast<Sub_DetectorUnStim*>(settingsDialog->Page());
            ASSERT_NE(nullptr, page) << type;
            ASSERT_NE(nullptr, page->SubPage());
            drive(*settingsDialog, *page, *page->SubPage());
        });
        CX::Dlg::RunSettingsDialog(document, nullptr, extensionSite, 0);
    }
    static void Select(Sub_DetectorUnStim& page, int rawRow) { Choose(page.GetHandle(), kCombo, rawRow); }
    static double Edited(SubSub_MPH& sub) { return CX::tUnitsEdit::LeadingNumber(Text(GetDlgItem(sub.GetHandle(), kEdit))); }

    ExtensionSite extensionSite;
    // Drives a modal dialog that the page opens (the customise dialog).
    std::function<void(HWND)> otherDialog;
};

TEST_F(UnStimPageTest, StandardDeviationModeSliderTableMarksAndUpDownLimits)
{
    Detect(u"sd=1;height=5");
    RunOn(0, [&](SettingsDlg& dialog, Sub_DetectorUnStim&, SubSub_MPH& sub) {
        HWND hwnd = sub.GetHandle();
        EXPECT_TRUE(sub.InSDMode());
        EXPECT_EQ(u"5", Text(GetDlgItem(hwnd, kEdit)));
        EXPECT_EQ(u"S.D.", Text(GetDlgItem(hwnd, 1100)));
        EXPECT_EQ(u"Height in S.D.:", Text(GetDlgItem(hwnd, 1032)));
        ExpectLabelFits(GetDlgItem(hwnd, 1032));
        EXPECT_TRUE(IsWindowVisible(sub.Slider()->GetHandle()));
        EXPECT_DOUBLE_EQ(0.05, sub.SliderValue(0));
        EXPECT_NEAR(9.0, sub.SliderValue(179), 1e-12);
        EXPECT_EQ(10, SendMessageW(sub.Slider()->GetHandle(), TBM_GETNUMTICS, 0, 0)); // every 20 of 0..179
        EXPECT_EQ(99, sub.Slider()->GetPosition()); // 5.00

        struct Case {
            std::u16string_view text;
            bool valid;
        } cases[] = {
            {u"0.05", true}, {u"9", true},   {u"9.01", false}, {u"0.04", false}, {u"1E3", false},
            {u"1e0", true},  {u"-", false},  {u"1,5", true},   {u"x", false},    {u"", false},
        };
        for (const Case& c : cases) {
            EXPECT_EQ(c.valid, sub.IsValid(c.text)) << std::string(c.text.begin(), c.text.end());
        }
        Enter(hwnd, kEdit, u"9.01");
        EXPECT_EQ(u"Invalid Minimum Peak Height", std::u16string(sub.UnitLabel()->Mark()->GetTitle().c_str()));
        EXPECT_EQ(u"This setting must be in the range 0.05 to 9 standard deviations.",
                  std::u16string(sub.UnitLabel()->Mark()->GetMessage().c_str()));
        EXPECT_FALSE(sub.ValidateSettings());

        // The slider follows typed values to the nearest entry, wherever its thumb was.
        struct Near {
            std::u16string_view text;
            int position;
        } near[] = {{u"0.21", 3}, {u"0.45", 8}, {u"0.225", 4}, {u"100", 179}, {u"0.01", 0}};
        for (const Near& n : near) {
            Enter(hwnd, kEdit, n.text);
            EXPECT_EQ(n.position, sub.Slider()->GetPosition()) << std::string(n.text.begin(), n.text.end());
        }
        sub.Slider()->SetPosition(10);
        Enter(hwnd, kEdit, u"0.45");
        EXPECT_EQ(8, sub.Slider()->GetPosition());

        // The up-down divides by 1.1 for a positive step and multiplies for a negative one, held to 0.05 .. 9.
        const auto spin = [&](int delta) {
            NMUPDOWN notice{{GetDlgItem(hwnd, 1071), 1071, UDN_DELTAPOS}, 0, delta};
            EXPECT_EQ(0, SendMessageW(hwnd, WM_NOTIFY, 1071, reinterpret_cast<LPARAM>(&notice)));
        };
        Enter(hwnd, kEdit, u"0.05");
        spin(1);
        EXPECT_DOUBLE_EQ(0.05, Edited(sub));
        Enter(hwnd, kEdit, u"9");
        spin(-1);
        EXPECT_DOUBLE_EQ(9.0, Edited(sub));
        Enter(hwnd, kEdit, u"2");
        spin(-1);
        EXPECT_DOUBLE_EQ(2.2, Edited(sub));
        spin(1);
        EXPECT_DOUBLE_EQ(2.0, Edited(sub));
        Cancel(dialog);
    });
}

TEST_F(UnStimPageTest, DraggingTheThumbPreviewsTheNumberAndTheReleaseRefreshes)
{
    Detect(u"sd=1;height=1");
    RunOn(2, [&](SettingsDlg& dialog, Sub_DetectorUnStim& page, SubSub_MPH& sub) {
        HWND slider = sub.Slider()->GetHandle();
        const int before = page.UpdateRequests();
        RECT r{};
        GetClientRect(slider, &r);
        const int thumbX = static_cast<int>(8 + std::lround(19.0 * (r.right - 16) / 179.0)); // position 19: 1.00
        ui::MouseDown(slider, POINT{thumbX, 10});
        ui::MouseMove(slider, POINT{r.right - 8, 10});
        EXPECT_DOUBLE_EQ(9.0, Edited(sub));
        EXPECT_EQ(before, page.UpdateRequests()); // dragging only previews
        ui::MouseUp(slider, POINT{r.right - 8, 10});
        EXPECT_EQ(before + 1, page.UpdateRequests());
        EXPECT_DOUBLE_EQ(9.0, ParameterOf(dialog.Settings().DetectionSettingsObject(), 3));

        // Typing reaches the settings a second after the last key.
        Enter(sub.GetHandle(), kEdit, u"2.5");
        EXPECT_TRUE(ui::HasTimer(sub.GetHandle(), SubSub_MPH::kTimerId));
        EXPECT_EQ(before + 1, page.UpdateRequests());
        ui::advance(1000);
        ui::pump();
        EXPECT_EQ(before + 2, page.UpdateRequests());
        EXPECT_DOUBLE_EQ(2.5, ParameterOf(dialog.Settings().DetectionSettingsObject(), 3));
        EXPECT_FALSE(ui::HasTimer(sub.GetHandle(), SubSub_MPH::kTimerId));
        Cancel(dialog);
    });
    // Cancel leaves the document's detection as it was.
    EXPECT_DOUBLE_EQ(1.0, ParameterOf(Detection(), 3));
}

TEST_F(UnStimPageTest, UnitModeShowsTheHeightInTheChannelsPrefixedUnit)
{
    Detect(u"sd=0;height=0.002;zero=0");
    RunOn(0, [&](SettingsDlg& dialog, Sub_DetectorUnStim& page, SubSub_MPH& sub) {
        HWND hwnd = sub.GetHandle();
        EXPECT_FALSE(sub.InSDMode());
        EXPECT_TRUE(sub.PositiveRequired());
        EXPECT_EQ(u"mV", page.DetectionUnit().Text());
        EXPECT_EQ(u"2", Text(GetDlgItem(hwnd, kEdit)));
        EXPECT_EQ(u"mV", Text(GetDlgItem(hwnd, 1100)));
        EXPECT_FALSE(IsWindowVisible(sub.Slider()->GetHandle()));
        EXPECT_EQ(u"Minimum height:", Text(GetDlgItem(hwnd, 1032)));
        ExpectLabelFits(GetDlgItem(hwnd, 1032));

        Enter(hwnd, kEdit, u"0");
        EXPECT_EQ(u"This setting must be greater than 0 mV",
                  std::u16string(sub.UnitLabel()->Mark()->GetMessage().c_str()));
        Enter(hwnd, kEdit, u"250");
        sub.TransferToSettings();
        EXPECT_DOUBLE_EQ(0.25, ParameterOf(dialog.Settings().DetectionSettingsObject(), 3));
        Ok(dialog);
    });
    EXPECT_DOUBLE_EQ(0.25, ParameterOf(Detection(), 3));
}

// The edit shows five significant digits; a height the user did not change is stored as it was loaded, however the
// page passes it on. Each path returns the height it passed on, or nothing when the dialog's result tells.
TEST_F(UnStimPageTest, AnUnchangedHeightIsStoredWithAllItsDigits)
{
    using Drive = std::function<std::optional<double>(SettingsDlg&, Sub_DetectorUnStim&, SubSub_MPH&)>;
    const auto height = [](SettingsDlg& dialog) { return ParameterOf(dialog.Settings().DetectionSettingsObject(), 3); };
    struct Path {
        const char* name;
        const char16_t* detection;
        const char16_t* shown;
        double stored;
        Drive drive;
    } paths[] = {
        {"the edit loses the focus", u"sd=1;height=4.123456789;tag=0", u"4.1235", 4.123456789,
         [&](SettingsDlg& dialog, Sub_DetectorUnStim&, SubSub_MPH& sub) {
             HWND edit = GetDlgItem(sub.GetHandle(), kEdit);
             SendMessageW(sub.GetHandle(), WM_COMMAND, MAKEWPARAM(kEdit, EN_KILLFOCUS), reinterpret_cast<LPARAM>(edit));
             return std::optional(height(dialog));
         }},
        {"choosing a preset", u"sd=1;height=5;tag=0", u"4.1235", 4.123456789,
         [&](SettingsDlg& dialog, Sub_DetectorUnStim& page, SubSub_MPH&) {
             Select(page, static_cast<int>(Rows(GetDlgItem(page.GetHandle(), kCombo)).size()) - 1);
             EXPECT_EQ(u"User preset 1", page.Presets()->SelectedText());
             return std::optional(height(dialog));
         }},
        {"saving a preset", u"sd=1;height=4.123456789;tag=0", u"4.1235", 4.123456789,
         [&](SettingsDlg&, Sub_DetectorUnStim& page, SubSub_MPH&) {
             ui::Click(GetDlgItem(page.GetHandle(), kSave));
             return std::optional(extensionSite.store->Presets().back().detection.detect.height);
         }},
        {"returning from the customise dialog", u"sd=1;height=4;tag=0", u"2.7183", 2.718281828,
         [&](SettingsDlg& dialog, Sub_DetectorUnStim& page, SubSub_MPH&) {
             ui::Click(GetDlgItem(page.GetHandle(), 1040));
             return std::optional(height(dialog));
         }},
        {"OK", u"sd=1;height=4.123456789;tag=0", u"4.1235", 4.123456789,
         [](SettingsDlg& dialog, Sub_DetectorUnStim&, SubSub_MPH&) {
             Ok(dialog);
             return std::optional<double>();
         }},
        {"OK in millivolts", u"sd=0;height=0.00123456789;zero=0", u"1.2346", 0.00123456789,
         [](SettingsDlg& dialog, Sub_DetectorUnStim&, SubSub_MPH&) {
             Ok(dialog);
             return std::optional<double>();
         }},
    };
    extensionSite.store->AddUserPreset(*host::ParseLMText(u"sd=1;height=4.123456789"));
    otherDialog = [](HWND customize) {
        Enter(customize, host::CustomizeId::kHeight, u"2.718281828");
        ui::Click(GetDlgItem(customize, IDOK));
    };
    for (const Path& path : paths) {
        SCOPED_TRACE(path.name);
        Detect(path.detection);
        std::optional<double> passedOn;
        RunOn(0, [&](SettingsDlg& dialog, Sub_DetectorUnStim& page, SubSub_MPH& sub) {
            passedOn = path.drive(dialog, page, sub);
            EXPECT_EQ(path.shown, Text(GetDlgItem(sub.GetHandle(), kEdit)));
            if (passedOn) {
                Cancel(dialog);
            }
        });
        EXPECT_DOUBLE_EQ(path.stored, passedOn.value_or(ParameterOf(Detection(), 3)));
    }

    // A typed value is read.
    Detect(u"sd=1;height=4.123456789");
    RunOn(0, [&](SettingsDlg& dialog, Sub_DetectorUnStim&, SubSub_MPH& sub) {
        Enter(sub.GetHandle(), kEdit, u"3.25");
        Ok(dialog);
    });
    EXPECT_DOUBLE_EQ(3.25, ParameterOf(Detection(), 3));
}

TEST_F(UnStimPageTest, UnitModeWithoutThePositiveRuleTakesAnyNumberAndMixedUnitsShowUnits)
{
    Detect(u"sd=0;height=0.002;zero=1");
    extensionSite.differ = true;
    RunOn(0, [&](SettingsDlg& dialog, Sub_DetectorUnStim& page, SubSub_MPH& sub) {
        EXPECT_FALSE(sub.PositiveRequired());
        EXPECT_EQ(u"mUnits", page.DetectionUnit().Text());
        EXPECT_TRUE(sub.IsValid(u"-3"));
        EXPECT_FALSE(sub.IsValid(u"1e999")); // beyond a double, not 0
        EXPECT_FALSE(sub.IsValid(u"-1e999"));
        Enter(sub.GetHandle(), kEdit, u"1E3");
        EXPECT_EQ(u"Invalid Value", std::u16string(sub.UnitLabel()->Mark()->GetTitle().c_str()));
        EXPECT_EQ(u"This setting must be a floating point number.",
                  std::u16string(sub.UnitLabel()->Mark()->GetMessage().c_str()));
        Cancel(dialog);
    });
}

// A lone sign, point or exponent is no number in either mode: OK is refused and the height is kept; a lone digit is
// a number.
TEST_F(UnStimPageTest, AOneCharacterHeightMustBeADigit)
{
    const std::u16string_view refused[] = {u"-", u"+", u".", u",", u"e"};
    const struct {
        const char16_t* detection;
        double seven; // "7" as stored
    } modes[] = {{u"sd=0;height=0.002;zero=1", 0.007}, {u"sd=1;height=2", 7.0}};
    for (const auto& mode : modes) {
        SCOPED_TRACE(testing::PrintToString(std::u16string(mode.detection)));
        Detect(mode.detection);
        warnings = 0;
        const double kept = ParameterOf(Detection(), 3);
        RunOn(0, [&](SettingsDlg& dialog, Sub_DetectorUnStim&, SubSub_MPH& sub) {
            for (const std::u16string_view text : refused) {
                Enter(sub.GetHandle(), kEdit, text);
                Ok(dialog);
            }
            Cancel(dialog);
        });
        EXPECT_EQ(static_cast<int>(std::size(refused)), warnings);
        EXPECT_DOUBLE_EQ(kept, ParameterOf(Detection(), 3));
        RunOn(0, [&](SettingsDlg& dialog, Sub_DetectorUnStim&, SubSub_MPH& sub) {
            Enter(sub.GetHandle(), kEdit, u"7");
            Ok(dialog);
        });
        EXPECT_DOUBLE_EQ(mode.seven, ParameterOf(Detection(), 3));
    }
}

TEST_F(UnStimPageTest, CustomSettingsComeFirstAndReturnAfterAPresetWasChosen)
{
    Detect(u"sd=1;height=4.25;interval=0.003");
    RunOn(0, [&](SettingsDlg& dialog, Sub_DetectorUnStim& page, SubSub_MPH& sub) {
        HWND combo = GetDlgItem(page.GetHandle(), kCombo);
        const std::vector<std::u16string> rows = Rows(combo);
        ASSERT_EQ(6u, rows.size());
        EXPECT_EQ(u"User - Custom", rows[0]);
        EXPECT_TRUE(page.Presets()->IsSeparatorRow(1));
        EXPECT_EQ(u"General peaks", rows[2]);
        EXPECT_EQ(0, page.Presets()->GetSelIndex());
        EXPECT_TRUE(page.Presets()->CurrentIsCustom());
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page.GetHandle(), kDelete)));
        const gdi::GoldenCheck picture =
            gdi::CheckGolden(ui::RenderWindow(dialog.GetHandle()), GoldenPath("detector_unstimulated.png"));
        EXPECT_TRUE(picture.ok) << picture.message;

        // A preset replaces the settings; the custom ones come back with the tag cleared.
        ILMDetectionSettings* detection = dialog.Settings().DetectionSettingsObject();
        Select(page, 3); // "Synaptic currents"
        EXPECT_FALSE(page.Presets()->CurrentIsCustom());
        EXPECT_DOUBLE_EQ(2.0, ParameterOf(detection, 14));
        EXPECT_DOUBLE_EQ(5.0, Edited(sub));
        Select(page, 0);
        EXPECT_TRUE(page.Presets()->CurrentIsCustom());
        EXPECT_DOUBLE_EQ(4.25, ParameterOf(detection, 3));
        EXPECT_DOUBLE_EQ(0.0, ParameterOf(detection, 14));
        EXPECT_DOUBLE_EQ(4.25, Edited(sub));

        // Once shown, the custom row stays when the settings match a preset again.
        Select(page, 2);
        page.TransferFromSettings();
        EXPECT_EQ(u"User - Custom", Rows(combo)[0]);
        EXPECT_EQ(1, page.Presets()->GetSelIndex());
        Cancel(dialog);
    });
}

TEST_F(UnStimPageTest, SavedPresetsCanBeDeletedAndInvalidOnesAreNotSaved)
{
    Detect(u"sd=1;height=3;tag=0"); // custom settings carry no preset tag
    RunOn(0, [&](SettingsDlg& dialog, Sub_DetectorUnStim& page, SubSub_MPH& sub) {
        HWND hwnd = page.GetHandle();
        ui::Click(GetDlgItem(hwnd, kSave));
        std::vector<std::u16string> rows = Rows(GetDlgItem(hwnd, kCombo));
        ASSERT_EQ(u"User preset 1", rows.back());
        ASSERT_EQ(1u, extensionSite.store->Presets().size() - 4);
        // The saved settings are a preset now: it is selected and may be deleted.
        EXPECT_EQ(u"User preset 1", page.Presets()->SelectedText());
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(hwnd, kDelete)));
        ui::Click(GetDlgItem(hwnd, kDelete));
        EXPECT_EQ(4u, extensionSite.store->Presets().size());
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hwnd, kDelete)));

        // An invalid height is not saved: the notice shows instead.
        Enter(sub.GetHandle(), kEdit, u"20");
        ui::Click(GetDlgItem(hwnd, kSave));
        EXPECT_EQ(1, warnings);
        EXPECT_EQ(4u, extensionSite.store->Presets().size());
        // Nor does the customise dialog open.
        ui::Click(GetDlgItem(hwnd, 1040));
        EXPECT_EQ(2, warnings);
        Enter(sub.GetHandle(), kEdit, u"3");
        Cancel(dialog);
    });
}

TEST_F(UnStimPageTest, RemovablePresetsBeforeFixedOnesGetOneSeparator)
{
    // A store whose flags run true, true, false: the first two presets are the user's, then a fixed one.
    class Ordered : public ILMDocExtension {
    public:
        HRESULT QueryInterface(REFIID iid, void** out) override
        {
            *out = iid == IID_IUnknown || iid == IID_ILMDocExtension ? this : nullptr;
            return *out ? S_OK : E_NOINTERFACE;
        }
        ULONG AddRef() override { return 1; }
        ULONG Release() override { return 1; }
        HRESULT GetPresetCount(LONG* count) override { return *count = 3, S_OK; }
        HRESULT FindPreset(ILMDetectionSettings*, LONG* index, VARIANT_BOOL* matched) override
        {
            *index = 2;
            *matched = VARIANT_TRUE;
            return S_OK;
        }
        HRESULT FindPresetByName(const WCHAR*, LONG* index, VARIANT_BOOL* found) override
        {
            *index = -1;
            *found = VARIANT_FALSE;
            return S_OK;
        }
        HRESULT GetPreset(LONG, ILMDetectionSettings**) override { return E_FAIL; }
        HRESULT CreateSettings(ILMDetectionSettings**) override { return E_FAIL; }
        HRESULT GetPresetName(LONG index, VARIANT_BOOL, BSTR* name) override
        {
            *name = SysAllocString(index == 0 ? u"Mine A" : index == 1 ? u"Mine B" : u"Fixed");
            return S_OK;
        }
        HRESULT IsPresetRemovable(LONG index, VARIANT_BOOL* removable) override
        {
            *removable = index < 2 ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        }
        HRESULT Customize(HWND, ILMDetectionSettings*, const void*, const WCHAR*, const WCHAR*, const WCHAR*,
                          ILMDetectionSettings**) override
        {
            return E_NOTIMPL;
        }
        HRESULT SavePreset(HWND, ILMDetectionSettings*) override { return E_NOTIMPL; }
        HRESULT DeletePreset(HWND, const WCHAR*) override { return E_NOTIMPL; }
    } ordered;
    extensionSite.document = ExtensionDocument(&ordered);
    RunOn(0, [&](SettingsDlg& dialog, Sub_DetectorUnStim& page, SubSub_MPH&) {
        const std::vector<std::u16string> rows = Rows(GetDlgItem(page.GetHandle(), kCombo));
        ASSERT_EQ(4u, rows.size());
        EXPECT_EQ(u"Fixed", rows[3]);
        EXPECT_TRUE(page.Presets()->IsSeparatorRow(2));
        EXPECT_FALSE(page.Presets()->CustomRowPresent());
        EXPECT_EQ(2, page.Presets()->GetSelIndex());
        EXPECT_EQ(u"Fixed", page.Presets()->SelectedText());
        Cancel(dialog);
    });
}

} // namespace
