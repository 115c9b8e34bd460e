// The graph library's notices with their payloads (the class of a notice is its identity).
#pragma once

#include "graph/mgraph1/messsys.h"

#include "foundation/kvostring.h"
#include "platform/win/windef.h"

#include <vector>

namespace MGraph1 {

struct PointD {
    double x = 0.0;
    double y = 0.0;
    friend bool operator==(const PointD&, const PointD&) = default;
};

// Notices of a draggable marker: its position twice, then its tracking position twice.
class MessageTrackMessage : public MessSys::Message {
public:
    MessageTrackMessage(std::int32_t source, PointD position, PointD tracking)
        : Message(source), position(position), positionAgain(position), tracking(tracking), trackingAgain(tracking)
    {
    }
    PointD position;
    PointD positionAgain;
    PointD tracking;
    PointD trackingAgain;
};

class MessageQueenChanged : public MessageTrackMessage {
public:
    using MessageTrackMessage::MessageTrackMessage;
};

class MessageQueenTrackEnd : public MessageTrackMessage {
public:
    using MessageTrackMessage::MessageTrackMessage;
};

class MessageQueenControllerTrackBegin : public MessSys::Message {};
class MessageQueenControllerTrackEnd : public MessSys::Message {};

// Notices of a drag scale.
class MsgBeginDrag : public MessSys::Message {
public:
    explicit MsgBeginDrag(std::int32_t value) : value(value) {}
    std::int32_t value;
};

class MsgEndDrag : public MessSys::Message {
public:
    explicit MsgEndDrag(std::int32_t value) : value(value) {}
    std::int32_t value;
};

class MsgScalingChanged : public MessSys::Message {
public:
    MsgScalingChanged(const double* pixelTransform, const double* scaling, std::int32_t scaleId)
        : pixelTransform(pixelTransform), scaling(scaling), scaleId(scaleId)
    {
    }
    const double* pixelTransform; // the scale's new pixel transform (scale, offset)
    const double* scaling;        // its unit scaling pair at the time of the notice
    std::int32_t scaleId;
};

class MsgAutoScale : public MessSys::Message {
public:
    explicit MsgAutoScale(std::int32_t value) : value(value) {}
    std::int32_t value;
};

// Notices of the 2-D graph drawer.
struct RedrawRecord {
    HDC dc = nullptr; // the memory context the background is drawn in
    int width = 0;
    RECT plot{};
    double domain[2] = {0.0, 1.0};
    double range[2] = {0.0, 1.0};
};

class MsgGraph2DDrawerNotifyBeginRedraw : public MessSys::Message {
public:
    MsgGraph2DDrawerNotifyBeginRedraw(std::int32_t source, const RedrawRecord* record) : Message(source), record(record) {}
    const RedrawRecord* record;
};

class MsgGraph2DDrawerNotifyEndRedraw : public MessSys::Message {
public:
    explicit MsgGraph2DDrawerNotifyEndRedraw(std::int32_t source) : Message(source) {}
    std::int32_t value = 3;
};

class MsgGraph2DDrawerOnDomainChanged : public MessSys::Message {
public:
    using Message::Message;
};

class MsgGraph2DDrawerOnRangeChanged : public MessSys::Message {
public:
    using Message::Message;
};

// What an annotation has to say about the point under the mouse.
struct TrackHint {
    RECT plot{};
    POINT point{};
    KVO::String text;
};
using TrackHintList = std::vector<TrackHint>;

class MouseTrackHintMsg : public MessSys::Message {
public:
    MouseTrackHintMsg(std::int32_t source, const TrackHintList* hints) : Message(source), hints(hints) {}
    const TrackHintList* hints;
    std::int32_t first = -1;
    std::int32_t second = -1;
};

class MouseLeaveMsg : public MessSys::Message {
public:
    using Message::Message;
};

// Notices of the graph menu, sent to an item's owner with the item's cookie as source.
struct MenuItemLook {
    bool* shown;
    bool* enabled;
    bool* marked;
    KVO::String* text;
};

class PreDisplayMenuMessage : public MessSys::Message {
public:
    PreDisplayMenuMessage(std::int32_t cookie, MenuItemLook look) : Message(cookie), look(look) {}
    MenuItemLook look;
};

class OnMenuItemMessage : public MessSys::Message {
public:
    using Message::Message;
};

} // namespace MGraph1
