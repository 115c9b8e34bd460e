#include "graph/mgraph1/graphwindow.h"

#include "foundation/defaultcolours.h"
#include "graph_kit.h"
#include "host/displaysettings.h"

#include <climits>
#include <functional>

namespace {
using namespace graphtest;
using host::DocumentSettings;
using MGraph1::DisplayAttributes;
constexpr LONG kUnset = INT_MIN;

// The host's colours: trace i is RGB(i, 1, 2).
class Colours final : public IDisplayColours {
public:
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT Reserved3() override { return E_NOTIMPL; }
    HRESULT Reserved4() override { return E_NOTIMPL; }
    HRESULT Reserved5() override { return E_NOTIMPL; }
    HRESULT GetColour(LONG index, COLORREF* colour) override
    {
        *colour = RGB(index, 1, 2);
        return S_OK;
    }
};

TEST(DisplayAttributes, ReadFromTheDocumentsSettings)
{
    GraphHost();
    struct Case {
        const char* name;
        DWORD id;
        LONG value; // kUnset: the document keeps its default, or for the count has none
        bool hostColours;
        std::function<void(const DisplayAttributes&)> check;
    };
    Colours colours;
    const Case cases[] = {
        {"count", DocumentSettings::kTraceCount, 4, false, [](auto& a) { EXPECT_EQ(a.count, 4); }},
        {"no count is one", DocumentSettings::kTraceCount, 0, false, [](auto& a) { EXPECT_EQ(a.count, 1); }},
        {"colour from the table", DocumentSettings::kTraceColour, 22, false,
         [](auto& a) { EXPECT_EQ(a.colour1, KVO::kBasicColours[1]); }},
        {"negative colour index", DocumentSettings::kTraceColour, -1, false,
         [](auto& a) { EXPECT_EQ(a.colour1, KVO::kBasicColours[20]); }},
        {"grid colour of the host", DocumentSettings::kGridColour, 0x10005, true,
         [](auto& a) { EXPECT_EQ(a.colour2, RGB(5, 1, 2)); }},
        {"grid colour by default", DocumentSettings::kGridColour, 3, false,
         [](auto& a) { EXPECT_EQ(a.colour2, KVO::GetDefaultTraceColor(nullptr, 3)); }},
        {"style", DocumentSettings::kTraceStyle, 7, false, [](auto& a) { EXPECT_EQ(a.value1, 7); }},
        {"dots", DocumentSettings::kGridDots, 1, false, [](auto& a) { EXPECT_EQ(a.value2, 1u); }},
        {"grid hidden", DocumentSettings::kGridShown, 0, false, [](auto& a) { EXPECT_EQ(a.value3, 0); }},
        {"grid shown by default", DocumentSettings::kGridShown, kUnset, false, [](auto& a) { EXPECT_EQ(a.value3, 0xFFFF); }},
        {"unset count kept", DocumentSettings::kTraceCount, kUnset, false, [](auto& a) { EXPECT_EQ(a.count, 9); }},
    };
    for (const Case& c : cases) {
        auto settings = DocumentSettings::Create();
        if (c.value != kUnset) {
            settings->Set(c.id, c.value);
        } else if (c.id == DocumentSettings::kTraceCount) {
            settings->Clear(c.id);
        }
        DisplayAttributes attributes;
        attributes.count = 9;
        attributes.source = static_cast<IPropertySource*>(settings.Get());
        attributes.colours = c.hostColours ? &colours : nullptr;
        ASSERT_TRUE(MGraph1::ReadDisplayAttributes(attributes)) << c.name;
        SCOPED_TRACE(c.name);
        c.check(attributes);
    }
}

TEST(DisplayAttributes, NothingToReadFrom)
{
    GraphHost();
    DisplayAttributes attributes;
    EXPECT_FALSE(MGraph1::ReadDisplayAttributes(attributes));
    Colours notASource;
    attributes.source = &notASource;
    attributes.count = 5;
    EXPECT_FALSE(MGraph1::ReadDisplayAttributes(attributes));
    EXPECT_EQ(attributes.count, 5);
}

} // namespace
