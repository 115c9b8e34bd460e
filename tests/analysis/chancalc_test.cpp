// The channel calculation: its settings text, its output scaling and title, the edit command's refusals and
// installation, its dialog driven as a user drives it, and a parameter evaluated by the host as a channel.
#include "analysisfixture.h"
#include "controls/bmptxtbutton.h"
#include "document/chancalc.h"
#include "document/chancalcdlg.h"
#include "document/chartdatachilddata.h"
#include "document/messageids.h"
#include "document/paramcatalogue.h"
#include "frame/channeltoken.h"
#include "host/channelcalchost.h"
#include "host/hoststring.h"
#include "host/recording.h"
#include "platform/ui/dialog.h"
#include "platform/ui/input.h"
#include "platform/ui/window.h"
#include "platform/win/commctrl.h"
#include "platform/win/msgbox.h"

#include <cmath>
#include <limits>

using namespace CX::ChanCalc;
namespace SId = CX::Doc::SettingId;

namespace {

// Settings objects are counted: the dialog and the edit command hold references, so they live on the heap.
platform::ComPtr<SettingsCOM> NewSettings(LONG channel)
{
    return platform::ComPtr<SettingsCOM>(new SettingsCOM(nullptr, channel));
}

std::u16string U(const std::string& text) { return std::u16string(text.begin(), text.end()); }

ICalculationClass* ChannelCalcClass()
{
    for (CAFClassObject* link = CAFClassObject::CalculationListHead(); link; link = link->Next()) {
        ICalculationClass* found = nullptr;
        if (SUCCEEDED(link->GetClassObjectInterface()->QueryInterface(IID_ICalculationClass,
                                                                      reinterpret_cast<void**>(&found)))) {
            return found; // static: counts nothing
        }
    }
    return nullptr;
}

IPersistClassObject* SettingsClass()
{
    for (CAFClassObject* link = CAFClassObject::CalculationListHead(); link; link = link->Next()) {
        platform::ComPtr<IPersistClassObject> found;
        if (SUCCEEDED(link->GetClassObjectInterface()->QueryInterface(IID_IPersistClassObject, found.OutVoid()))) {
            return found.Get(); // the calculation class keeps it
        }
    }
    return nullptr;
}

// The code where bottom and top of a scaling land.
double CodeOf(const ChannelScaling& scaling, double value) { return value / scaling.scale - scaling.offset; }

// Answers every message box, keeping what it said.
struct MessageBoxes {
    std::vector<platform::MessageBoxCall> shown;
    platform::MessageBoxHook previous = platform::SetMessageBoxHook([this](const platform::MessageBoxCall& call) {
        shown.push_back(call);
        return IDOK;
    });
    ~MessageBoxes() { platform::SetMessageBoxHook(previous); }
};

// An analysed document with the module's channel calculation on one of its host channels.
struct ChannelFixture {
    explicit ChannelFixture(std::shared_ptr<host::Document> recording, bool loopmetry = true, LONG channel = 5)
        : a(std::move(recording), loopmetry)
    {
        a.hostDocument->SetExtensionDocument(a.document.Get());
        channelHost = host::CalcChannel::Create(AnalysisHost(), a.hostDocument.Get(), a.source.Get(), channel);
    }
    ~ChannelFixture()
    {
        channelHost->RemoveCalculation();
        channelHost.Reset();
        a.hostDocument->SetExtensionDocument(nullptr);
        ui::SetModalHook({});
    }
    CX::Doc::ChartDataChildData& Child()
    {
        return *CX::Doc::ChartDataChildData::FindOrCreate(a.hostDocument->AsUnknown()).Get();
    }
    HRESULT Edit(IPersistObject* current, platform::ComPtr<IPersistObject>& out, LONG channel = 5)
    {
        return ChannelCalcClass()->EditSettings(static_cast<IChannelCalcSite*>(channelHost.Get()), current, out.Out(),
                                                channel, 0);
    }

    AnalysedDocument a;
    platform::ComPtr<host::CalcChannel> channelHost;
};

} // namespace

