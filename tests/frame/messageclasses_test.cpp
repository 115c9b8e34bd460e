// Message classes: how a class describes itself to the host and renders a message's value.
#include "frame/messageclasses.h"
#include "host/framework.h"
#include "host/messagebus.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::u16string> Texts(const std::vector<KVO::String>& strings)
{
    std::vector<std::u16string> texts;
    for (const KVO::String& s : strings) {
        texts.emplace_back(s.View());
    }
    return texts;
}

class RecordingWriter final : public IDescriptionWriter {
public:
    HRESULT QueryInterface(REFIID, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT WriteLine(IKVOString* line, DWORD value) override
    {
        line->AddRef();
        lines.push_back(host::TakeText(line));
        values.push_back(value);
        return S_OK;
    }
    std::vector<std::u16string> lines;
    std::vector<DWORD> values;
};

TEST(MessageClasses, ValueKindsCompareTheTypeNameExactly)
{
    struct Case {
        const char16_t* name;
        int kind;
    };
    for (const Case& c : {Case{u"string", 2}, Case{u"String", 0}, Case{u"strings", 0}, Case{u"safearray", 3},
                          Case{u"rect", 4}, Case{u"bool", 5}, Case{u"", 0}, Case{u"boo", 0}}) {
        EXPECT_EQ(KVO::MsgIdMessageClassObject::ValueKind(KVO::String(c.name)), c.kind) << host::Narrow(c.name);
    }
}

TEST(MessageClasses, SplittingKeepsBracketedTextTogether)
{
    struct Case {
        const char16_t* text;
        std::vector<std::u16string> pieces;
    };
    const Case cases[] = {
        {u"", {}},
        {u"a", {u"a"}},
        {u"a,b", {u"a", u"b"}},
        {u"a,", {u"a", u""}},
        {u"a,{{x,y}},c", {u"a", u"x, y", u"c"}},
        {u"{{a,b,c}}", {u"a, b, c"}},
        {u"n,{{t}},{{d,e}}", {u"n", u"t", u"d, e"}},
        {u"{{open,to the end", {u"open, to the end"}}, // no closing mark: every later comma is inside
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Texts(KVO::SplitBracketed(KVO::String(c.text), u"{{", u"}}")), c.pieces) << host::Narrow(c.text);
    }
}

TEST(MessageClasses, DescriptionLinesLineUpUnderTheirLabels)
{
    struct Case {
        const char16_t* name;
        const char16_t* description;
        const char16_t* parameters;
        std::vector<std::u16string> lines;
    };
    const Case cases[] = {
        {u"", u"Never shown", u"a,b,c", {}},
        {u"CX_Analyze", u"", u"", {u"Name:        CX_Analyze"}},
        {u"CX_Analyze", u"Analyses the channel", u"", {u"Name:        CX_Analyze", u"Description: Analyses the channel"}},
        {u"M",
         u"D",
         u"first,{{long;int}},count;;of events,second,bool,on",
         {u"Name:        M", u"Description: D", u"Parameters:  first (long,int): count,of events",
          u"             second (bool): on"}},
        {u"M", u"", u"only,two", {u"Name:        M"}}, // not three texts per parameter: no parameter lines
    };
    for (const Case& c : cases) {
        const KVO::MsgIdMessageClassObjectRootImpl data(1, KVO::String(c.name), KVO::String(c.description),
                                                        KVO::String(c.parameters), 0, 0, KVO::String(u"string"));
        RecordingWriter writer;
        BSTR name = nullptr;
        EXPECT_EQ(KVO::MsgIdMessageClassObject::Describe(data, &name, &writer, 77), S_OK);
        EXPECT_EQ(writer.lines, c.lines) << host::Narrow(c.name);
        EXPECT_EQ(writer.values, std::vector<DWORD>(c.lines.size(), 77));
        if (c.name[0]) {
            EXPECT_EQ(std::u16string(name), c.name);
        } else {
            EXPECT_EQ(name, nullptr);
        }
        SysFreeString(name);
    }
}

TEST(MessageClasses, ValuesAreRenderedByTheirParametersType)
{
    struct Case {
        const char16_t* parameters;
        const char16_t* valueType;
        VARIANT value;
        std::u16string text;
    };
    VARIANT yes{};
    yes.vt = VT_BOOL;
    yes.boolVal = VARIANT_TRUE;
    VARIANT number{};
    number.vt = VT_I4;
    number.lVal = 42;
    VARIANT numbers{};
    numbers.vt = VT_ARRAY | VT_I4;
    numbers.parray = SafeArrayCreateVector(VT_I4, 0, 3);
    for (LONG i = 0; i < 3; ++i) {
        const LONG value = 7 * (i + 1);
        SafeArrayPutElement(numbers.parray, &i, &value);
    }
    VARIANT mixed{};
    mixed.vt = VT_ARRAY | VT_VARIANT;
    mixed.parray = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    VARIANT word{};
    word.vt = VT_BSTR;
    word.bstrVal = SysAllocString(u"north");
    const LONG first = 0;
    const LONG second = 1;
    SafeArrayPutElement(mixed.parray, &first, &word);
    SafeArrayPutElement(mixed.parray, &second, &number);
    VariantClear(&word);
    VARIANT empty{};
    empty.vt = VT_ARRAY | VT_R8;
    empty.parray = SafeArrayCreateVector(VT_R8, 0, 0);
    const Case cases[] = {
        {u"on,bool,switch", u"bool", yes, u"on: true"},
        {u"items,safearray,the items", u"safearray", number, u"items:  Begin 42 End "},
        {u"items,safearray,the items", u"safearray", numbers, u"items:  Begin 7, 14, 21 End "},
        {u"items,safearray,the items", u"safearray", mixed, u"items:  Begin north, 42 End "},
        {u"items,safearray,the items", u"safearray", empty, u"items:  Begin  End "},
        {u"", u"", number, u"42"},
    };
    for (const Case& c : cases) {
        const KVO::MsgIdMessageClassObjectRootImpl data(1, KVO::String(u"M"), KVO::String(), KVO::String(c.parameters),
                                                        0, 0, KVO::String(c.valueType));
        auto message = platform::ComPtr<host::HostMessage>::Adopt(host::HostMessage::Create(1, 0, &c.value));
        BSTR text = nullptr;
        EXPECT_EQ(KVO::MsgIdMessageClassObject::DescribeValue(data, message.Get(), &text), S_OK);
        EXPECT_EQ(std::u16string(text ? text : u""), c.text);
        SysFreeString(text);
    }
    VariantClear(&numbers);
    VariantClear(&mixed);
    VariantClear(&empty);
}

} // namespace
