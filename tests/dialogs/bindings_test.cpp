#include "dialogs_fixture.h"

#include "platform/owl/control.h"

#include <cmath>

namespace {
using namespace DialogsTest;
using namespace CX;
namespace SettingId = CX::Doc::SettingId;

constexpr int kTemplateId = 9100;
enum : int {
    kEdit = 10, kEditMark = 11, kIntEdit = 12, kIntMark = 13, kUnitEdit = 14, kUnitLabel = 15,
    kSpinEdit = 16, kSpinLabel = 17, kSpinner = 18, kRadio0 = 20, kRadio1 = 21, kRadio2 = 22, kCheck = 23,
    kApd = 24, kFirst = 30, kFirstMark = 31, kSecond = 32, kSecondMark = 33, kLoose = 40, kLooseMark = 41,
    kGroupCheck = 50, kGroupEdit = 51, kGroupMark = 52,
};

void RegisterTestTemplate()
{
    static bool done = false;
    if (done) {
        return;
    }
    done = true;
    ui::DialogTemplateData t;
    t.cx = 300;
    t.cy = 200;
    t.caption = u"Bindings";
    t.style |= WS_VISIBLE;
    const DWORD edit = WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL;
    t.items = {
        {u"Edit", u"", kEdit, 5, 5, 40, 12, edit},
        {u"Static", u"", kEditMark, 50, 7, 8, 7, SS_BITMAP},
        {u"Edit", u"", kIntEdit, 5, 20, 40, 12, edit},
        {u"Static", u"", kIntMark, 50, 22, 8, 7, SS_BITMAP},
        {u"Edit", u"", kUnitEdit, 5, 35, 40, 12, edit},
        {u"Static", u"units", kUnitLabel, 50, 37, 30, 8, WS_VISIBLE},
        {u"Edit", u"", kSpinEdit, 5, 50, 40, 12, edit},
        {u"Static", u"units", kSpinLabel, 60, 52, 30, 8, WS_VISIBLE},
        {UPDOWN_CLASSW, u"", kSpinner, 46, 50, 10, 12, WS_VISIBLE},
        {u"Button", u"zero", kRadio0, 100, 5, 40, 10, WS_VISIBLE | WS_GROUP | BS_AUTORADIOBUTTON},
        {u"Button", u"one", kRadio1, 100, 17, 40, 10, WS_VISIBLE | BS_AUTORADIOBUTTON},
        {u"Button", u"two", kRadio2, 100, 29, 40, 10, WS_VISIBLE | BS_AUTORADIOBUTTON},
        {u"Button", u"check", kCheck, 100, 45, 40, 10, WS_VISIBLE | WS_GROUP | BS_AUTOCHECKBOX},
        {u"ComboBox", u"", kApd, 100, 60, 60, 100, WS_VISIBLE | CBS_DROPDOWNLIST},
        {u"Edit", u"", kFirst, 5, 80, 40, 12, edit},
        {u"Static", u"", kFirstMark, 50, 82, 8, 7, SS_BITMAP},
        {u"Edit", u"", kSecond, 5, 95, 40, 12, edit},
        {u"Static", u"", kSecondMark, 50, 97, 8, 7, SS_BITMAP},
        {u"Edit", u"", kLoose, 5, 110, 40, 12, edit},
        {u"Static", u"", kLooseMark, 50, 112, 8, 7, SS_BITMAP},
        {u"Button", u"group", kGroupCheck, 100, 80, 40, 10, WS_VISIBLE | BS_AUTOCHECKBOX},
        {u"Edit", u"", kGroupEdit, 100, 95, 40, 12, edit},
        {u"Static", u"", kGroupMark, 145, 97, 8, 7, SS_BITMAP},
    };
    ui::RegisterDialogTemplate(KVO::ModuleInstance(), MAKEINTRESOURCEW(kTemplateId), t);
}

// A page of test controls: change notices go to the list, as the settings pages forward them.
class TestPage : public owl::TDialog {
public:
    TestPage() : owl::TDialog(nullptr, (RegisterTestTemplate(), kTemplateId)) {}
    tCtrlList list;
    bool loading = false; // the settings pages' updating flag
    void Load()
    {
        loading = true;
        list.LoadAll();
        loading = false;
    }
    owl::TResult EvCommand(owl::uint id, HWND control, owl::uint code) override
    {
        if (control && !loading && (code == EN_CHANGE || code == BN_CLICKED || code == CBN_SELCHANGE)) {
            list.OnControlChanged(static_cast<int>(id));
            return 0;
        }
        return owl::TDialog::EvCommand(id, control, code);
    }
    owl::TResult EvNotify(owl::uint id, owl::TNotify& info) override
    {
        // The spinner's notices go to the binding of its edit, as the pages route them.
        return list.Notify(id == kSpinner ? kSpinEdit : static_cast<int>(id), 0, &info);
    }
};

class BindingsTest : public Fixture {
protected:
    void SetUp() override
    {
        Fixture::SetUp();
        settings.AddChannel(0);
    }
    // Creates the page after the bindings were added, as a page's constructor and Create do.
    HWND Open()
    {
        page.Create();
        return page.GetHandle();
    }
    KVOControls::ErrorProvider* Mark(int markId)
    {
        return dynamic_cast<KVOControls::ErrorProvider*>(owl::TWindow::GetWindowPtr(GetDlgItem(page.GetHandle(), markId)));
    }
    Doc::SettingsSet settings{&Catalogue()};
    TestPage page;
};

TEST(CharacterRules, NumbersAndWholeNumbers)
{
    struct Case {
        std::u16string_view text;
        bool number;
        bool integer;
    };
    const Case cases[] = {
        {u"5", true, true},     {u"-", false, false},    {u"e", false, false},  {u"+", false, false},
        {u"1,5", true, false},  {u"2.5", true, false},   {u"2,5", true, false}, {u"", true, true},
        {u"1E3", false, false}, {u"12a", false, false},  {u"-1e+3", true, true}, {u" 12", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.number, tEdit::NumberCharacters(c.text)) << std::string(c.text.begin(), c.text.end());
        EXPECT_EQ(c.integer, tEdit::IntegerCharacters(c.text)) << std::string(c.text.begin(), c.text.end());
    }
}

TEST(LeadingNumber, AsTheRunTimeReadsIt)
{
    const std::pair<std::u16string_view, double> cases[] = {
        {u"30", 30.0}, {u"  -1.5e2x", -150.0}, {u"+7", 7.0}, {u"abc", 0.0}, {u"", 0.0}, {u"inf", 0.0}, {u"1,5", 1.0},
        {u"nan", 0.0}, {u"-infinity", 0.0},
        // Beyond a double: too large is an infinity of its sign, too small is 0.
        {u"1e999", HUGE_VAL}, {u"-1e999", -HUGE_VAL}, {u"+2.5e400mV", HUGE_VAL}, {u"0.00001e314", HUGE_VAL},
        {u"123456789e301", HUGE_VAL}, {u"1e-999", 0.0}, {u"-1e-999", 0.0}, {u"1000e-330", 0.0},
        {u"0.1e-330", 0.0}, {u"1e308", 1e308}, {u"4e-320", 4e-320},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_DOUBLE_EQ(value, tUnitsEdit::LeadingNumber(text));
    }
}

TEST_F(BindingsTest, EditsTransferBothWaysAndMarkAsTheUserTypes)
{
    page.list.AddCtrl(new tEdit(kEdit, kEditMark, SettingId::kAreaStart, 8, &settings, &page));
    page.list.AddCtrl(new tIntEdit(kIntEdit, kIntMark, SettingId::kStartHeightPercent, 3, &settings, &page));
    settings.SetDouble(SettingId::kAreaStart, 12.5);
    const HWND hwnd = Open();
    page.Load();
    EXPECT_EQ(u"12.5", Text(GetDlgItem(hwnd, kEdit)));
    EXPECT_EQ(u"5", Text(GetDlgItem(hwnd, kIntEdit)));
    EXPECT_FALSE(MarkShown(hwnd, kEditMark));

    // Each keystroke re-judges: range first, then the characters.
    struct Step {
        int id;
        std::u16string_view text;
        bool marked;
    };
    const Step steps[] = {
        {kEdit, u"-3", true},   {kEdit, u"7", false},   {kEdit, u"e", true},     {kEdit, u"100000", true},
        {kIntEdit, u"2.5", true}, {kIntEdit, u"50", false}, {kIntEdit, u"200", true}, {kIntEdit, u"2", true},
    };
    for (const Step& step : steps) {
        Enter(hwnd, step.id, step.text);
        EXPECT_EQ(step.marked, MarkShown(hwnd, step.id + 1)) << std::string(step.text.begin(), step.text.end());
    }
    EXPECT_EQ(u"Invalid Height Percentage", std::u16string(Mark(kIntMark)->GetTitle().View()));
    Enter(hwnd, kEdit, u"42");
    Enter(hwnd, kIntEdit, u"60");
    page.list.TransferAll();
    EXPECT_DOUBLE_EQ(42.0, settings.GetDouble(SettingId::kAreaStart));
    EXPECT_EQ(60, settings.GetInt(SettingId::kStartHeightPercent));
    // A plain edit shows the setting's own text, with every digit the value needs.
    settings.SetDouble(SettingId::kAreaStart, 1234.56789);
    page.Load();
    EXPECT_EQ(u"1234.56789", Text(GetDlgItem(hwnd, kEdit)));
    page.list.TransferAll();
    EXPECT_EQ(1234.56789, settings.GetDouble(SettingId::kAreaStart));
    // The edit takes at most its limit of characters from typing.
    SetFocus(GetDlgItem(hwnd, kIntEdit));
    SendMessageW(GetDlgItem(hwnd, kIntEdit), EM_SETSEL, 0, -1);
    ui::Type(u"12345");
    EXPECT_EQ(u"123", Text(GetDlgItem(hwnd, kIntEdit)));
}

TEST_F(BindingsTest, UnitEditsScaleByThePrefixAndShowTheUnit)
{
    const KVO::PrefixedUnit millivolts(u"V", u'm');
    page.list.AddCtrl(new tUnitsEdit(kUnitEdit, kUnitLabel, SettingId::kBaselineValue, millivolts, 8, &settings, &page));
    settings.SetDouble(SettingId::kBaselineValue, 1.2345678e-5);
    const HWND hwnd = Open();
    page.Load();
    EXPECT_EQ(u"0.0123457", Text(GetDlgItem(hwnd, kUnitEdit)));
    EXPECT_EQ(u"mV", Text(GetDlgItem(hwnd, kUnitLabel)));
    // The shown text rounds the value: while it stands as loaded, or is typed back as it was, the value stays.
    page.list.TransferAll();
    EXPECT_EQ(1.2345678e-5, settings.GetDouble(SettingId::kBaselineValue));
    Enter(hwnd, kUnitEdit, u"0.01234");
    Enter(hwnd, kUnitEdit, u"0.0123457");
    page.list.TransferAll();
    EXPECT_EQ(1.2345678e-5, settings.GetDouble(SettingId::kBaselineValue));
    Enter(hwnd, kUnitEdit, u"0.01234");
    page.list.TransferAll();
    EXPECT_DOUBLE_EQ(1.234e-5, settings.GetDouble(SettingId::kBaselineValue));
    Enter(hwnd, kUnitEdit, u"30");
    page.list.TransferAll();
    EXPECT_DOUBLE_EQ(0.03, settings.GetDouble(SettingId::kBaselineValue));
    settings.SetDouble(SettingId::kBaselineValue, -0.07);
    page.Load();
    EXPECT_EQ(u"-70", Text(GetDlgItem(hwnd, kUnitEdit)));
}

TEST_F(BindingsTest, SpinnerStepsByATenthWithinTheRange)
{
    // Area start: 0 to 99999, shown in ms without a prefix.
    auto* spin = new tUnitsEditUpDown(kSpinEdit, kSpinLabel, kSpinner, SettingId::kAreaStart,
                                      KVO::PrefixedUnit(u"ms"), 8, &settings, &page);
    page.list.AddCtrl(spin);
    const HWND hwnd = Open();
    HWND spinner = GetDlgItem(hwnd, kSpinner);
    RECT r{};
    GetClientRect(spinner, &r);
    const POINT up{r.right / 2, 1};
    const POINT down{r.right / 2, r.bottom - 2};
    struct Case {
        std::u16string_view start;
        POINT arrow;
        std::u16string_view shown;
    };
    const Case cases[] = {
        {u"0", up, u"0.001"},      {u"0", down, u"0"},        {u"10", up, u"11"},  {u"10", down, u"9.09091"},
        {u"95000", up, u"99999"},  {u"-5", down, u"0"},       {u"0", up, u"4.54545"},
        {u"1e999", down, u"99999"}, // beyond a double is beyond the range
    };
    for (const Case& c : cases) {
        Enter(hwnd, kSpinEdit, c.start);
        ui::Click(spinner, c.arrow);
        EXPECT_EQ(c.shown, Text(GetDlgItem(hwnd, kSpinEdit))) << std::string(c.start.begin(), c.start.end());
    }
    // A step from the loaded text is read back, though the text may be the one that was loaded.
    settings.SetDouble(SettingId::kAreaStart, 99999);
    page.Load();
    ui::Click(spinner, up);
    EXPECT_EQ(u"99999", Text(GetDlgItem(hwnd, kSpinEdit)));
    settings.SetDouble(SettingId::kAreaStart, 1);
    page.list.TransferAll();
    EXPECT_EQ(99999.0, settings.GetDouble(SettingId::kAreaStart));

    // From 0 the step takes the size of the last step from a non-zero value.
    Enter(hwnd, kSpinEdit, u"20");
    ui::Click(spinner, down);
    Enter(hwnd, kSpinEdit, u"0");
    ui::Click(spinner, up);
    EXPECT_EQ(u"18.1818", Text(GetDlgItem(hwnd, kSpinEdit)));
    EXPECT_DOUBLE_EQ(1.0, spin->LastStep() / 18.181818181818183);
}

TEST_F(BindingsTest, EnumerationButtonsCheckTheirValueAndWriteOnlyTheChecked)
{
    for (int value = 0; value < 3; ++value) {
        page.list.AddCtrl(new tEnumBtn(kRadio0 + value, SettingId::kBaselineMode, value, &settings, &page));
    }
    const HWND hwnd = Open();
    for (int stored = 0; stored < 3; ++stored) {
        settings.SetLong(SettingId::kBaselineMode, 0); // no effect: the setting is an int
        dynamic_cast<Doc::CXSettingInt*>(settings.Find(SettingId::kBaselineMode))->SetValue(stored);
        page.Load();
        for (int button = 0; button < 3; ++button) {
            EXPECT_EQ(button == stored, IsDlgButtonChecked(hwnd, kRadio0 + button) == BST_CHECKED);
        }
    }
    ui::Click(GetDlgItem(hwnd, kRadio1));
    page.list.TransferAll();
    EXPECT_EQ(1, settings.GetInt(SettingId::kBaselineMode));
}

TEST_F(BindingsTest, CheckBoxesAndInvertedButtons)
{
    page.list.AddCtrl(new tCheckBox(kCheck, SettingId::kPeakWidthFilter, &settings, &page));
    page.list.AddCtrl(new tButInv(kRadio0, SettingId::kPeakWidthFilter, 0, 0, &settings, &page));
    const HWND hwnd = Open();
    for (const bool on : {true, false}) {
        settings.SetBool(SettingId::kPeakWidthFilter, on);
        page.Load();
        EXPECT_EQ(on, IsDlgButtonChecked(hwnd, kCheck) == BST_CHECKED);
        EXPECT_EQ(!on, IsDlgButtonChecked(hwnd, kRadio0) == BST_CHECKED);
    }
    CheckDlgButton(hwnd, kCheck, BST_CHECKED);
    page.list.FindCtrl(kCheck)->ControlToSetting();
    EXPECT_TRUE(settings.GetBool(SettingId::kPeakWidthFilter));
    CheckDlgButton(hwnd, kRadio0, BST_CHECKED);
    page.list.FindCtrl(kRadio0)->ControlToSetting();
    EXPECT_FALSE(settings.GetBool(SettingId::kPeakWidthFilter));
}

TEST_F(BindingsTest, DurationDropList)
{
    auto* list = new tAPDDropList(kApd, SettingId::kTriangulationStart, &settings, &page);
    page.list.AddCtrl(list);
    const HWND hwnd = Open();
    auto* setting = dynamic_cast<Doc::CXSettingInt*>(settings.Find(SettingId::kTriangulationStart));
    setting->SetValue(90);
    page.Load();
    page.Load();
    EXPECT_EQ(9, list->Control()->GetCount());
    EXPECT_EQ(8, list->Control()->GetSelIndex());
    char16_t text[32]{};
    list->Control()->GetString(text, 8);
    EXPECT_EQ(std::u16string(u"APD90"), text);
    Choose(hwnd, kApd, 3);
    page.list.TransferAll();
    EXPECT_EQ(40, setting->Value());
    // 100 selects nothing, and no choice keeps the stored value.
    setting->SetValue(100);
    page.Load();
    EXPECT_EQ(-1, list->Control()->GetSelIndex());
    page.list.TransferAll();
    EXPECT_EQ(100, setting->Value());
    EXPECT_TRUE(page.list.ValidateAll());
}

TEST_F(BindingsTest, OrderedPairJudgesTheOrderAndSharesTheFirstMark)
{
    struct Case {
        tOrderedPair::OrderKind kind;
        double first;
        double second;
        bool valid;
    };
    const Case cases[] = {
        {tOrderedPair::Less, 1, 2, true},          {tOrderedPair::Less, 2, 2, false},
        {tOrderedPair::Greater, 3, 2, true},       {tOrderedPair::Greater, 2, 2, false},
        {tOrderedPair::LessOrEqual, 2, 2, true},   {tOrderedPair::LessOrEqual, 3, 2, false},
        {tOrderedPair::GreaterOrEqual, 2, 2, true}, {tOrderedPair::GreaterOrEqual, 1, 2, false},
    };
    for (const Case& c : cases) {
        Doc::SettingsSet own(&Catalogue());
        own.AddChannel(0);
        own.SetDouble(SettingId::kAreaStart, c.first);
        own.SetDouble(SettingId::kAreaEnd, c.second);
        TestPage other;
        auto* pair = static_cast<tOrderedPair*>(other.list.AddList(new tOrderedPair(c.kind)));
        pair->AddCtrl(new tEdit(kFirst, kFirstMark, SettingId::kAreaStart, 8, &own, &other));
        pair->AddCtrl(new tEdit(kSecond, kSecondMark, SettingId::kAreaEnd, 8, &own, &other));
        other.Create();
        other.Load();
        EXPECT_EQ(c.valid, other.list.ValidateAll()) << c.kind << " " << c.first << " " << c.second;
    }
}

TEST_F(BindingsTest, OrderMarkShowsOnlyWhileBothMembersAreValid)
{
    auto* pair = static_cast<tOrderedPair*>(page.list.AddList(new tOrderedPair(tOrderedPair::Greater)));
    pair->AddCtrl(new tEdit(kFirst, kFirstMark, SettingId::kAreaStart, 8, &settings, &page));
    pair->AddCtrl(new tEdit(kSecond, kSecondMark, SettingId::kAreaEnd, 8, &settings, &page));
    const HWND hwnd = Open();
    page.Load(); // 5 and 10: out of order, but loading shows no order mark
    EXPECT_FALSE(MarkShown(hwnd, kFirstMark));
    struct Step {
        int id;
        std::u16string_view text;
        std::u16string_view firstTitle; // empty: no mark
        bool secondMarked;
    };
    const Step steps[] = {
        {kSecond, u"10", u"Order Incorrect", false},
        {kFirst, u"-1", u"Invalid Area Start", false},   // its own error wins
        {kFirst, u"20", u"", false},
        {kSecond, u"30", u"Order Incorrect", false},
        {kSecond, u"x", u"", true},                      // the second member invalid: no order judged
        {kSecond, u"3", u"", false},
    };
    for (const Step& step : steps) {
        Enter(hwnd, step.id, step.text);
        EXPECT_EQ(!step.firstTitle.empty(), MarkShown(hwnd, kFirstMark)) << std::string(step.text.begin(), step.text.end());
        if (!step.firstTitle.empty()) {
            EXPECT_EQ(step.firstTitle, std::u16string(Mark(kFirstMark)->GetTitle().View()));
        }
        EXPECT_EQ(step.secondMarked, MarkShown(hwnd, kSecondMark));
    }
    Enter(hwnd, kSecond, u"30");
    EXPECT_EQ(u"The first value must be greater than the second value.",
              std::u16string(Mark(kFirstMark)->GetMessage().View()));
    EXPECT_FALSE(page.list.ValidateAll());
}

TEST_F(BindingsTest, CheckedGroupEnablesItsMembersButJudgesThemAlways)
{
    auto* group = page.list.AddList(new tCheckedGroup(kGroupCheck, SettingId::kPeakWidthFilter, &settings, &page));
    group->AddCtrl(new tEdit(kGroupEdit, kGroupMark, SettingId::kAreaStart, 8, &settings, &page));
    settings.SetBool(SettingId::kPeakWidthFilter, false);
    settings.SetDouble(SettingId::kAreaStart, -4);
    const HWND hwnd = Open();
    page.Load();
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hwnd, kGroupEdit)));
    EXPECT_TRUE(MarkShown(hwnd, kGroupMark));
    EXPECT_FALSE(page.list.ValidateAll());
    ui::Click(GetDlgItem(hwnd, kGroupCheck));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(hwnd, kGroupEdit)));
}