TEST(ChannelCalcSettings, TextsRoundTripAndNeedTheEndCheck)
{
    SettingsCOM defaults(nullptr, 3);
    EXPECT_EQ(defaults.ToText(), u"1\t2\t1\t-1\t4\t1\t3\t777");

    SettingsCOM varied;
    varied.ParameterCode = 57;
    varied.ScaleTop = 0.00125f;
    varied.ScaleBottom = -3.5e12f;
    varied.DecimalPlaces = 0;
    varied.AutoScale = false;
    varied.Channel = -7;
    SettingsCOM back;
    ASSERT_EQ(back.FromText(varied.ToText()), S_OK);
    EXPECT_EQ(back.ToText(), varied.ToText());
    EXPECT_EQ(back.ParameterCode, 57);
    EXPECT_FLOAT_EQ(back.ScaleTop, 0.00125f);
    EXPECT_FLOAT_EQ(back.ScaleBottom, -3.5e12f);
    EXPECT_FALSE(back.AutoScale);
    EXPECT_EQ(back.Channel, -7);

    // Through the host's text objects and the settings class object.
    const auto sink = host::TextSink::Create();
    ASSERT_EQ(varied.Save(sink.Get()), S_OK);
    EXPECT_EQ(sink->Text(), varied.ToText());
    const auto source = host::TextSource::Create(sink->Text());
    platform::ComPtr<IPersistObject> loaded;
    ASSERT_EQ(SettingsClass()->Load(source.Get(), loaded.Out()), S_OK);
    EXPECT_EQ(SettingsCOM::From(loaded.Get())->ToText(), varied.ToText());

    struct Refused {
        const char* text;
        HRESULT result;
        std::int32_t code;  // what the object holds afterwards
        float top;
        std::int32_t places;
        LONG channel;
    } refused[] = {
        {"1\t2\t1\t-1\t4\t1\t3", E_FAIL, 2, 1.0f, 4, 3},          // no end check
        {"1\t2\t1\t-1\t4\t1\t3\t778", E_FAIL, 2, 1.0f, 4, 3},     // a wrong one
        {"1\t17\t9.5", E_FAIL, 17, 9.5f, 4, 0},                   // cut short: what was read stays
        {"1\t5\tx\t-1\t4\t1\t3\t777", E_FAIL, 5, 1.0f, 4, 0},     // not a number
        {"", E_FAIL, 2, 1.0f, 4, 0},                               // nothing: no code was read
        {"1\t59\t1\t-1\t9\t1\t3\t777", S_OK, 2, 1.0f, 6, 3},   // out of range values are mended, the text counts
        {"1\t-1\t1\t-1\t-4\t1\t3\t777", S_OK, 2, 1.0f, 0, 3},
    };
    for (const Refused& test : refused) {
        SCOPED_TRACE(test.text);
        SettingsCOM object;
        EXPECT_EQ(object.FromText(U(test.text)), test.result);
        EXPECT_EQ(object.ParameterCode, test.code);
        EXPECT_EQ(object.ScaleTop, test.top);
        EXPECT_EQ(object.DecimalPlaces, test.places);
        EXPECT_EQ(object.Channel, test.channel);
    }

    // Only the module's own settings are taken; anything else is no settings object.
    EXPECT_EQ(SettingsCOM::From(nullptr), nullptr);
    EXPECT_EQ(SettingsCOM::From(sink.Get()), nullptr);
}

TEST(ChannelCalcScaling, CodesSpanBottomToTopAndNeverDivideByZero)
{
    struct Case {
        float top;
        float bottom;
        float scaledTop; // what the codes are built for
        float scaledBottom;
    } cases[] = {
        {1.0f, -1.0f, 1.0f, -1.0f},
        {5.0f, 5.0f, 5.00001f, 4.99999f},
        {1e30f, 0.0f, 1e24f, 0.0f},
        {std::numeric_limits<float>::quiet_NaN(), -2.0f, 1e24f, -2.0f},
        {-1e30f, -1e30f, -1e24f, -1e24f}, // becomes equal only once clamped
        {1000.0f, 1000.0f, 1000.0f, 1000.0f},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.top);
        float top = test.top;
        float bottom = test.bottom;
        WidenEmptyRange(top, bottom);
        const OutputScaling scaling = ScaleOutput(3, false, top, bottom);
        ASSERT_TRUE(std::isfinite(scaling.record.scale));
        ASSERT_GT(scaling.record.scale, 0.0);
        ASSERT_TRUE(std::isfinite(scaling.record.offset));
        EXPECT_EQ(scaling.record.kind, 3);
        EXPECT_EQ(scaling.record.precision, 1);
        EXPECT_EQ(scaling.record.upper, std::numeric_limits<float>::infinity());
        EXPECT_EQ(scaling.record.lower, -std::numeric_limits<float>::infinity());
        EXPECT_DOUBLE_EQ(scaling.gain, 1.0 / scaling.record.scale);
        EXPECT_DOUBLE_EQ(scaling.offset, -scaling.record.scale * scaling.record.offset);
        // Units per code are rounded to single precision: far from zero that moves the codes by up to the
        // value's code times the rounding.
        auto tolerance = [&](double value) { return 32.0 + std::abs(value) / scaling.record.scale * 1.2e-7; };
        if (test.scaledTop != test.scaledBottom) {
            EXPECT_NEAR(CodeOf(scaling.record, test.scaledTop), 32000.0, tolerance(test.scaledTop));
            EXPECT_NEAR(CodeOf(scaling.record, test.scaledBottom), -32000.0, tolerance(test.scaledBottom));
        } else {
            // Equal values: a range a little wider than nothing, around them.
            EXPECT_LT(scaling.record.scale * 64000.0, std::abs(test.scaledTop) * 1e-3);
            EXPECT_NEAR(CodeOf(scaling.record, test.scaledTop), 0.0, tolerance(test.scaledTop));
        }
    }
    // Equal 5s are built for 5.00001 and 4.99999 exactly as floats.
    float top = 5.0f;
    float bottom = 5.0f;
    WidenEmptyRange(top, bottom);
    EXPECT_EQ(top, 5.0f + 1e-5f);
    EXPECT_EQ(bottom, 5.0f - 1e-5f);
}

