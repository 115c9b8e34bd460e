// Validating edits: the integer edit's number test, its range shown through the error mark while typing, and the
// message box left to the validator when no mark is set.
#include "controls_fixture.h"

#include "controls/errorprovider.h"
#include "controls/validatingedit.h"
#include "foundation/moduleinstance.h"
#include "platform/owl/dialog.h"
#include "platform/win/msgbox.h"

namespace {
using namespace ControlsTest;

constexpr int kTemplateId = 610;
constexpr int kOtherId = 1002;

class EditDialog : public owl::TDialog {
public:
    EditDialog(owl::TWindow* parent, owl::TModule* module) : TDialog(parent, kTemplateId, module)
    {
        edit = new IntEdit(this);
        mark = new KVOControls::ErrorProvider(this, 77, 150, 10, 12, 12, KVOControls::ErrorProvider::Balloon);
    }
    IntEdit* edit;
    KVOControls::ErrorProvider* mark;
};

class ValidatingEditTest : public Fixture {
protected:
    void SetUp() override
    {
        Fixture::SetUp();
        ui::DialogTemplateData data;
        data.style = WS_POPUP | WS_VISIBLE | DS_SETFONT;
        data.cx = 200;
        data.cy = 80;
        data.items = {{u"Edit", u"", ValidatingEdit::kControlId, 10, 10, 60, 12, WS_VISIBLE | WS_TABSTOP},
                      {u"Edit", u"", kOtherId, 10, 30, 60, 12, WS_VISIBLE | WS_TABSTOP}};
        ui::RegisterDialogTemplate(KVO::ModuleInstance(), MAKEINTRESOURCEW(kTemplateId), data);
        module = std::make_unique<owl::TModule>(u"tests", KVO::ModuleInstance());
        dialog = std::make_unique<EditDialog>(nullptr, module.get());
        dialog->Create();
        SetFocus(*dialog->edit);
    }
    void TearDown() override
    {
        platform::SetMessageBoxHook({});
        dialog.reset();
        Fixture::TearDown();
    }
    bool MarkShown() const { return IsWindowVisible(*dialog->mark) != FALSE; }
    std::unique_ptr<owl::TModule> module;
    std::unique_ptr<EditDialog> dialog;
};

TEST_F(ValidatingEditTest, TheNumberTestWantsTheWholeTextAsADecimalNumber)
{
    struct Case {
        const char16_t* text;
        bool number;
    };
    const Case cases[] = {{u"", false},  {u"1", true},      {u"-12", true},   {u"12abc", false},
                          {u"abc", false}, {u"+7", true},   {u"0x10", false}, {u"1 2", false},
                          // The first 29 characters count: a fault past the ninth still shows, one past the 29th not.
                          {u"123456789x", false}, {u"0000000000000000000000000001x", false},
                          {u"00000000000000000000000000001x", true}};
    for (const Case& c : cases) {
        dialog->edit->SetText(c.text);
        EXPECT_EQ(c.number, dialog->edit->IsValidNumber()) << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text));
    }
}

TEST_F(ValidatingEditTest, TypingShowsAndHidesTheMarkWithTheRangeInItsMessage)
{
    dialog->edit->SetErrorProvider(dialog->mark);
    EXPECT_TRUE(GetWindowLongPtrW(*dialog->edit, GWL_STYLE) & ES_NUMBER);
    ui::Type(u"1");
    EXPECT_FALSE(MarkShown());
    ui::Type(u"1");
    EXPECT_EQ(u"11", dialog->edit->GetText());
    EXPECT_TRUE(MarkShown());
    EXPECT_EQ(KVO::String(u"Value out of range"), dialog->mark->GetTitle());
    EXPECT_EQ(KVO::String(u"Enter a whole number from 1 to 10."), dialog->mark->GetMessage());
    ui::PressKey(VK_BACK);
    EXPECT_EQ(u"1", dialog->edit->GetText());
    EXPECT_FALSE(MarkShown());
    ui::PressKey(VK_BACK);
    EXPECT_EQ(u"", dialog->edit->GetText());
    EXPECT_TRUE(MarkShown()); // an empty text is no number
}

TEST_F(ValidatingEditTest, DeletingADigitChecksTheTextAgain)
{
    dialog->edit->SetErrorProvider(dialog->mark);
    ui::Type(u"11");
    ASSERT_TRUE(MarkShown());
    ui::PressKey(VK_HOME);
    ui::PressKey(VK_DELETE); // no character is typed
    EXPECT_EQ(u"1", dialog->edit->GetText());
    EXPECT_FALSE(MarkShown());
    dialog->edit->SetText(u"12");
    EXPECT_TRUE(MarkShown());
}

TEST_F(ValidatingEditTest, AnotherRangeKeepsItsBoundsWhenTheMarkIsSet)
{
    dialog->edit->SetValidator(new KVOControls::KVORangeValidator(5, 20));
    dialog->edit->SetErrorProvider(dialog->mark);
    ui::Type(u"12");
    EXPECT_FALSE(MarkShown());
    ui::Type(u"0");
    EXPECT_TRUE(MarkShown());
    EXPECT_EQ(KVO::String(u"Enter a whole number from 5 to 20."), dialog->mark->GetMessage());
    // Taking the mark away leaves a plain range validator of the same bounds.
    dialog->edit->SetErrorProvider(nullptr);
    auto* range = dynamic_cast<owl::TRangeValidator*>(dialog->edit->GetValidator());
    ASSERT_TRUE(range);
    EXPECT_EQ(nullptr, dynamic_cast<KVOControls::LongRangeValidatorErrProv*>(range));
    EXPECT_EQ(5, range->GetMin());
    EXPECT_EQ(20, range->GetMax());
}

TEST_F(ValidatingEditTest, WithoutAMarkTheValidatorTellsWhenTheFocusLeaves)
{
    int boxes = 0;
    platform::SetMessageBoxHook([&](const platform::MessageBoxCall&) {
        ++boxes;
        return IDOK;
    });
    ui::Type(u"11");
    EXPECT_EQ(0, boxes); // typing alone reports nothing
    SetFocus(GetDlgItem(*dialog, kOtherId));
    EXPECT_EQ(1, boxes);
    // With a mark, leaving an invalid text is not reported again in a box.
    dialog->edit->SetErrorProvider(dialog->mark);
    SetFocus(*dialog->edit);
    ui::Type(u"9");
    SetFocus(GetDlgItem(*dialog, kOtherId));
    EXPECT_EQ(1, boxes);
    EXPECT_TRUE(MarkShown());
}
}
