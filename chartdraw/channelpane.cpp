#include "chartdraw/channelpane.h"

#include "foundation/kvostring.h"
#include "foundation/xkvo.h"
#include "platform/win/winuser.h"
#include "frame/typeid.h"
#include "graph/mgraph1/graph2ddrawer.h"
#include "platform/com/oleauto.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <cmath>
#include <limits>

namespace ChartDraw {

namespace {
struct PrefixEntry {
    char16_t letter;
    double multiplier;
};
// Multipliers turn base units into the prefixed unit; 0 is "no prefix set", 15 is an unused slot.
constexpr std::array<PrefixEntry, 16> kPrefixes{{
    {u'?', 1.0}, {0, 1.0}, {u'a', 1e18}, {u'f', 1e15}, {u'p', 1e12}, {u'n', 1e9}, {u'\u00B5', 1e6}, {u'm', 1e3},
    {0, 1.0}, {u'k', 1e-3}, {u'M', 1e-6}, {u'G', 1e-9}, {u'T', 1e-12}, {u'P', 1e-15}, {u'E', 1e-18}, {0, 1.0},
}};
} // namespace

HRESULT SiPrefix(LONG index, char16_t* letter, double* multiplier)
{
    if (!letter || !multiplier) {
        return E_POINTER;
    }
    *letter = 0;
    *multiplier = 1.0;
    if (index < 0 || index >= static_cast<LONG>(kPrefixes.size())) {
        return E_INVALIDARG;
    }
    *letter = kPrefixes[index].letter;
    if (index >= 1 && index <= 14) {
        *multiplier = kPrefixes[index].multiplier;
    }
    return S_OK;
}

namespace {
// The family of the view messages that the chart panes send to their observers.
// {8D31E6A4-2B7C-4F59-9E08-C4A1D57B3E92}
constexpr GUID kViewMessageFamily{0x8D31E6A4, 0x2B7C, 0x4F59, {0x9E, 0x08, 0xC4, 0xA1, 0xD5, 0x7B, 0x3E, 0x92}};

// Lane scales stand upright: the host's kind bit 0 (a horizontal scale) is never passed for them.
constexpr DWORD kHorizontalKind = 1u;
constexpr DWORD kStyleLane2 = 1u << 1;
constexpr DWORD kStyleNoControlsClear = 1u << 4;
constexpr DWORD kStyleNoControlsSet = 1u << 3;

template <class T>
platform::ComPtr<T> QueryFor(IUnknown* object, const IID& iid)
{
    platform::ComPtr<T> result;
    if (object) {
        object->QueryInterface(iid, result.OutVoid());
    }
    return result;
}
} // namespace

// The preview panes' change notice; its type id's low word 1 and 2 are the lane-units messages.
// {B7E25C19-40D8-4A63-8F1E-2D96A3C07B58}
constexpr GUID kPreviewChangeNotice{0xB7E25C19, 0x40D8, 0x4A63, {0x8F, 0x1E, 0x2D, 0x96, 0xA3, 0xC0, 0x7B, 0x58}};

DWORD PreviewChangeMessageId() { return TypeIdClass<&kPreviewChangeNotice, 0>::Get(); }
DWORD LaneUnitsMessageId() { return TypeIdClass<&kPreviewChangeNotice, 1>::Get(); }
DWORD ExtendedLaneUnitsMessageId() { return TypeIdClass<&kPreviewChangeNotice, 2>::Get(); }
DWORD AutoscaleMessageId() { return TypeIdClass<&kViewMessageFamily, 47>::Get(); }
DWORD ChannelEventMessageId() { return TypeIdClass<&kViewMessageFamily, 46>::Get(); }

ChannelPane::ChannelPane(LONG index, ChildPaneOwner* owner, DWORD a, DWORD b) : ChildPaneBase(index, owner)
{
    flagsA = a;
    flagsB = b;
}

ChannelPane::ChannelPane(const ChannelPane& other)
    : ChildPaneBase(other), ChannelPaneInit(other)
{
    auto settle = [](const platform::ComPtr<IScaleControl>& drag, const platform::ComPtr<IScaleControl>& scale,
                     platform::ComPtr<IScaleControl>& into) {
        if (drag) {
            drag->Copy(into.Out());
        } else {
            into = scale;
        }
    };
    settle(other.drag1_, other.scale1_, scale1_);
    notice1_ = QueryFor<ILaneScaleNotice>(scale1_.Get(), IID_ILaneScaleNotice);
    settle(other.drag2_, other.scale2_, scale2_);
}

ChannelPane::~ChannelPane()
{
    // The host's scales keep no reference on their observers: a pane that goes must leave them.
    for (const auto* drag : {&drag1_, &drag2_}) {
        if (*drag) {
            (*drag)->UnregisterObserver(this);
        }
    }
    notice1_.Reset();
    drag1_.Reset();
    drag2_.Reset();
    scale1_.Reset();
    scale2_.Reset();
}

HRESULT ChannelPane::OnBeginDrag(LONG)
{
    if (Owner()) {
        Owner()->SetNoInteraction(true);
    }
    return S_OK;
}

HRESULT ChannelPane::OnEndDrag(LONG lane)
{
    if (Owner()) {
        Owner()->SetNoInteraction(false);
        Owner()->NotifyChannelEvent(paneIndex, lane, 0, DragScale(lane));
    }
    return S_OK;
}

HRESULT ChannelPane::OnScalingChanged(LONG lane, LONG, const double* pixelTransform)
{
    if (!pixelTransform) {
        return E_POINTER;
    }
    return ScaleChanged(lane, pixelTransform[0], pixelTransform[1]);
}

HRESULT ChannelPane::OnAutoScale(LONG lane) { return RequestAutoscale(lane); }

HRESULT ChannelPane::GetDataRange(LONG lane, double* range, WORD* unscaled)
{
    double low = std::numeric_limits<double>::max();
    double high = -std::numeric_limits<double>::max();
    if (unscaled) {
        *unscaled = 0xFFFF;
    }
    if (range) {
        range[0] = low;
        range[1] = high;
    }
    ChartBlockPosition start;
    ChartBlockPosition end;
    const HRESULT span = Owner() ? Owner()->VisibleTimeRange(&start, &end) : E_POINTER;
    if (FAILED(span)) {
        return span;
    }
    bool answered = false;
    for (std::uint32_t at = 0; at < DrawerCount(); ++at) {
        IChartRecordDrawer* drawer = DrawerAt(at);
        if (unitChannel == 0 && unscaled) {
            IKVOString* text = nullptr;
            WORD flag = 0;
            double scale[2]{1.0, 0.0};
            if (drawer->GetUnitTextEx(lane, start.block, &text, &flag, nullptr, nullptr, scale) == S_OK &&
                (scale[0] != 1.0 || scale[1] != 0.0)) {
                *unscaled = 0;
            }
            if (text) {
                text->Release();
            }
        }
        double answer[2]{0.0, 0.0};
        if (drawer->RequestData(kChartRequestDataRange, lane, reinterpret_cast<LONG_PTR>(&start),
                                reinterpret_cast<LONG_PTR>(&end), reinterpret_cast<LONG_PTR>(answer), 0, 0) != S_OK) {
            continue;
        }
        low = answered ? std::min(low, answer[0]) : answer[0];
        high = answered ? std::max(high, answer[1]) : answer[1];
        answered = true;
    }
    if (unitChannel != 0 && unscaled) {
        *unscaled = 0;
    }
    if (range) {
        range[0] = low;
        range[1] = high;
    }
    return answered ? S_OK : S_FALSE;
}

double ChannelPane::ScaleValueAt(LONG coordinate) const
{
    if (!scale1_ || (flagsA & kLane1NoScaleRect)) {
        return 0.0;
    }
    // The scale maps a value to pixels from its strip's top: pixel = (value + offset) * scale.
    double transform[2]{0.0, 0.0};
    RECT strip{};
    if (FAILED(scale1_->GetPixelTransform(transform)) || transform[0] == 0.0 || FAILED(scale1_->GetFrameRect(&strip))) {
        return 0.0;
    }
    return (coordinate - strip.top) / transform[0] - transform[1];
}

HRESULT ChannelPane::ScaleChanged(LONG lane, double scale, double offset)
{
    std::unique_lock<std::recursive_mutex> guard;
    if (Owner() && Owner()->PaneLock()) {
        guard = std::unique_lock(*Owner()->PaneLock());
    }
    // The data pane's lanes may redirect the scale; without a redirection it is this pane's own.
    platform::ComPtr<IUnknown> source;
    if (IDrawerDataPane* services = Owner() ? Owner()->DrawerServices() : nullptr) {
        services->GetLaneInformation(paneIndex, lane, source.Out());
    }
    if (!source) {
        platform::ComPtr<IScaleControl> own;
        GetScaleForLane(lane, own.Out());
        source = own.Get();
    }
    // The scale holds the lane's range in its prefixed unit (`ScaleLaneRange`); the drawers map the data's own.
    const LaneUnitRecord& record = UnitRecord(lane == 1 ? 1 : 2);
    const double multiplier = record.Unscaled() ? 1.0 : record.multiplier;
    // Tall strips reach 2 pixels beyond the lane at each end; the drawers spread the scale's range over the lane.
    const LONG height = rect.bottom - rect.top;
    const LONG strip = height + ((flagsB & kTallStrips) ? 4 : 0);
    const double fit = height > 0 && strip > 0 ? static_cast<double>(height) / strip : 1.0;
    const double pair[2]{scale * multiplier * fit, offset / multiplier};
    bool accepted = false;
    for (std::uint32_t index = 0; index < DrawerCount(); ++index) {
        accepted |= DrawerAt(index)->OnScaleChanged(lane, 0, pair, source.Get()) == S_OK;
    }
    if (Owner()) {
        if (accepted) {
            InvalidateAll();
            Owner()->DropDragRect();
            Owner()->InvalidatePaneRect(rect);
        }
        Owner()->RefreshObjects();
    }
    return S_OK;
}

HRESULT ChannelPane::RequestAutoscale(LONG lane)
{
    LONG pair[2]{LONG(0x80000000), LONG(0xC0000000)};
    if (Owner()) {
        Owner()->ChannelSelectors(paneIndex, pair);
        Owner()->RequestAutoscale(pair, lane);
    }
    // The host's drag scale has no autoscale of its own: the lane waits for a range, and the data pane gives it
    // the range of the visible data.
    if ((lane != 1 && lane != 2) || !DragScale(lane)) {
        return E_FAIL;
    }
    SetRangePending(lane, true);
    if (Owner()) {
        Owner()->ApplyPendingRanges();
    }
    return S_OK;
}

HRESULT ChannelPane::SetPlacement(DWORD id, const LONG pair[2], const RECT& r)
{
    const HRESULT result = ChildPaneBase::SetPlacement(id, pair, r);
    const LONG grow = (flagsB & kTallStrips) ? 2 : 0;
    const LONG top = rect.top - grow;
    const LONG bottom = rect.bottom + grow;
    for (std::uint32_t index = 0; index < DrawerCount(); ++index) {
        DrawerAt(index)->SetRect(paneIndex, &rect);
    }
    if (scale1_ && !(flagsA & kLane1NoScaleRect)) {
        const RECT strip{rect.left - strips_.left, top, rect.left, bottom};
        scale1_->SetScaleRect(&strip);
    }
    if (scale2_) {
        const LONG left = rect.right + 2 * strips_.gap;
        const RECT strip{left, top, left + strips_.right, bottom};
        scale2_->SetScaleRect(&strip);
    }
    // A scale tells its observers of range changes only: a range given before the strip had a height reached the
    // drawers without a usable mapping, so they get the mapping over the new strip here.
    OfferScaleMappings();
    return result;
}

void ChannelPane::OfferScaleMappings()
{
    for (LONG lane : {1, 2}) {
        IScaleControl* scale = Scale(lane);
        // A scale without a usable range leaves the preset pair: the drawers keep theirs.
        double pair[2]{std::nan(""), std::nan("")};
        if (scale && scale->GetPixelTransform(pair) == S_OK && !std::isnan(pair[0]) && !std::isnan(pair[1])) {
            ScaleChanged(lane, pair[0], pair[1]);
        }
    }
}

HRESULT ChannelPane::AddDrawer(DWORD flags, IChartRecordDrawer* drawer, BYTE alpha)
{
    const HRESULT result = ChildPaneBase::AddDrawer(flags, drawer, alpha);
    // A drawer added after its lane got a range starts from that range, not from its own neutral mapping.
    OfferScaleMappings();
    return result;
}

HRESULT ChannelPane::OnNewBlock(DWORD argument)
{
    for (LONG lane : {1, 2}) {
        if (IScaleControl* scale = Scale(lane)) {
            double pair[2]{1.0, 0.0};
            scale->GetPixelTransform(pair);
            ScaleChanged(lane, pair[0], pair[1]);
        }
    }
    return Forward(&IChartRecordDrawer::OnNewBlock, argument);
}

HRESULT ChannelPane::ReadState(IStream* stream)
{
    if (!stream) {
        return E_POINTER;
    }
    auto read = [stream](void* into, ULONG size) { return ReadStateBytes(stream, into, size); };
    DWORD version = 0;
    if (const HRESULT hr = read(&version, sizeof version); hr != S_OK) {
        return hr;
    }
    if (version > 3) {
        throw XKVO(kBadStateVersion);
    }
    if (version == 2) {
        BYTE hasRange = 0;
        if (const HRESULT hr = read(&hasRange, 1); hr != S_OK) {
            return hr;
        }
        if (hasRange) {
            double discarded[2];
            return read(discarded, sizeof discarded);
        }
    }
    return S_OK;
}

HRESULT ChannelPane::WriteState(IStream* stream)
{
    if (!stream) {
        return E_POINTER;
    }
    const DWORD version = 3;
    return stream->Write(&version, sizeof version, nullptr);
}

HRESULT ChannelPane::Clone(ChannelPane** out) const
{
    if (!out) {
        return E_POINTER;
    }
    auto* copy = new ChannelPane(*this);
    copy->AddRef();
    *out = copy;
    return S_OK;
}

HRESULT ChannelPane::CreateLaneScales(DWORD word1, DWORD word2)
{
    ownerWord1 = word1;
    ownerWord2 = word2;
    const bool noControls = Owner() && Owner()->NoControlsMode();
    DWORD style = flagsB;
    if (noControls) {
        style = (style & ~kStyleNoControlsClear) | kStyleNoControlsSet;
    }
    const LONG value = (flagsB & kTallStrips) ? -2 : 0;
    IGraphHostService* service = MGraph1::GetSharedHostService();
    const HWND parent = Owner() ? Owner()->ScaleParent() : nullptr;
    auto build = [&](LONG lane, DWORD laneStyle, platform::ComPtr<IScaleControl>& drag,
                     platform::ComPtr<IScaleControl>& scale) {
        const LONG kind = static_cast<LONG>(laneStyle & ~kHorizontalKind);
        if (!noControls) {
            if (drag) {
                drag->UnregisterObserver(this);
            }
            drag.Reset();
            if (service) {
                service->CreateScaleControl(parent, value, value, kind, lane, drag.Out());
            }
            scale = drag;
        } else {
            scale.Reset();
            MGraph1::CallSharedHostService(scale.Out(), value, value, static_cast<DWORD>(kind), lane);
            if (drag) {
                drag->UnregisterObserver(this);
            }
            drag.Reset();
        }
    };
    if (flagsA & kLane1Exists) {
        build(1, style & ~kStyleLane2, drag1_, scale1_);
        notice1_ = QueryFor<ILaneScaleNotice>(scale1_.Get(), IID_ILaneScaleNotice);
    }
    if (flagsA & kLane2Exists) {
        build(2, style | kStyleLane2, drag2_, scale2_);
    }
    return S_OK;
}

HRESULT ChannelPane::AttachDragScales()
{
    for (const auto* drag : {&drag1_, &drag2_}) {
        if (*drag) {
            (*drag)->RegisterObserver(this);
        }
    }
    return S_OK;
}

HRESULT ChannelPane::GetChannelTitle(std::u16string& text) const
{
    text.clear();
    if (!Owner() || !Owner()->ChannelTitle(paneIndex, text)) {
        text.clear();
        return E_FAIL;
    }
    return S_OK;
}

HRESULT ChannelPane::SendChannelNotice(LONG value)
{
    // Packed little-endian words: the notice code, 0, 34, the channel and the value.
    const std::array<std::uint32_t, 5> body{0x800C008Du, 0u, 34u, static_cast<std::uint32_t>(paneIndex),
                                            static_cast<std::uint32_t>(value)};
    if (!Owner() || !Owner()->SendFrameworkMessage(4, body.data(), sizeof body)) {
        return E_FAIL;
    }
    return S_OK;
}

HRESULT ChannelPane::GetScaleForLane(LONG lane, IScaleControl** out) const
{
    if (!out) {
        return E_POINTER;
    }
    IScaleControl* scale = lane == 1 ? scale1_.Get() : scale2_.Get();
    if (scale) {
        scale->AddRef();
    }
    *out = scale;
    return S_OK;
}

void ChannelPane::AdoptLaneScale(IUnknown* object)
{
    if (!object) {
        return;
    }
    if (!scale1_) {
        scale1_ = QueryFor<IScaleControl>(object, IID_IScaleControl);
    }
    if (!notice1_) {
        notice1_ = QueryFor<ILaneScaleNotice>(object, IID_ILaneScaleNotice);
    }
    if (!drag1_) {
        drag1_ = QueryFor<IScaleControl>(object, IID_IScaleControl);
    }
}

bool ChannelPane::QueryLaneUnits(LONG lane, DWORD channel, LONG index, LaneUnits& units, LONG selectorPair[2])
{
    const bool textOnly = channel == 0 && Owner() && (Owner()->PaneModeFlags() & (1u << 31));
    for (std::uint32_t at = 0; at < DrawerCount(); ++at) {
        IChartRecordDrawer* drawer = DrawerAt(at);
        drawer->SetOption(channel);
        IKVOString* text = nullptr;
        WORD flag = 0;
        double scale[2]{1.0, 0.0};
        double range[2]{HUGE_VAL, -HUGE_VAL};
        if (textOnly) {
            drawer->GetUnitText(lane, index, &text, &flag);
        } else {
            drawer->GetUnitTextEx(lane, index, &text, &flag, range, nullptr, scale);
        }
        std::u16string found = text && text->GetText() ? std::u16string(text->GetText()) : std::u16string();
        if (text) {
            text->Release();
        }
        if (!found.empty()) {
            units.text = std::move(found);
            std::copy(std::begin(scale), std::end(scale), units.scale);
            std::copy(std::begin(range), std::end(range), units.range);
            drawer->GetChannel(selectorPair);
            return true;
        }
    }
    return false;
}

LONG ChannelPane::RefreshLaneUnits(LONG first, LONG last)
{
    flag1 = flag2 = 0;
    LONG found = kNoUnitsFound;
    const DWORD mode = Owner() ? Owner()->PaneModeFlags() : 0;
    const bool textOnly = unitChannel == 0 && (mode & (1u << 31));
    const bool scalesTakeTexts = static_cast<LONG>(unitTextMode) < 0;
    auto enableDragScale = [&](IScaleControl* drag, bool unitsFound) {
        HWND window = nullptr;
        if (drag && drag->GetWindowHandle(&window) == S_OK && window) {
            EnableWindow(window, unitsFound && !((mode & (1u << 27)) && first == kNoUnitsFound));
        }
    };
    auto decorate = [this](const LaneUnitRecord& record, LaneUnits& units) {
        if (!units.text.empty() && units.text != u" " && record.prefixIndex != 0) {
            units.text = DecorateUnitText(record, units.text);
        }
    };

    LaneUnits units1;
    bool found1 = false;
    for (LONG index = first; index <= last && !found1; ++index) {
        if (QueryLaneUnits(1, unitChannel, index, units1, lane1Selector)) {
            found1 = true;
            found = index;
        }
    }
    flag2 = found1 ? 1 : 0;
    if (found1) {
        decorate(lane1, units1);
    }
    KVO::String given1;
    bool gave = false;
    if (scale1_ && scalesTakeTexts) {
        given1 = KVO::String(units1.text.c_str());
        scale1_->SetScaling(textOnly ? nullptr : units1.scale, nullptr);
        scale1_->SetUnits(units1.text.c_str());
        if (notice1_) {
            notice1_->SetDataRange(units1.range[0], units1.range[1]);
            notice1_->SetUnitChannel(static_cast<LONG>(unitChannel));
        }
        if (drag1_ && !(flagsA & (1u << 29))) {
            drag1_->SetOption(found1 ? -1 : 0);
        }
        enableDragScale(drag1_.Get(), found1);
        gave = true;
    }

    LaneUnits units2;
    bool found2 = false;
    for (LONG index = last; index >= first && !found2; --index) {
        if (QueryLaneUnits(2, unitChannel, index, units2, lane2Selector)) {
            found2 = true;
            if (!found1) {
                found = index;
            }
        }
    }
    flag1 = found2 ? 1 : 0;
    if (found2) {
        decorate(lane2, units2);
    }
    KVO::String given2;
    if (scale2_ && scalesTakeTexts) {
        given2 = KVO::String(units2.text.c_str());
        scale2_->SetUnits(units2.text.c_str());
        if (auto notice = QueryFor<ILaneScaleNotice>(scale2_.Get(), IID_ILaneScaleNotice)) {
            notice->SetDataRange(units2.range[0], units2.range[1]);
        }
        if (drag2_) {
            drag2_->SetOption(found2 ? -1 : 0);
        }
        enableDragScale(drag2_.Get(), found2);
        gave = true;
    }

    if (gave && Owner()) {
        // Packed: the two found flags, the two unit texts as string references (they live until the sends
        // return), and for the extended message two words of all ones.
        std::array<BYTE, 2 + 2 * sizeof(IKVOString*) + 8> body{};
        body[0] = found1 ? 1 : 0;
        body[1] = found2 ? 1 : 0;
        IKVOString* texts[2]{given1.Rep(), given2.Rep()};
        std::memcpy(body.data() + 2, texts, sizeof texts);
        std::memset(body.data() + 2 + sizeof texts, 0xFF, 8);
        Owner()->SendToObservers(LaneUnitsMessageId(), body.data(), 2 + sizeof texts);
        Owner()->SendToObservers(ExtendedLaneUnitsMessageId(), body.data(), body.size());
    }
    return found;
}

HRESULT ChannelPane::SetLanePrefix(LONG lane, LONG index)
{
    char16_t letter = 0;
    double multiplier = 1.0;
    SiPrefix(index, &letter, &multiplier);
    if (lane != 1 && lane != 2) {
        return E_FAIL;
    }
    LaneUnitRecord& record = lane == 1 ? lane1 : lane2;
    record = LaneUnitRecord{letter, multiplier, index};
    IScaleControl* scale = Scale(lane);
    if (!scale) {
        return E_FAIL;
    }
    double unused[2]{1.0, 0.0};
    BSTR unitText = nullptr;
    scale->GetScaling(unused, &unitText);
    const double pair[2]{multiplier, 0.0};
    const HRESULT result = scale->SetScaling(pair, unitText ? unitText : u"");
    SysFreeString(unitText);
    if (Owner()) {
        Owner()->InvalidatePaneRect(rect);
    }
    return result;
}

void ChannelPane::ScaleLaneRange(LONG lane, double& minimum, double& maximum) const
{
    const LaneUnitRecord& record = lane == 1 ? lane1 : lane2;
    if (!record.Unscaled()) {
        minimum *= record.multiplier;
        maximum *= record.multiplier;
    }
}

platform::ComPtr<IChartDataBlock> ChannelPane::SetVisibleIndices(LONG first, LONG last)
{
    visibleFirst_ = first;
    visibleLast_ = last;
    return VisibleData(1);
}

platform::ComPtr<IChartDataBlock> ChannelPane::VisibleData(LONG lane) const
{
    for (std::uint32_t at = 0; at < DrawerCount(); ++at) {
        IChartRecordDrawer* drawer = DrawerAt(at);
        // A drawer that does not tell its lane draws on lane 1.
        LONG drawerLane = 1;
        if (FAILED(drawer->GetLane(&drawerLane))) {
            drawerLane = 1;
        }
        if ((drawerLane == 2) != (lane == 2)) {
            continue;
        }
        platform::ComPtr<IUnknown> data;
        if (drawer->GetData(visibleFirst_, data.Out()) == S_OK && data) {
            if (auto block = QueryFor<IChartDataBlock>(data.Get(), IID_IChartDataBlock)) {
                return block;
            }
        }
    }
    return nullptr;
}

void ChannelPane::OfferAutoscaleRange(double minimum, double maximum, LONG lane)
{
    ScaleLaneRange(lane == 2 ? 2 : 1, minimum, maximum);
    IScaleControl* drag = DragScale(lane == 2 ? 2 : 1);
    if (!drag) {
        return;
    }
    if (notice1_ && lane != 2) {
        notice1_->SetDataRange(minimum, maximum);
    }
    if (RangePending(lane == 2 ? 2 : 1)) {
        drag->SetRange(minimum, maximum);
        SetRangePending(lane == 2 ? 2 : 1, false);
    }
}

HRESULT ChannelPane::SetLaneRange(LONG lane, double minimum, double maximum)
{
    if (std::isunordered(minimum, maximum)) {
        return E_FAIL;
    }
    ScaleLaneRange(lane, minimum, maximum);
    IScaleControl* scale = Scale(lane == 1 ? 1 : 2);
    if (!scale) {
        return E_FAIL;
    }
    SetRangePending(lane == 1 ? 1 : 2, false);
    return scale->SetRange(minimum, maximum) == S_OK ? S_OK : E_FAIL;
}

bool ChannelPane::ApplyLaneRange(LONG lane, double minimum, double maximum, bool alsoOnDragScale, bool force)
{
    if (std::isunordered(minimum, maximum)) {
        return false;
    }
    ScaleLaneRange(lane, minimum, maximum);
    const LONG which = lane == 1 ? 1 : 2;
    IScaleControl* scale = Scale(which);
    if (!scale) {
        return false;
    }
    bool accepted = false;
    if (alsoOnDragScale && DragScale(which)) {
        accepted = DragScale(which)->SetRange(minimum, maximum) == S_OK;
    }
    if (!force && !RangePending(which)) {
        return accepted;
    }
    const HRESULT result = scale->SetRange(minimum, maximum);
    SetRangePending(which, false);
    return result == S_OK;
}

DWORD ChannelPane::PendingRanges() const { return (RangePending(1) ? 1u : 0u) | (RangePending(2) ? 2u : 0u); }

void ChannelPane::SetPendingRanges(DWORD bits)
{
    SetRangePending(1, (bits & 1u) != 0);
    SetRangePending(2, (bits & 2u) != 0);
}

void ChannelPane::SetRangePending(LONG lane, bool on)
{
    if (Owner()) {
        Owner()->MarkAutoscale(paneIndex, lane, on);
    }
}

std::u16string ChannelPane::DecorateUnitText(const LaneUnitRecord& record, const std::u16string& text) const
{
    if (record.Unscaled() || record.letter == 0) {
        return text;
    }
    return std::u16string(1, record.letter) + text;
}

} // namespace ChartDraw