TEST(ChannelCalcTitle, NamesTheParameterAndTheSourceChannelWhenItHasAName)
{
    const PeakRecording recording({2000});
    AnalysedDocument a(recording.document);
    a.SetAnalysisType(1);
    const std::u16string parameter = CX::Doc::PersistSettings::Catalogue().ShortName(1, 2);
    EXPECT_EQ(Title(a.doc->Settings(), 2, u"Voltage"), u"Crestmetrics, " + parameter + u" of Voltage");
    EXPECT_EQ(Title(a.doc->Settings(), 2, u""), u"Crestmetrics, " + parameter);
    EXPECT_EQ(ExtLib::GetChannelName(a.hostDocument->AsUnknown(), 0).View(), u"Voltage");
    EXPECT_EQ(ExtLib::GetChannelName(a.hostDocument->AsUnknown(), 9).View(), u"");
    EXPECT_EQ(ExtLib::GetChannelName(nullptr, 0).View(), u"?");
}

TEST(ChannelCalcEdit, RefusalsTellTheUserAndChangeNothing)
{
    const PeakRecording recording({2000});
    struct Case {
        const char* name;
        bool loopmetry;
        int type;
        LONG channel;
        const char16_t* text;
        const char16_t* caption;
    } cases[] = {
        {"source channel", true, 1, 0,
         u"A Crestmetrics channel calculation can not be set on the Crestmetrics source channel.", u"Crestmetrics"},
        {"no Loopmetry", false, 1, 5, u"Crestmetrics requires the Loopmetry standard extension.", u"Crestmetrics"},
        {"no analysis type", true, -1, 5,
         u"Choose an analysis type before using channel calculations. The analysis type can be changed in the "
         u"settings dialog.",
         u"Crestmetrics"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        ChannelFixture f(recording.document, test.loopmetry, test.channel);
        f.a.SetAnalysisType(test.type);
        int dialogs = 0;
        ui::SetModalHook([&](HWND) { ++dialogs; });
        MessageBoxes boxes;
        platform::ComPtr<IPersistObject> out;
        EXPECT_EQ(f.Edit(nullptr, out, test.channel), S_FALSE);
        EXPECT_FALSE(out);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text, test.text);
        EXPECT_EQ(boxes.shown[0].caption, test.caption);
        EXPECT_EQ(boxes.shown[0].type & 0xF0u, static_cast<UINT>(MB_ICONERROR));
        EXPECT_EQ(dialogs, 0);
        EXPECT_TRUE(f.channelHost->Installations().empty());
        EXPECT_TRUE(f.a.hostDocument->FrameworkMessages().empty());
    }
}

TEST(ChannelCalcEdit, OkInstallsOnlyWithAutoScaleAndAlwaysSendsTheMessage)
{
    const PeakRecording recording({2000});
    for (const bool autoScale : {false, true}) {
        SCOPED_TRACE(autoScale);
        ChannelFixture f(recording.document);
        f.a.SetAnalysisType(1);
        f.channelHost->sourceFlag = 1;
        f.Child().flags = 0;
        const auto held = NewSettings(9);
        SettingsCOM& current = *held.Get();
        current.AutoScale = autoScale;
        current.ParameterCode = 3;
        ui::SetModalHook([](HWND dialog) { ui::Click(GetDlgItem(dialog, IDOK)); });
        platform::ComPtr<IPersistObject> out;
        ASSERT_EQ(f.Edit(&current, out), S_OK);
        const SettingsCOM* edited = SettingsCOM::From(out.Get());
        ASSERT_NE(edited, nullptr);
        EXPECT_NE(edited, &current);
        EXPECT_EQ(edited->Channel, 5); // the edited channel, not the copied one
        EXPECT_EQ(edited->ParameterCode, 3);

        ASSERT_EQ(f.a.hostDocument->FrameworkMessages().size(), 1u);
        const auto& message = f.a.hostDocument->FrameworkMessages()[0];
        EXPECT_EQ(message.code, 0x800C004Au);
        EXPECT_EQ(message.value, 817u);
        EXPECT_EQ(message.top, 32000.0);
        EXPECT_EQ(message.bottom, -32000.0);
        EXPECT_EQ(message.channel, 5);
        if (!autoScale) {
            EXPECT_TRUE(f.channelHost->Installations().empty());
            EXPECT_EQ(f.channelHost->AutoScaleRequests(), 0);
            EXPECT_EQ(f.Child().flags, 0u);
            continue;
        }
        ASSERT_EQ(f.channelHost->Installations().size(), 1u);
        const auto& installed = f.channelHost->Installations()[0];
        EXPECT_EQ(installed.messageId, CX::Msg::ChannelCalcMessageId1());
        EXPECT_EQ(installed.channel, 5);
        EXPECT_EQ(installed.text, u"cxselector( ch1003, 3)");
        ASSERT_EQ(installed.sources.size(), 1u);
        EXPECT_EQ(installed.sources[0].channel, 0);
        EXPECT_EQ(installed.sources[0].kind, 0x80001004u);
        EXPECT_EQ(installed.sources[0].flags, 0x40000000u);
        EXPECT_EQ(installed.top, 10.0);
        EXPECT_EQ(installed.bottom, -10.0);
        EXPECT_EQ(installed.decimalPlaces, 3);
        EXPECT_EQ(installed.flags, 0x40000000u);
        EXPECT_EQ(f.channelHost->AutoScaleRequests(), 1);
        EXPECT_EQ(f.Child().flags & 1u, 1u);
    }
}