TEST_F(BindingsTest, ListRules)
{
    auto* first = new tEdit(kEdit, kEditMark, SettingId::kAreaStart, 8, &settings, &page);
    auto* second = new tEdit(kIntEdit, kIntMark, SettingId::kAreaEnd, 8, &settings, &page);
    page.list.AddCtrl(first);
    page.list.AddCtrl(second);
    tCtrlList* sub = page.list.AddList(new tCtrlList);
    tCtrlList* subSub = sub->AddList(new tCtrlList);
    auto* deep = new tEdit(kLoose, kLooseMark, SettingId::kAreaEnd, 8, &settings, &page);
    subSub->AddCtrl(deep);
    const HWND hwnd = Open();
    page.Load();

    EXPECT_EQ(first, page.list.FindCtrl(kEdit));
    EXPECT_EQ(nullptr, page.list.FindCtrl(kLoose)); // two levels down is not found
    EXPECT_EQ(0, page.list.SetHidden(kLoose, true));

    // Validation stops at the first invalid binding: the second is neither transferred nor judged.
    page.loading = true;
    Enter(hwnd, kEdit, u"-1");
    Enter(hwnd, kIntEdit, u"77");
    page.loading = false;
    EXPECT_FALSE(page.list.ValidateAll());
    EXPECT_DOUBLE_EQ(10.0, settings.GetDouble(SettingId::kAreaEnd));

    // A hidden binding is loaded, skipped by transfer and validation, and still enabled.
    page.list.SetHidden(kEdit, true);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(hwnd, kEdit)));
    EXPECT_TRUE(page.list.ValidateAll());
    EXPECT_DOUBLE_EQ(-1.0, settings.GetDouble(SettingId::kAreaStart)); // written by the call above, not since
    page.loading = true;
    Enter(hwnd, kEdit, u"3");
    page.loading = false;
    page.list.TransferAll(); // the hidden edit's new text stays out of the settings
    EXPECT_DOUBLE_EQ(-1.0, settings.GetDouble(SettingId::kAreaStart));
    page.list.EnableAll(false);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hwnd, kEdit)));
    page.Load();
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(hwnd, kEdit)));
    EXPECT_EQ(u"-1", Text(GetDlgItem(hwnd, kEdit)));
}

