// The dialog base: the template of the running application's language, the host's language without a parent, the
// neutral one as the fall-back, and this library as the source when no module is named.
#include "controls_fixture.h"

#include "controls/dialogbase.h"
#include "foundation/moduleinstance.h"
#include "host/host.h"

namespace {
using namespace ControlsTest;

constexpr int kDialogId = 720;
constexpr LANGID kGerman = MAKELANGID(0x07, 0x01);
constexpr LANGID kFrench = MAKELANGID(0x0C, 0x01);

void RegisterTemplate(HINSTANCE instance, LANGID language, std::u16string_view caption)
{
    ui::DialogTemplateData data;
    data.style = WS_POPUP | WS_CAPTION | DS_SETFONT;
    data.cx = 100;
    data.cy = 40;
    data.caption = caption;
    ui::RegisterDialogTemplate(instance, MAKEINTRESOURCEW(kDialogId), data, language);
}

class DialogBaseTest : public Fixture {
protected:
    void SetUp() override
    {
        Fixture::SetUp();
        RegisterTemplate(KVO::ModuleInstance(), LANG_NEUTRAL, u"Neutral");
        RegisterTemplate(KVO::ModuleInstance(), kGerman, u"Deutsch");
    }
    void TearDown() override
    {
        owl::GetApplicationObject().SetLangId(MAKELANGID(0x09, 0x01));
        Fixture::TearDown();
    }
    std::u16string CaptionOf(owl::TWindow* parent, owl::TModule* module = nullptr)
    {
        KVO::DialogBase dialog(parent, kDialogId, module);
        dialog.Create();
        return dialog.GetWindowText();
    }
};

TEST_F(DialogBaseTest, TheParentsApplicationLanguageChoosesTheTemplate)
{
    Host parent;
    parent.Create();
    struct Case {
        LANGID application;
        const char16_t* caption;
    };
    for (const Case& c : {Case{kGerman, u"Deutsch"}, Case{kFrench, u"Neutral"}, Case{LANG_NEUTRAL, u"Neutral"}}) {
        owl::GetApplicationObject().SetLangId(c.application);
        EXPECT_EQ(c.caption, CaptionOf(&parent));
    }
}

TEST_F(DialogBaseTest, WithoutAModuleTheTemplateComesFromThisLibrary)
{
    // The parent belongs to another module that has no such template.
    owl::TModule other(u"other", reinterpret_cast<HINSTANCE>(0x5000));
    Host parent;
    parent.SetModule(&other);
    parent.Create();
    owl::GetApplicationObject().SetLangId(kGerman);
    EXPECT_EQ(u"Deutsch", CaptionOf(&parent));
}

TEST_F(DialogBaseTest, WithoutAParentTheHostsLanguageHoldsAndWithoutAHostTheNeutralOne)
{
    // No host yet: language 0.
    EXPECT_EQ(LANG_NEUTRAL, KVO::DialogBase::TemplateLanguage(nullptr));
    EXPECT_EQ(u"Neutral", CaptionOf(nullptr));
    static auto* host = new host::Host;
    ASSERT_EQ(S_OK, host->Start());
    host->Application().SetLanguage(kGerman);
    EXPECT_EQ(kGerman, KVO::DialogBase::TemplateLanguage(nullptr));
    EXPECT_EQ(u"Deutsch", CaptionOf(nullptr));
}

TEST_F(DialogBaseTest, AMissingTemplateMakesNoDialog)
{
    KVO::DialogBase dialog(nullptr, 9999);
    EXPECT_THROW(dialog.Create(), owl::TXWindow);
    EXPECT_EQ(-1, dialog.Execute());
}
}