TEST(ChannelCalcEdit, CancelReturnsNothing)
{
    const PeakRecording recording({2000});
    ChannelFixture f(recording.document);
    f.a.SetAnalysisType(1);
    ui::SetModalHook([](HWND dialog) { ui::Click(GetDlgItem(dialog, IDCANCEL)); });
    platform::ComPtr<IPersistObject> out;
    EXPECT_EQ(f.Edit(nullptr, out), S_FALSE);
    EXPECT_FALSE(out);
    EXPECT_TRUE(f.a.hostDocument->FrameworkMessages().empty());
}

// The dialog over a document whose source is in volts, run through the modal hook on a settings object.
class ChannelCalcDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        fixture = std::make_unique<ChannelFixture>(recording.document);
        fixture->a.SetAnalysisType(1);
    }
    void TearDown() override { fixture.reset(); }

    // Runs the dialog; `drive` works it and closes it. The button that closed it.
    int Run(SettingsCOM& settings, const std::function<void(HWND)>& drive)
    {
        ui::SetModalHook(drive);
        Dlg dialog(nullptr, fixture->a.hostDocument->AsUnknown(), &settings);
        return dialog.Execute();
    }
    static std::u16string Text(HWND dialog, int id) { return ui::WindowText(GetDlgItem(dialog, id)); }
    static void Type(HWND dialog, int id, const char16_t* text) { SetWindowTextW(GetDlgItem(dialog, id), text); }
    static void Step(HWND dialog, bool up)
    {
        HWND spinner = GetDlgItem(dialog, Dlg::kSpinner);
        RECT r{};
        GetClientRect(spinner, &r);
        ui::Click(spinner, POINT{r.right / 2, up ? 1 : r.bottom - 2});
    }

    PeakRecording recording{{2000}};
    std::unique_ptr<ChannelFixture> fixture;
};

TEST_F(ChannelCalcDialog, ScaleEditsShowAndTakeValuesInThePrefixedUnit)
{
    // A parameter of the type measured in ms.
    const CX::ParamCatalogue& catalogue = CX::Doc::PersistSettings::Catalogue();
    std::int32_t code = -1;
    for (std::int32_t row = 0; row < catalogue.RowCount(1) && code < 0; ++row) {
        const std::int32_t candidate = catalogue.RowAt(1, row).Code;
        if (CX::ParamCatalogue::UnitText(candidate, KVO::PrefixedUnit(u"V")).Prefix() == u'm') {
            code = candidate;
        }
    }
    ASSERT_GE(code, 0);
    const auto held = NewSettings(5);
    SettingsCOM& settings = *held.Get();
    settings.ParameterCode = code;
    settings.ScaleTop = 0.5f;
    settings.ScaleBottom = -0.002f;
    settings.AutoScale = false;
    std::u16string shownTop;
    std::u16string shownBottom;
    std::u16string unit;
    std::u16string caption;
    EXPECT_EQ(Run(settings,
                  [&](HWND dialog) {
                      shownTop = Text(dialog, Dlg::kTop);
                      shownBottom = Text(dialog, Dlg::kBottom);
                      unit = Text(dialog, Dlg::kTopUnit);
                      caption = ui::WindowText(dialog);
                      Type(dialog, Dlg::kTop, u"250");
                      ui::Click(GetDlgItem(dialog, IDOK));
                  }),
              IDOK);
    EXPECT_EQ(shownTop, u"500");
    EXPECT_EQ(shownBottom, u"-2");
    EXPECT_EQ(unit, u"ms");
    EXPECT_EQ(caption, u"Crestmetrics - ");
    EXPECT_FLOAT_EQ(settings.ScaleTop, 0.25f);
    EXPECT_FLOAT_EQ(settings.ScaleBottom, -0.002f);
    EXPECT_EQ(settings.ParameterCode, code);
}