TEST_F(BindingsTest, TheFirstBindingOfAnIdWinsAndOwnBindingsBeforeSubLists)
{
    auto* own = new tStaticText(kEdit, &settings, &page);
    page.list.AddCtrl(own);
    page.list.AddCtrl(new tStaticText(kEdit, &settings, &page));
    tCtrlList* sub = page.list.AddList(new tCtrlList);
    sub->AddCtrl(new tStaticText(kEdit, &settings, &page));
    auto* inSub = new tStaticText(kCheck, &settings, &page);
    sub->AddCtrl(inSub);
    EXPECT_EQ(own, page.list.FindCtrl(kEdit));
    EXPECT_EQ(inSub, page.list.FindCtrl(kCheck));
    EXPECT_EQ(0, page.list.FindSubListIndex(kCheck));
    EXPECT_EQ(-1, page.list.FindSubListIndex(kApd));
    EXPECT_EQ(0, page.list.Notify(kApd, 0, nullptr));
}

TEST_F(BindingsTest, BindingsWithoutTheirSettingHoldNoValue)
{
    // A missing id, and ids of settings of another class.
    auto* missing = new tEdit(kLoose, kLooseMark, 1999, 8, &settings, &page);
    auto* boolEdit = new tEdit(kEdit, kEditMark, SettingId::kPeakWidthFilter, 8, &settings, &page);
    auto* doubleInt = new tIntEdit(kIntEdit, kIntMark, SettingId::kAreaStart, 3, &settings, &page);
    auto* checkOnInt = new tCheckBox(kCheck, SettingId::kBaselineMode, &settings, &page);
    auto* apdOnDouble = new tAPDDropList(kApd, SettingId::kAreaStart, &settings, &page);
    auto* unitOnInt = new tUnitsEdit(kUnitEdit, kUnitLabel, SettingId::kBaselineMode, KVO::PrefixedUnit(u"V"), 8,
                                     &settings, &page);
    for (tCtrl* ctrl : std::initializer_list<tCtrl*>{missing, boolEdit, doubleInt, checkOnInt, apdOnDouble, unitOnInt}) {
        page.list.AddCtrl(ctrl);
        EXPECT_FALSE(ctrl->BindsSettingOfItsKind());
    }
    const HWND hwnd = Open();
    page.Load();
    Enter(hwnd, kIntEdit, u"77");
    Enter(hwnd, kUnitEdit, u"2");
    CheckDlgButton(hwnd, kCheck, BST_CHECKED);
    page.list.TransferAll();
    EXPECT_TRUE(page.list.ValidateAll());
    EXPECT_DOUBLE_EQ(5.0, settings.GetDouble(SettingId::kAreaStart));
    EXPECT_EQ(0, settings.GetInt(SettingId::kBaselineMode));
    EXPECT_FALSE(MarkShown(hwnd, kLooseMark));
    EXPECT_TRUE(std::isnan(missing->GetValue()));
}

} // namespace
