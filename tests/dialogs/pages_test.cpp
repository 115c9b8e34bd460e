#include "dialogs_fixture.h"

#include "dialogs/calculationpages.h"
#include "dialogs/tableoptionspage.h"
#include "platform/gdi/image.h"
#include "platform/ui/render.h"

namespace {
using namespace DialogsTest;
using namespace CX;
using CX::Dlg::SettingsDlg;
namespace SettingId = CX::Doc::SettingId;

constexpr int kCalculationsTab = 2;
constexpr int kTableOptionsTab = 3;
constexpr int kSourceComboId = 1062;

class PagesTest : public DialogFixture {
protected:
    // Opens the dialog of an analysis type on a tab.
    bool RunOn(int type, int tab, const std::function<void(SettingsDlg&)>& drive)
    {
        Store(SettingId::kAnalysisType, type);
        Store(SettingId::kFirstSettingsTab, tab);
        return Run(drive);
    }
    static KVOControls::ErrorProvider* Mark(SettingsDlg& dialog, int editId)
    {
        auto* page = dynamic_cast<Dlg::CalcBaseSubDlg*>(dialog.Page());
        tCtrl* binding = page ? page->Bindings().FindCtrl(editId) : nullptr;
        return binding ? binding->ErrorMark() : nullptr;
    }
};

TEST_F(PagesTest, EachAnalysisTypeGetsItsOwnCalculationPageWhoseBindingsAllResolve)
{
    struct Case {
        int type;
        std::function<bool(Dlg::Base::CXSubDlg*)> isItsPage;
        std::size_t pairs;
    };
    const Case cases[] = {
        {0, [](auto* p) { return dynamic_cast<Dlg::Sub_CalcGen*>(p) != nullptr; }, 4},
        {1, [](auto* p) { return dynamic_cast<Dlg::Sub_CalcCAP*>(p) != nullptr; }, 1},
        {2, [](auto* p) { return dynamic_cast<Dlg::Sub_CalcSynap*>(p) != nullptr; }, 3},
        {3, [](auto* p) { return dynamic_cast<Dlg::Sub_CalcER*>(p) != nullptr; }, 4},
        {4, [](auto* p) { return dynamic_cast<Dlg::Sub_CalcPS*>(p) != nullptr; }, 1},
        {5, [](auto* p) { return dynamic_cast<Dlg::Sub_CalcNAP*>(p) != nullptr; }, 1},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(RunOn(c.type, kCalculationsTab, [&](SettingsDlg& dialog) {
            ASSERT_TRUE(c.isItsPage(dialog.Page())) << c.type;
            auto& list = dynamic_cast<Dlg::CalcBaseSubDlg*>(dialog.Page())->Bindings();
            EXPECT_EQ(c.pairs, list.SubListCount()) << c.type;
            auto resolves = [&](const tCtrlList& l) {
                for (std::size_t i = 0; i < l.Count(); ++i) {
                    EXPECT_TRUE(l.At(i)->BindsSettingOfItsKind()) << c.type << " " << l.At(i)->ControlId();
                    // The stored defaults are valid: no mark shows on a fresh page.
                    if (l.At(i)->ErrorMark()) {
                        EXPECT_FALSE(MarkShown(dialog.Page()->GetHandle(), l.At(i)->MarkId()))
                            << c.type << " " << l.At(i)->ControlId();
                    }
                }
            };
            resolves(list);
            for (std::size_t i = 0; i < list.SubListCount(); ++i) {
                ASSERT_EQ(2u, list.SubListAt(i)->Count());
                resolves(*list.SubListAt(i));
            }
            Ok(dialog);
        }));
    }
    EXPECT_EQ(0, warnings);
}

TEST_F(PagesTest, OrderedPairsMarkTheirFirstMemberAsTheUserTypes)
{
    struct Case {
        int type;
        int first, second, firstMark;
        std::u16string_view a, b;
        bool inOrder;
    };
    const Case cases[] = {
        {0, 1037, 1038, 1068, u"10", u"10", false}, // area: Less
        {0, 1037, 1038, 1068, u"10", u"20", true},
        {0, 1043, 1044, 1072, u"5", u"5", true},    // slope: LessOrEqual
        {0, 1043, 1044, 1072, u"6", u"5", false},
        {0, 1045, 1046, 1074, u"50", u"50", false}, // tau: Greater
        {0, 1045, 1046, 1074, u"50", u"0", true},
        {2, 1039, 1040, 1071, u"50", u"50", false},
        {2, 1039, 1040, 1071, u"50", u"0", true},
        {3, 1039, 1040, 1071, u"50", u"50", false},
        {3, 1039, 1040, 1071, u"50", u"0", true},
        {1, 1095, 1096, 1097, u"30", u"20", false}, // the cardiac rise and fall edits are judged too
        {1, 1095, 1096, 1097, u"10", u"90", true},
        {4, 1043, 1044, 1073, u"3", u"2", false},
        {5, 1095, 1096, 1097, u"90", u"90", false},
    };
    for (const Case& c : cases) {
        warnings = 0;
        RunOn(c.type, kCalculationsTab, [&](SettingsDlg& dialog) {
            HWND page = dialog.Page()->GetHandle();
            Enter(page, c.first, c.a);
            Enter(page, c.second, c.b);
            EXPECT_EQ(!c.inOrder, MarkShown(page, c.firstMark)) << c.type << " " << c.first;
            if (!c.inOrder) {
                EXPECT_EQ(u"Order Incorrect", std::u16string(Mark(dialog, c.first)->GetTitle().View()));
            }
            Ok(dialog);
            if (!c.inOrder) {
                EXPECT_EQ(1, warnings) << c.type << " " << c.first;
                Cancel(dialog);
            }
        });
    }
}

TEST_F(PagesTest, EditsAcceptTheirTextLimits)
{
    struct Case {
        int type;
        int edit;
        int limit;
    };
    const Case cases[] = {
        {0, 1037, 5}, {0, 1043, 5}, {2, 1037, 5}, {2, 1044, 5}, {3, 1037, 8},
        {3, 1043, 8}, {4, 1045, 8}, {4, 1044, 8}, {1, 1050, 5}, {0, 1011, 8},
    };
    for (const Case& c : cases) {
        RunOn(c.type, kCalculationsTab, [&](SettingsDlg& dialog) {
            EXPECT_EQ(c.limit, SendMessageW(PageItem(dialog, c.edit), EM_GETLIMITTEXT, 0, 0)) << c.type << " " << c.edit;
            Cancel(dialog);
        });
    }
}

TEST_F(PagesTest, TheFixedBEditFollowsTheTauChoiceAndTheSourceChannel)
{
    site.units[0] = {u"V", u'm'};
    site.units[1] = {u"V", u'm'};
    Store(SettingId::kTauMode, 2);
    document.SetDouble(SettingId::kTauFixedValue, -0.05);
    EXPECT_TRUE(RunOn(0, kCalculationsTab, [&](SettingsDlg& dialog) {
        HWND edit = PageItem(dialog, 1011);
        EXPECT_TRUE(IsWindowEnabled(edit));
        EXPECT_TRUE(IsWindowEnabled(PageItem(dialog, 1080)));
        EXPECT_EQ(u"-50", Text(edit));
        EXPECT_EQ(u"mV", Text(PageItem(dialog, 1080)));
        ui::Click(PageItem(dialog, 1041)); // "&fitted B"
        EXPECT_EQ(0, dialog.Settings().GetInt(SettingId::kTauMode));
        EXPECT_FALSE(IsWindowEnabled(edit));
        EXPECT_FALSE(IsWindowEnabled(PageItem(dialog, 1080)));
        ui::Click(PageItem(dialog, 1048)); // "B s&et to"
        EXPECT_TRUE(IsWindowEnabled(edit));
        // The second channel is new and copies the first one's group: set it apart first.
        Choose(dialog.GetHandle(), kSourceComboId, 1);
        dialog.Settings().Find(SettingId::kTauMode)->Reset();
        dialog.Page()->TransferFromSettings();
        EXPECT_EQ(dialog.Settings().GetInt(SettingId::kTauMode) == 2, IsWindowEnabled(edit) != FALSE);
        Choose(dialog.GetHandle(), kSourceComboId, 0);
        EXPECT_TRUE(IsWindowEnabled(edit));
        Ok(dialog);
    }));
    EXPECT_EQ(2, document.GetInt(SettingId::kTauMode));
}

TEST_F(PagesTest, TheCardiacPageShowsItsTriangulationAndSavesItsEdits)
{
    EXPECT_TRUE(RunOn(1, kCalculationsTab, [&](SettingsDlg& dialog) {
        EXPECT_EQ(u"APD90", Text(PageItem(dialog, 1005)));
        EXPECT_EQ(u"APD40", Text(PageItem(dialog, 1049)));
        // The first duration need not exceed the second.
        Choose(dialog.Page()->GetHandle(), 1005, 0);
        Enter(dialog.Page()->GetHandle(), 1012, u"7.5");
        Ok(dialog);
    }));
    EXPECT_EQ(0, warnings);
    EXPECT_EQ(10, document.GetInt(SettingId::kTriangulationEnd));
    EXPECT_EQ(40, document.GetInt(SettingId::kTriangulationStart));
    EXPECT_DOUBLE_EQ(7.5, document.GetDouble(SettingId::kPlateauLevelWidth));
}

TEST_F(PagesTest, CancelLeavesTheCalculationSettingsAsTheyWere)
{
    const double areaEnd = document.GetDouble(SettingId::kAreaEnd);
    EXPECT_FALSE(RunOn(3, kCalculationsTab, [&](SettingsDlg& dialog) {
        Enter(dialog.Page()->GetHandle(), 1038, u"77");
        SelectTab(dialog, 1);
        Cancel(dialog);
    }));
    EXPECT_DOUBLE_EQ(areaEnd, document.GetDouble(SettingId::kAreaEnd));
}

TEST(CheckBoxGrid, FillsAtLeastThreeCentredColumns)
{
    struct Case {
        int count, width, height;
        int columns, rows, xOffset, yOffset;
    };
    const Case cases[] = {
        // 9 rows fit (208 + 8) / 24: 33 boxes take 4 columns of 9.
        {33, 600, 208, 4, 9, (600 - 560 + 20) / 2 + 10, (208 - 216 + 8) / 3},
        {6, 600, 208, 3, 2, 110, (208 - 48 + 8) / 3},
        {0, 600, 208, 0, 0, 0, 0},
        {1, 420, 16, 3, 1, 20, 0},
    };
    for (const Case& c : cases) {
        const Dlg::CheckBoxGrid grid = Dlg::CheckBoxGrid::For(c.count, c.width, c.height);
        EXPECT_EQ(c.columns, grid.columns) << c.count;
        EXPECT_EQ(c.rows, grid.rows) << c.count;
        EXPECT_EQ(c.xOffset, grid.xOffset) << c.count;
        EXPECT_EQ(c.yOffset, grid.yOffset) << c.count;
    }
}

TEST_F(PagesTest, TableOptionsLayOutOneBalloonCheckBoxPerParameterColumnByColumn)
{
    for (int type = 0; type < 6; ++type) {
        RunOn(type, kTableOptionsTab, [&](SettingsDlg& dialog) {
            auto* page = dynamic_cast<Dlg::Sub_TableOptions*>(dialog.Page());
            ASSERT_NE(nullptr, page);
            const int count = Catalogue().RowCount(type);
            ASSERT_EQ(count, page->RowCount());
            RECT bounds{};
            GetWindowRect(GetDlgItem(page->GetHandle(), 1079), &bounds);
            const Dlg::CheckBoxGrid grid =
                Dlg::CheckBoxGrid::For(count, bounds.right - bounds.left, bounds.bottom - bounds.top);
            for (int i = 0; i < count; ++i) {
                HWND box = GetDlgItem(page->GetHandle(), Dlg::Sub_TableOptions::kFirstBoxId + i);
                ASSERT_NE(nullptr, box);
                EXPECT_TRUE(IsWindowVisible(box));
                EXPECT_EQ(Catalogue().ShortNameAt(type, i), Text(box));
                RECT r{};
                GetWindowRect(box, &r);
                EXPECT_EQ(bounds.left + (i / grid.rows) * 140 + grid.xOffset, r.left) << type << " " << i;
                EXPECT_EQ(bounds.top + (i % grid.rows) * 24 + grid.yOffset, r.top) << type << " " << i;
                EXPECT_EQ(120, r.right - r.left);
                EXPECT_EQ(16, r.bottom - r.top);
                EXPECT_EQ(Catalogue().LongNameAt(type, i), page->ParameterBox(i)->GetBalloonTitle());
                const bool column = document.GetBool(Catalogue().RowAt(type, i).Code);
                EXPECT_EQ(column, SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED) << type << " " << i;
            }
            Cancel(dialog);
        });
    }
}

TEST_F(PagesTest, CheckAllReachesTheSettingsOnlyThroughOk)
{
    const int type = 2;
    auto columns = [&] {
        std::vector<bool> on;
        for (int i = 0; i < Catalogue().RowCount(type); ++i) {
            on.push_back(document.GetBool(Catalogue().RowAt(type, i).Code));
        }
        return on;
    };
    const std::vector<bool> before = columns();
    ASSERT_NE(std::vector<bool>(before.size(), true), before);
    const bool summary = document.GetBool(SettingId::kShowSummaryPane);
    EXPECT_FALSE(RunOn(type, kTableOptionsTab, [&](SettingsDlg& dialog) {
        ui::Click(PageItem(dialog, 1063));
        Cancel(dialog);
    }));
    EXPECT_EQ(before, columns());
    EXPECT_TRUE(RunOn(type, kTableOptionsTab, [&](SettingsDlg& dialog) {
        ui::Click(PageItem(dialog, 1063));
        ui::Click(PageItem(dialog, 1035));
        Ok(dialog);
    }));
    EXPECT_EQ(std::vector<bool>(before.size(), true), columns());
    EXPECT_NE(summary, document.GetBool(SettingId::kShowSummaryPane));
    EXPECT_TRUE(RunOn(type, kTableOptionsTab, [&](SettingsDlg& dialog) {
        ui::Click(PageItem(dialog, 1064));
        Ok(dialog);
    }));
    EXPECT_EQ(std::vector<bool>(before.size(), false), columns());
}

TEST_F(PagesTest, ASourceChangeReloadsTheColumnChoices)
{
    const int type = 0;
    const std::int32_t code = Catalogue().RowAt(type, 0).Code;
    EXPECT_TRUE(RunOn(type, kTableOptionsTab, [&](SettingsDlg& dialog) {
        HWND box = PageItem(dialog, Dlg::Sub_TableOptions::kFirstBoxId);
        const bool first = SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
        ui::Click(box);
        Choose(dialog.GetHandle(), kSourceComboId, 1); // the new channel copies the edited group
        EXPECT_EQ(!first, SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED);
        dialog.Settings().SetBool(code, first);
        dialog.Page()->TransferFromSettings();
        EXPECT_EQ(first, SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED);
        Ok(dialog);
    }));
}

TEST_F(PagesTest, PicturesOfThePages)
{
    site.units[0] = {u"V", u'm'};
    struct Case {
        int type;
        int tab;
        const char* golden;
    };
    const Case cases[] = {
        {0, kCalculationsTab, "calc_general.png"},  {1, kCalculationsTab, "calc_cardiac.png"},
        {2, kCalculationsTab, "calc_synaptic.png"}, {3, kCalculationsTab, "calc_evoked.png"},
        {4, kCalculationsTab, "calc_popspike.png"}, {5, kCalculationsTab, "calc_actionpotential.png"},
        {0, kTableOptionsTab, "table_options.png"},
    };
    for (const Case& c : cases) {
        RunOn(c.type, c.tab, [&](SettingsDlg& dialog) {
            if (c.type == 0 && c.tab == kCalculationsTab) {
                Enter(dialog.Page()->GetHandle(), 1038, u"0"); // area end before its start: an order mark
            }
            const gdi::GoldenCheck check = gdi::CheckGolden(ui::RenderWindow(dialog.GetHandle()), GoldenPath(c.golden));
            EXPECT_TRUE(check.ok) << check.message;
            Cancel(dialog);
        });
    }
}

} // namespace