TEST_F(ChannelCalcDialog, DecimalPlacesStayWithinZeroToSixAsSteppedOrTyped)
{
    struct Case {
        std::int32_t start;
        int ups;
        int downs;
        const char16_t* typed; // or null
        std::int32_t expected;
    } cases[] = {
        {5, 3, 0, nullptr, 6}, {1, 0, 4, nullptr, 0}, {3, 1, 0, nullptr, 4}, {3, 0, 1, nullptr, 2},
        {3, 0, 0, u"9", 6},    {3, 0, 0, u"2", 2},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.start);
        const auto held = NewSettings(5);
    SettingsCOM& settings = *held.Get();
        settings.DecimalPlaces = test.start;
        std::u16string shown;
        Run(settings, [&](HWND dialog) {
            for (int i = 0; i < test.ups; ++i) {
                Step(dialog, true);
            }
            for (int i = 0; i < test.downs; ++i) {
                Step(dialog, false);
            }
            if (test.typed) {
                Type(dialog, Dlg::kDecimalPlaces, test.typed);
            }
            shown = Text(dialog, Dlg::kDecimalPlaces);
            ui::Click(GetDlgItem(dialog, IDOK));
        });
        EXPECT_EQ(settings.DecimalPlaces, test.expected);
        EXPECT_EQ(shown, U(std::to_string(test.expected)));
    }
}

// The spinner takes the arrow keys from its edit, and a held arrow repeats: the places still stay within 0 to 6.
TEST_F(ChannelCalcDialog, ArrowKeysAndAHeldArrowStepTheDecimalPlaces)
{
    const auto held = NewSettings(5);
    SettingsCOM& settings = *held.Get();
    settings.DecimalPlaces = 2;
    std::vector<std::u16string> shown;
    Run(settings, [&](HWND dialog) {
        SetFocus(GetDlgItem(dialog, Dlg::kDecimalPlaces));
        ui::PressKey(VK_UP);
        shown.push_back(Text(dialog, Dlg::kDecimalPlaces));
        ui::PressKey(VK_DOWN);
        ui::PressKey(VK_DOWN);
        shown.push_back(Text(dialog, Dlg::kDecimalPlaces));
        HWND spinner = GetDlgItem(dialog, Dlg::kSpinner);
        RECT r{};
        GetClientRect(spinner, &r);
        ui::MouseDown(spinner, POINT{r.right / 2, 1});
        ui::advance(2000);
        ui::MouseUp(spinner, POINT{r.right / 2, 1});
        shown.push_back(Text(dialog, Dlg::kDecimalPlaces));
        ui::Click(GetDlgItem(dialog, IDOK));
    });
    EXPECT_EQ(shown, (std::vector<std::u16string>{u"3", u"1", u"6"}));
    EXPECT_EQ(settings.DecimalPlaces, 6);
}

TEST_F(ChannelCalcDialog, TheParameterListLeavesOutTimeAndDateForEveryType)
{
    const CX::ParamCatalogue& catalogue = CX::Doc::PersistSettings::Catalogue();
    for (int type = 0; type < CX::ParamCatalogue::kTypeCount; ++type) {
        SCOPED_TRACE(type);
        fixture->a.SetAnalysisType(type);
        const auto held = NewSettings(5);
    SettingsCOM& settings = *held.Get();
        std::vector<std::u16string> listed;
        std::u16string typeName;
        Run(settings, [&](HWND dialog) {
            HWND combo = GetDlgItem(dialog, Dlg::kParameter);
            const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
            for (int i = 0; i < count; ++i) {
                char16_t buffer[256] = {};
                SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer));
                listed.emplace_back(buffer);
            }
            typeName = Text(dialog, Dlg::kTypeName);
            ui::Click(GetDlgItem(dialog, IDCANCEL));
        });
        EXPECT_EQ(typeName, CX::ParamCatalogue::AnalysisTypeName(type));
        std::vector<std::u16string> expected;
        for (std::int32_t row = 0; row < catalogue.RowCount(type); ++row) {
            if (catalogue.RowAt(type, row).Code != 58) {
                expected.push_back(catalogue.ShortNameAt(type, row));
            }
        }
        EXPECT_EQ(listed, expected);
        EXPECT_EQ(catalogue.RowAt(type, catalogue.RowCount(type) - 1).Code, 58);
    }
    // Positions and rows around a left-out row.
    const std::vector<std::int32_t> leftOut = {4};
    for (std::int32_t position = 0; position < 8; ++position) {
        const std::int32_t row = Dlg::RowOfPosition(leftOut, position);
        EXPECT_EQ(row, position < 4 ? position : position + 1);
        EXPECT_EQ(Dlg::PositionOfRow(leftOut, row), position);
    }
    EXPECT_EQ(Dlg::PositionOfRow({0}, 0), 0);
}

