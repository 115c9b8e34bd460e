#include "document/expressionbuilder.h"
#include "document/settingids.h"
#include "docfixtures.h"
#include "frame/channeltoken.h"
#include "platform/com/oleauto.h"
#include "sdk/channeltoken.h"

using CX::ExpressionBuilder;
using CX::Doc::SettingsSet;
using doctest::Catalogue;
using doctest::Utf8;

namespace {

// A host document that names channel n "ch" n+1 through its channel-naming interface and logs the requests.
class TokenDocument final : public IChannelNaming {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IChannelNaming) {
            *out = static_cast<IChannelNaming*>(this);
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT GetChannelToken(LONG reserved, LONG channel, LONG kind, BSTR* token) override
    {
        requests.push_back({reserved, channel, kind});
        if (refuse) {
            return E_FAIL;
        }
        const std::string text = "ch" + std::to_string(channel + 1);
        *token = SysAllocString(std::u16string(text.begin(), text.end()).c_str());
        return S_OK;
    }

    struct Request {
        LONG reserved;
        LONG channel;
        LONG kind;
    };
    std::vector<Request> requests;
    bool refuse = false;
};

// The document's settings with the three calculation channels at host channels 3, 4 and 5 (tokens ch4, ch5, ch6)
// and a group for source channel 0.
struct Texts {
    explicit Texts(bool loopmetry = true) : settings(&Catalogue()), document(doctest::MakeHostDocument(loopmetry, &log))
    {
        settings.SetLong(2023, 3);
        settings.SetLong(2024, 4);
        settings.SetLong(2025, 5);
        doctest::SelectChannel(settings, 0, document.Get());
    }

    void Set(std::int32_t id, const char16_t* text) { doctest::SetText(settings, id, text); }

    std::string EventChain(bool* notBuilt = nullptr)
    {
        KVO::String text;
        ExpressionBuilder builder(settings, &host, text, ExpressionBuilder::kEventChain);
        if (notBuilt) {
            *notBuilt = builder.NotBuilt();
        }
        return Utf8(text.View());
    }
    // The calculation stage as the driver builds it: the token of the event chain, the evoked-response stage
    // around it, the measuring stages around that.
    std::string CalculationStage(IUnknown* hostDocument)
    {
        KVO::String text;
        ExpressionBuilder builder(settings, hostDocument, text, ExpressionBuilder::kCalculationStage);
        builder.EvokedResponseDetectorExpression(text);
        builder.CalculationStageExpression(text);
        return Utf8(text.View());
    }
    std::string CalculationStage() { return CalculationStage(&host); }
    std::string EvokedStage(const char16_t* in)
    {
        KVO::String ignored;
        ExpressionBuilder builder(settings, &host, ignored, ExpressionBuilder::kCalculationStage);
        KVO::String text(in);
        builder.EvokedResponseDetectorExpression(text);
        return Utf8(text.View());
    }

    host::CallLog log;
    SettingsSet settings;
    platform::ComPtr<IDocumentSite> document;
    TokenDocument host;
};

} // namespace

TEST(CalculationTexts, AChannelTheHostGivesNoTokenIsNamedByItsNumber)
{
    TokenDocument document;
    document.refuse = true;
    EXPECT_EQ(ExtLib::GetChannelToken(&document, 2, 4), KVO::String(u"ch3"));
    EXPECT_EQ(document.requests.size(), 1u);
}

TEST(CalculationTexts, WorkedExamples)
{
    Texts t;
    t.Set(2000, u"5");
    EXPECT_EQ(t.EventChain(),
              "cappwf( ch1, calcbase( ch1, cappeakdet( ch4, 0.03, 0, 0, 0, 0, 0), 1000, 5, -1, -1, 0, 0, 0, 0, 0, 0 "
              "), 4, 0, 0, 0, 0 )");
    EXPECT_EQ(t.CalculationStage(),
              "calcbulk( ch1, calcbase2( ch1, calcamax( ch1, calcbase( ch1, ch5, 1000, 5, -1, -1, 0, 0, 0, 0, 0, 0 "
              "), 12, 0, 0, 0, 0, 0, 0 ), 50, 50, 0, 30, 0, 0, 0, 0 ), 5, 5, 10, 1, 0, 10, 90, 40, 90, 5, 5, 10, 11, "
              "10, 5, 4, 0, 0, 0, 0 )");
    t.Set(2000, u"4");
    EXPECT_EQ(t.EventChain(),
              "pspeakdet( ch4, erstimdet( ch1, 0.0005, 1, 10, 10, 1, 0, 0, 0, 0) , 0, 100, 0, 0, 0, 0) ");
}

