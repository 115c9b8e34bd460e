#include "document/paramhelper.h"

#include "document/messageids.h"
#include "sdk/analysishost.h"
#include "sharedhost.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace {

// Three values; the hook counts its calls.
class ThreeValues final : public CX::ParamHelper {
public:
    std::int32_t Count() const override { return 3; }
    double* Value(std::int32_t index, double& value, bool write) override
    {
        if (index < 0 || index >= 3) {
            return nullptr;
        }
        if (write) {
            values[index] = value;
            return &values[index];
        }
        value = values[index];
        return &value;
    }
    double values[3] = {7.0, 7.0, 7.0};
    int afterRead = 0;

protected:
    void AfterRead() override { ++afterRead; }
};

} // namespace

TEST(ParamHelper, ReadsOneNumberPerValueAndWritesThemWithoutSeparators)
{
    ThreeValues params;
    std::wistringstream full(L" 1.5  -2e3 0.25 99");
    params.ReadValues(full);
    EXPECT_EQ(params.values[0], 1.5);
    EXPECT_EQ(params.values[1], -2000.0);
    EXPECT_EQ(params.values[2], 0.25);
    EXPECT_EQ(params.afterRead, 1);

    // A value that cannot be read, and every one after it, becomes -1.
    std::wistringstream broken(L"3, 4 5");
    params.ReadValues(broken);
    EXPECT_EQ(params.values[0], 3.0);
    EXPECT_EQ(params.values[1], -1.0);
    EXPECT_EQ(params.values[2], -1.0);
    std::wistringstream empty(L"");
    params.ReadValues(empty);
    EXPECT_EQ(params.values[0], -1.0);
    EXPECT_EQ(params.afterRead, 3);

    params.values[0] = 1.5;
    params.values[1] = -2;
    params.values[2] = 10;
    std::wostringstream out;
    params.WriteValues(out);
    EXPECT_EQ(out.str(), L"1.5-210");
}

TEST(ParamHelper, HostIdGettersShareOneNumberPerClass)
{
    host::Host& host = SharedHost();
    const DWORD chart = CX::Msg::ChartMessageId2() >> 16;
    ASSERT_NE(chart, 0u);
    EXPECT_EQ(chart, host.GetFramework().KnownTypeId(GUID_ChartMessages));
    EXPECT_NE(chart, 0u);
    EXPECT_EQ(CX::Msg::ChartMessageId2(), (chart << 16) | 2);
    EXPECT_EQ(CX::Msg::ChartMessageId16(), (chart << 16) | 16);
    EXPECT_EQ(CX::Msg::ChartMessageId18(), (chart << 16) | 18);
    const DWORD channelCalc = CX::Msg::ChannelCalcMessageId1();
    EXPECT_EQ(channelCalc, (DWORD{host.GetFramework().KnownTypeId(GUID_ChannelCalcMessages)} << 16) | 1);
    const DWORD calculationClass = ChannelCalcBase::GetRegisteredTypeId();
    EXPECT_EQ(calculationClass, DWORD{host.GetFramework().KnownTypeId(CX::CXChanCalcGUID)} << 16);
    EXPECT_NE(calculationClass, 0u);

    // The short ids of the host's message families: the chart messages' is the high half of their ids, and each
    // family has its own.
    EXPECT_EQ(DWORD{CX::Msg::ChartMessageClassId()}, chart);
    const WORD hostMessages = CX::Msg::HostMessageClassId();
    const WORD chartNotices = CX::Msg::HostChartMessageClassId();
    EXPECT_EQ(hostMessages, host.GetFramework().KnownTypeId(GUID_HostMessages));
    EXPECT_EQ(chartNotices, host.GetFramework().KnownTypeId(GUID_ChartNoticeFamily));
    EXPECT_NE(hostMessages, 0);
    EXPECT_NE(chartNotices, 0);
    EXPECT_NE(hostMessages, chart);
    EXPECT_NE(chartNotices, chart);
    EXPECT_NE(chartNotices, hostMessages);
    EXPECT_EQ(CX::Msg::HostChartMessageClassId(), chartNotices) << "asked once and kept";
}