// The Help button opens the calculation's topic of the module's help file in the host's help window.
TEST_F(ChannelCalcDialog, HelpOpensTheCalculationsTopic)
{
    const auto held = NewSettings(5);
    host::ApplicationService& application = AnalysisHost().Application();
    const std::size_t before = application.HelpShown().size();
    EXPECT_EQ(Run(*held.Get(), [](HWND dialog) {
                  ui::Click(GetDlgItem(dialog, KVOControls::TBmpTxtButton::kHelpId));
                  ui::Click(GetDlgItem(dialog, IDCANCEL));
              }),
              IDCANCEL);
    ASSERT_EQ(application.HelpShown().size(), before + 1);
    EXPECT_EQ(application.HelpShown().back(), u"CrestmetricsHelp#CX_ChannelCalc");
    ASSERT_NE(application.Help().ShownTopic(), nullptr);
    EXPECT_EQ(application.Help().ShownTopic()->title, u"Crestmetrics Calculation");
}

TEST_F(ChannelCalcDialog, AutoScaleDisablesTheScaleControls)
{
    const auto held = NewSettings(5);
    SettingsCOM& settings = *held.Get();
    settings.AutoScale = false;
    const int ids[] = {Dlg::kTop, Dlg::kBottom, Dlg::kTopLabel, Dlg::kBottomLabel, Dlg::kTopUnit, Dlg::kBottomUnit};
    std::vector<bool> before;
    std::vector<bool> after;
    Run(settings, [&](HWND dialog) {
        for (const int id : ids) {
            before.push_back(IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE);
        }
        ui::Click(GetDlgItem(dialog, Dlg::kAutoScale));
        for (const int id : ids) {
            after.push_back(IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE);
        }
        ui::Click(GetDlgItem(dialog, IDOK));
    });
    EXPECT_EQ(before, std::vector<bool>(6, true));
    EXPECT_EQ(after, std::vector<bool>(6, false));
    EXPECT_TRUE(settings.AutoScale);
}

TEST_F(ChannelCalcDialog, SettingsOpensTheSettingsDialogOnItsSecondPageWithTheTypeLocked)
{
    const auto held = NewSettings(5);
    SettingsCOM& settings = *held.Get();
    int opened = 0;
    bool typeLocked = false;
    std::int32_t page = -1;
    ui::SetModalHook([&](HWND dialog) {
        if (GetDlgItem(dialog, 1023)) { // the settings dialog
            ++opened;
            typeLocked = IsWindowEnabled(GetDlgItem(dialog, 1023)) == FALSE;
            page = fixture->a.doc->Settings().GetInt(SId::kFirstSettingsTab);
            ui::Click(GetDlgItem(dialog, IDCANCEL));
            return;
        }
        ui::Click(GetDlgItem(dialog, Dlg::kSettingsButton));
        ui::Click(GetDlgItem(dialog, IDOK));
    });
    Dlg dialog(nullptr, fixture->a.hostDocument->AsUnknown(), &settings);
    dialog.Execute();
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(typeLocked);
    EXPECT_EQ(page, 1);
}

// Opened from the channel-calculation dialog, the settings dialog is modal to it, not to the host's frame.
TEST_F(ChannelCalcDialog, TheSettingsDialogIsModalToTheChannelCalculationDialog)
{
    const auto held = NewSettings(5);
    const auto frame = host::HostFrame::Create(AnalysisHost().Log(), 640, 480);
    fixture->a.hostDocument->SetFrame(platform::ComPtr<IUnknown>(static_cast<IHostFrame*>(frame.Get())));
    HWND calculationDialog = nullptr;
    HWND owner = nullptr;
    ui::SetModalHook([&](HWND dialog) {
        if (GetDlgItem(dialog, 1023)) { // the settings dialog
            owner = ::GetWindow(dialog, GW_OWNER);
            ui::Click(GetDlgItem(dialog, IDCANCEL));
            return;
        }
        calculationDialog = dialog;
        ui::Click(GetDlgItem(dialog, Dlg::kSettingsButton));
        ui::Click(GetDlgItem(dialog, IDOK));
    });
    Dlg dialog(nullptr, fixture->a.hostDocument->AsUnknown(), held.Get());
    dialog.Execute();
    ASSERT_NE(nullptr, calculationDialog);
    EXPECT_EQ(calculationDialog, owner);
    EXPECT_NE(frame->FrameWindow(), owner);
    fixture->a.hostDocument->SetFrame({});
}

