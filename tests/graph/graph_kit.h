// What the tests of the 2-D graph share: one stand-in host for the program (the graph library keeps its shared
// service), notice counters, and drawers and annotations that record what is asked of them.
#pragma once

#include "graph/mgraph1/graph2ddrawer.h"
#include "host/host.h"
#include "platform/owl/window.h"
#include "../frame/sharedhost.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <typeindex>
#include <vector>

namespace graphtest {

inline host::Host& GraphHost() { return SharedHost(); }

inline host::GraphService& Graphs() { return GraphHost().GetFramework().Graphs(); }

// A visible top-level window without a frame, not yet created.
inline std::unique_ptr<owl::TWindow> TopWindow(int x, int y, int width, int height)
{
    auto window = std::make_unique<owl::TWindow>(nullptr, u"frame");
    window->Attr.Style = WS_POPUP | WS_VISIBLE;
    window->Attr.X = x;
    window->Attr.Y = y;
    window->Attr.W = width;
    window->Attr.H = height;
    return window;
}

// The host scale behind a drawer's axis.
inline host::ScaleControl& Host(IScaleControl* axis) { return *static_cast<host::ScaleControl*>(axis); }

// Counts the notices it gets by class and keeps the last of each.
class NoticeCounter : public MessSys::MessageReceiver {
public:
    bool OnMessage(MessSys::Message& message) override
    {
        ++counts[std::type_index(typeid(message))];
        if (auto* hints = dynamic_cast<MGraph1::MouseTrackHintMsg*>(&message)) {
            lastHints = *hints->hints;
        }
        if (auto* begin = dynamic_cast<MGraph1::MsgGraph2DDrawerNotifyBeginRedraw*>(&message)) {
            lastRedraw = *begin->record;
        }
        return true;
    }
    template <class Notice>
    int Count() const
    {
        const auto found = counts.find(std::type_index(typeid(Notice)));
        return found == counts.end() ? 0 : found->second;
    }
    std::map<std::type_index, int> counts;
    MGraph1::TrackHintList lastHints;
    MGraph1::RedrawRecord lastRedraw;
};

// A plotter that fills its plot with a colour and counts its draws; it asks for a redraw only when told to.
class CountingPlotter : public MGraph1::Plotter {
public:
    explicit CountingPlotter(COLORREF fill = RGB(0, 200, 0), bool* deleted = nullptr) : fill_(fill), deleted_(deleted)
    {
    }
    ~CountingPlotter() override
    {
        if (deleted_) {
            *deleted_ = true;
        }
    }
    void Draw(HDC dc, HDC, const RECT& plot, const RECT&) override
    {
        ++draws;
        needsRedraw = false;
        const RECT corner{plot.left + 1, plot.top + 1, plot.left + 6, plot.top + 6};
        HBRUSH brush = CreateSolidBrush(fill_);
        FillRect(dc, &corner, brush);
        DeleteObject(brush);
    }
    bool IsDataMissingOrChanged() override { return changed; }
    int draws = 0;
    bool changed = false;

private:
    COLORREF fill_;
    bool* deleted_;
};

// An annotation that answers as told and records the clicks and moves offered to it.
class ScriptedAnnotation : public MGraph1::Annotation {
public:
    bool TrackAt(int a, int b, int c, int d) override
    {
        clicks.push_back({a, b, c, d});
        return takesClicks;
    }
    bool OnMouseMove(int, int, POINT, int) override
    {
        ++moves;
        return repaint;
    }
    bool GetText(KVO::String* out) const override
    {
        *out = text;
        return hasText;
    }
    bool IsErasable() const override { return erasable; }
    void Draw(HDC, HDC, const RECT&, const RECT&) override { ++draws; }
    std::vector<std::vector<int>> clicks;
    int moves = 0;
    int draws = 0;
    bool takesClicks = false;
    bool repaint = false;
    bool hasText = false;
    bool erasable = true;
    KVO::String text;
};

// A drawer that only counts.
class CountingDrawer : public MGraph1::GraphDrawer {
public:
    void Draw(HDC, HDC, const RECT&, const RECT&) override { ++draws; }
    int draws = 0;
};

} // namespace graphtest