TEST(CalculationTexts, EvokedResponses)
{
    Texts t;
    t.Set(2000, u"3");
    bool notBuilt = false;
    t.Set(1000, u"5");
    EXPECT_EQ(t.EventChain(&notBuilt), "77");
    EXPECT_TRUE(notBuilt);
    EXPECT_EQ(t.EvokedStage(u"IN"), "IN");

    t.Set(1000, u"2");
    t.Set(1005, u"2000000000");
    EXPECT_EQ(t.EventChain(&notBuilt), "erstimsob( 2e+09, 0, 0, 0, 0) ");
    EXPECT_FALSE(notBuilt);
    EXPECT_EQ(t.EvokedStage(u"IN"), "erpeakdet( ch4, IN, 0.03, 0, 100, 0, 0, 0, 0)");

    t.Set(1000, u"3");
    t.Set(1004, u"25");
    EXPECT_EQ(t.EventChain(), "erstimdet( ch1, 1, 1, 0, 10, 0, 0, 0, 0, 0) "); // no skip, not one per block
    t.Set(1009, u"f");
    t.Set(1006, u"7");
    EXPECT_EQ(t.EvokedStage(u"IN"), "erpeakdet( ch4, IN, 1, 0, 0, 0, 0, 0, 0)");
}

// Numbers that six significant digits would round are written with the digits that carry them, so that the analysis
// uses the values that are set.
TEST(CalculationTexts, SettingsKeepEveryDigitTheyNeed)
{
    Texts t;
    t.Set(2000, u"3");
    t.Set(1000, u"2");
    t.Set(1005, u"123.44996");
    t.Set(1006, u"1.2345678e-5");
    t.Set(1007, u"0.12345678");
    t.Set(1008, u"99.999999");
    EXPECT_EQ(t.EventChain(), "erstimsob( 123.44996, 0, 0, 0, 0) ");
    EXPECT_EQ(t.EvokedStage(u"IN"), "erpeakdet( ch4, IN, 1.2345678e-05, 0.12345678, 99.999999, 0, 0, 0, 0)");
    t.Set(2000, u"4");
    EXPECT_EQ(t.EventChain(), "pspeakdet( ch4, erstimsob( 123.44996, 0, 0, 0, 0) , 0.12345678, 99.999999, 0, 0, 0, 0) ");
    t.Set(2000, u"1");
    t.Set(1036, u"f");
    t.Set(1001, u"12.3456789");
    EXPECT_EQ(t.EventChain(), "cappeakdet( ch4, 1.2345678e-05, 12.3456789, 0, 0, 0, 0)");
    t.Set(1036, u"t");
    EXPECT_EQ(t.EventChain().substr(0, 63), "cappwf( ch1, calcbase( ch1, cappeakdet( ch4, 1.2345678e-05, 0, ");
    // The parameter records of the measuring stages likewise.
    t.Set(2000, u"3");
    t.Set(1022, u"10.04999");
    EXPECT_NE(t.CalculationStage().find("calcbase( ch1, erpeakdet( ch4, ch5, 1.2345678e-05, 0.12345678, 99.999999, 0, 0, "
                                        "0, 0), 1000, 5, 0.12345678, 99.999999, "),
              std::string::npos)
        << t.CalculationStage();
    EXPECT_NE(t.CalculationStage().find(", 10.04999, "), std::string::npos) << t.CalculationStage();
}

TEST(CalculationTexts, LimitsFollowTheStoredRange)
{
    const struct {
        bool noCurrentResult;
        const char16_t* range[4];
        const char* lim;
    } cases[] = {
        {true, {u"2", u"100", u"3", u"50"}, "0, 0, 0, 0"},
        {false, {u"-1", u"-1", u"-1", u"-1"}, "-1, -1, -1, -1"},
        {false, {u"2", u"100", u"3", u"50"}, "2, 100, 3, 50"},
    };
    for (const auto& c : cases) {
        Texts t;
        t.Set(2000, u"3");
        t.Set(1000, u"2");
        t.Set(2012, c.noCurrentResult ? u"t" : u"f");
        for (int i = 0; i < 4; ++i) {
            t.Set(2005 + i, c.range[i]);
        }
        EXPECT_EQ(t.EventChain(), "erstimsob( 50, " + std::string(c.lim) + ") ");
    }
}

TEST(CalculationTexts, SourceChannelAndDetectorWithoutWidthFilter)
{
    Texts t;
    t.settings.SetLong(2001, 31);
    t.settings.AddChannel(31);
    t.Set(2000, u"1");
    t.Set(1036, u"f");
    t.Set(1001, u"12.5");
    t.Set(1035, u"99");
    EXPECT_EQ(t.EventChain(), "cappeakdet( ch4, 0.03, 12.5, 0, 0, 0, 0)");
    t.Set(2000, u"5");
    EXPECT_EQ(t.EventChain(), "cappeakdet( ch4, 0.03, 99, 0, 0, 0, 0)");
    t.Set(1036, u"t");
    EXPECT_EQ(t.EventChain().substr(0, 24), "cappwf( ch32, calcbase( ");
}