// The cardiac example analysed as cardiac action potentials at the defaults; a channel outputs one parameter, which the host
// evaluates: at every event's position the output holds the event's value from the results table.
TEST(ChannelCalcOutput, TheHostEvaluatesAParameterAsAChannel)
{
    const auto recording =
        host::ReadRecordingFile(std::string(TEST_DATA_DIR) + "/../../examples/cardiac.txt");
    ChannelFixture f(recording, true, 4);
    f.a.SetAnalysisType(1);
    ASSERT_TRUE(f.a.doc->Analyse(false, true));
    CX::Doc::CycleDetector* results = f.a.doc->Results();
    ASSERT_GE(results->EventCount(), 8);

    for (const std::int32_t code : {2, 3, 4}) {
        SCOPED_TRACE(code);
        // A scale that holds the values: the results' own range.
        float low = std::numeric_limits<float>::max();
        float high = std::numeric_limits<float>::lowest();
        for (std::int32_t row = 0; row < results->EventCount(); ++row) {
            const float value = results->EventAt(row).record.GetValueById(static_cast<std::uint32_t>(code));
            low = std::min(low, value);
            high = std::max(high, value);
        }
        platform::ComPtr<SettingsCOM> settings(new SettingsCOM(nullptr, 4));
        settings->ParameterCode = code;
        settings->ScaleTop = high + 1.0f;
        settings->ScaleBottom = low - 1.0f;
        settings->AutoScale = false;
        ASSERT_EQ(f.channelHost->CreateCalculation(ChannelCalcClass()), S_OK);
        ASSERT_EQ(f.channelHost->ApplySettings(settings.Get()), S_OK);
        host::HostChannelCalc* handed = f.channelHost->HandedOver();
        ASSERT_NE(handed, nullptr);
        EXPECT_EQ(handed->Text(), u"cxselector( ch1003, " + U(std::to_string(code)) + u")");
        EXPECT_EQ(handed->Bound().channel, 4);
        const ChannelScaling& scaling = handed->Scaling();
        const double resolution = scaling.scale / 2 + 1e-6 * std::max(std::abs(high), std::abs(low));

        // The title and the settings read back.
        BSTR title = nullptr;
        ASSERT_EQ(f.channelHost->Calculation()->GetTitle(0, &title), S_OK);
        EXPECT_EQ(std::u16string(title), Title(f.a.doc->Settings(), code, u"Vm"));
        SysFreeString(title);
        platform::ComPtr<IPersistObject> current;
        ASSERT_EQ(f.channelHost->Calculation()->GetSettings(current.Out()), S_OK);
        EXPECT_EQ(SettingsCOM::From(current.Get())->ToText(), settings->ToText());

        std::int32_t row = 0;
        for (LONG block = 0; block < recording->BlockCount(); ++block) {
            const std::vector<float> output = f.channelHost->Evaluate(block);
            ASSERT_EQ(output.size(), static_cast<std::size_t>(recording->Length(block, 0)));
            for (; row < results->EventCount() && results->EventAt(row).block == block; ++row) {
                const auto& record = results->EventAt(row).record;
                const auto at = static_cast<std::size_t>(
                    std::trunc(record.tick + static_cast<double>(record.offset) + 0.5));
                ASSERT_LT(at, output.size());
                EXPECT_NEAR(output[at], record.GetValueById(static_cast<std::uint32_t>(code)), resolution)
                    << "event " << row;
            }
        }
        EXPECT_EQ(row, results->EventCount());
    }
}

TEST(ChannelCalcOutput, PendingAutoScaleIsAskedForOnceAfterTheHandOver)
{
    const PeakRecording recording({2000});
    for (const WORD state : {WORD{0}, WORD{3}}) {
        ChannelFixture f(recording.document);
        f.a.SetAnalysisType(1);
        f.channelHost->autoScaleState = state;
        f.Child().flags = 1;
        ASSERT_EQ(f.channelHost->CreateCalculation(ChannelCalcClass()), S_OK);
        ASSERT_EQ(f.channelHost->ApplySettings(nullptr), S_OK); // no settings: the defaults
        EXPECT_EQ(f.Child().flags, 0u);
        EXPECT_EQ(f.channelHost->StateRequests(), state == 0 ? std::vector<double>{0.0} : std::vector<double>{});
        ASSERT_EQ(f.channelHost->ApplySettings(nullptr), S_OK);
        EXPECT_EQ(f.channelHost->StateRequests().size(), state == 0 ? 1u : 0u);
        EXPECT_EQ(f.channelHost->HandedOver()->Text(), u"cxselector( ch1003, 2)");
    }
    // Without a site nothing is made.
    platform::ComPtr<IUnknown> none;
    EXPECT_EQ(ChannelCalcClass()->CreateInstance(0, 1, 0, nullptr, none.Out()), E_FAIL);
    EXPECT_FALSE(none);
}

// A type other than 1 whose catalogue keeps one of type 1's parameters and lacks another (-1 where none).
struct TypeChange {
    std::int32_t type = -1;
    std::int32_t kept = -1;
    std::int32_t lacking = -1;
};
TypeChange TypeChangeFromType1(const CX::ParamCatalogue& catalogue)
{
    for (std::int32_t type = 0; type < CX::ParamCatalogue::kTypeCount; ++type) {
        TypeChange change{type};
        for (std::int32_t row = 0; row < catalogue.RowCount(1); ++row) {
            const std::int32_t code = catalogue.RowAt(1, row).Code;
            (catalogue.Offers(type, code) ? change.kept : change.lacking) = code;
        }
        if (change.kept >= 0 && change.lacking >= 0) {
            return change;
        }
    }
    return {};
}

TEST(ChannelCalcRecheck, AParameterTheNewTypeLacksIsTurnedOffAndTheUserToldOnce)
{
    const PeakRecording recording({2000, 6000});
    ChannelFixture f(recording.document, true, 3);
    // Further calculation channels, one past the host's default count of 16.
    const auto dropped = host::CalcChannel::Create(AnalysisHost(), f.a.hostDocument.Get(), f.a.source.Get(), 5);
    const auto far = host::CalcChannel::Create(AnalysisHost(), f.a.hostDocument.Get(), f.a.source.Get(), 20);

    const auto [newType, kept, lacking] = TypeChangeFromType1(f.a.doc->Catalogue());
    ASSERT_GE(kept, 0);
    ASSERT_GE(lacking, 0);

    f.a.SetAnalysisType(1);
    const auto install = [&](host::CalcChannel& channel, LONG index, std::int32_t code) {
        platform::ComPtr<SettingsCOM> settings(new SettingsCOM(nullptr, index));
        settings->ParameterCode = code;
        settings->AutoScale = false;
        ASSERT_EQ(channel.CreateCalculation(ChannelCalcClass()), S_OK);
        ASSERT_EQ(channel.ApplySettings(settings.Get()), S_OK);
    };
    install(*f.channelHost.Get(), 3, kept);
    install(*dropped.Get(), 5, lacking);
    install(*far.Get(), 20, lacking);

    // Under type 1 every calculation stays, silently, and each is handed its settings again.
    MessageBoxes boxes;
    int binds = f.channelHost->HandedOver()->Binds();
    int updates = f.a.hostDocument->Updates();
    f.a.doc->NotifyViews();
    EXPECT_EQ(f.channelHost->HandedOver()->Binds(), binds + 1);
    EXPECT_NE(dropped->Calculation(), nullptr);
    EXPECT_EQ(f.a.hostDocument->Updates(), updates + 1);
    EXPECT_TRUE(boxes.shown.empty());

    f.a.SetAnalysisType(newType);
    binds = f.channelHost->HandedOver()->Binds();
    ASSERT_TRUE(f.a.doc->Analyse(false, true));
    EXPECT_EQ(dropped->Calculation(), nullptr);
    EXPECT_EQ(far->Calculation(), nullptr);
    ASSERT_NE(f.channelHost->Calculation(), nullptr);
    EXPECT_GT(f.channelHost->HandedOver()->Binds(), binds);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, u"One or more channel calculations are not available in the new analysis type "
                                   u"and have been turned off.");
    EXPECT_EQ(boxes.shown[0].type, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));

    // With no calculation of the module left to judge, nothing is asked of the host.
    f.channelHost->RemoveCalculation();
    updates = f.a.hostDocument->Updates();
    f.a.doc->NotifyViews();
    EXPECT_EQ(f.a.hostDocument->Updates(), updates);
    EXPECT_EQ(boxes.shown.size(), 1u);
}

TEST(ChannelCalcRecheck, TheSourceChannelsChangeNoticeRechecks)
{
    const PeakRecording recording({2000});
    ChannelFixture f(recording.document, true, 3);
    f.a.SetAnalysisType(1);
    ASSERT_EQ(f.channelHost->CreateCalculation(ChannelCalcClass()), S_OK);
    const TypeChange change = TypeChangeFromType1(f.a.doc->Catalogue());
    ASSERT_GE(change.lacking, 0);
    platform::ComPtr<SettingsCOM> settings(new SettingsCOM(nullptr, 3));
    settings->ParameterCode = change.lacking;
    ASSERT_EQ(f.channelHost->ApplySettings(settings.Get()), S_OK);
    f.a.SetAnalysisType(change.type);
    MessageBoxes boxes;
    f.a.doc->OnChannelChanged(1); // not the source channel
    EXPECT_NE(f.channelHost->Calculation(), nullptr);
    f.a.doc->OnChannelChanged(0);
    EXPECT_EQ(f.channelHost->Calculation(), nullptr);
    EXPECT_EQ(boxes.shown.size(), 1u);
}