TEST(CalculationTexts, UnstimulatedTypesAskTheDetectionSettings)
{
    Texts t;
    t.Set(2000, u"0");
    EXPECT_EQ(t.EventChain(), "pcc( ch1, lmpeaks( ch1, 1, 1, 5, 0.005, 0, 0.0005, 0.5 ), 0, 0, 0, 0 )");
    t.Set(1010, u"height=0.5;transform=1");
    t.Set(2000, u"2");
    t.host.requests.clear();
    // The detector stage (ch4) holds the transformed source: the detection over it does not transform again.
    EXPECT_EQ(t.EventChain(), "pcc( ch1, lmpeaks( ch4, 1, 1, 0.5, 0.005, 0, 0.0005, 0.5 ), 0, 0, 0, 0 )");
    ASSERT_EQ(t.host.requests.size(), 1u);
    EXPECT_EQ(t.host.requests[0].channel, 3);
    EXPECT_EQ(t.host.requests[0].kind, 4);
    EXPECT_EQ(t.host.requests[0].reserved, 0);

    // The other types never ask it anything.
    for (const char16_t* type : {u"1", u"3", u"4", u"5"}) {
        t.log.Clear();
        t.Set(2000, type);
        t.EventChain();
        t.CalculationStage();
        EXPECT_TRUE(t.log.Of("loopmetry").empty()) << Utf8(type);
    }
}

TEST(CalculationTexts, UnstimulatedTypesWithoutDetectionSettingsFallBack)
{
    for (const bool extension : {false, true}) {
        Texts t(extension);
        if (extension) {
            t.settings.AddChannel(9); // a group that was never bound
            t.settings.SetLong(2001, 9);
        }
        for (const char16_t* type : {u"0", u"2"}) {
            t.Set(2000, type);
            bool notBuilt = false;
            EXPECT_EQ(t.EventChain(&notBuilt), "77");
            EXPECT_TRUE(notBuilt);
        }
    }
}

TEST(CalculationTexts, TokensOfTheCalculationChannels)
{
    Texts t;
    t.Set(2000, u"4");
    EXPECT_EQ(t.CalculationStage(), "pscalc( ch1, ch5, 10, 11, 10, 0, 0, 0, 0 )");

    // Without the host's naming interface the stage is built around the caller's (empty) text.
    t.Set(2000, u"0");
    EXPECT_EQ(t.CalculationStage(nullptr).substr(0, 71),
              "calcbulk( ch1, calcbase2( ch1, calcamax( ch1, calcbase( ch1, , 1000, 5,");
    TokenDocument host;
    KVO::String text(u"kept");
    ExpressionBuilder selector(t.settings, nullptr, text, ExpressionBuilder::kSelector);
    EXPECT_EQ(Utf8(text.View()), "kept");
    EXPECT_FALSE(selector.NotBuilt());
    ExpressionBuilder named(t.settings, &host, text, ExpressionBuilder::kSelector);
    EXPECT_EQ(Utf8(text.View()), "ch6");
    ExpressionBuilder::SelectorExpression(27, text);
    EXPECT_EQ(Utf8(text.View()), "cxselector( ch6, 27)");
}

// Every analysis type with every stimulus detection mode, with and without the width filter: the event chain and
// the calculation stage. Brackets show the blanks at either end.
TEST(CalculationTexts, UnknownTypesBuildNoCalculationStage)
{
    // A stored type outside 0..5 has no detector; it gets no measuring stages either, which would read it as 0.
    for (const char16_t* type : {u"-1", u"6"}) {
        Texts t;
        t.Set(2000, type);
        t.Set(1000, u"2");
        EXPECT_EQ(t.EventChain(), "77") << Utf8(type);
        EXPECT_EQ(t.CalculationStage(), "77") << Utf8(type);
    }
}

TEST(CalculationTexts, TypeAndModeMatrixMatchesItsGoldenTexts)
{
    std::ostringstream listing;
    for (const char16_t* type : {u"-1", u"0", u"1", u"2", u"3", u"4", u"5", u"6"}) {
        for (const char16_t* mode : {u"1", u"2", u"3", u"4", u"5"}) {
            for (const char16_t* filter : {u"t", u"f"}) {
                Texts t;
                t.Set(2000, type);
                t.Set(1000, mode);
                t.Set(1036, filter);
                listing << "type " << Utf8(type) << " mode " << Utf8(mode) << " filter " << Utf8(filter) << "\n"
                        << "  event [" << t.EventChain() << "]\n"
                        << "  stage [" << t.CalculationStage() << "]\n";
            }
        }
    }
    doctest::CheckGolden("calculation_texts.txt", listing.str());
}
