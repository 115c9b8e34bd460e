// The graph library's notices with their payloads (the class of a notice is its identity).
#pragma once

#include "graph/mgraph1/messsys.h"

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
    MsgScalingChanged(std::int32_t value, const double* scaling, std::int32_t secondValue)
        : value(value), scaling(scaling), secondValue(secondValue)
    {
    }
    std::int32_t value;
    const double* scaling; // the scale and offset pair at the time of the notice
    std::int32_t secondValue;
};

class MsgAutoScale : public MessSys::Message {
public:
    explicit MsgAutoScale(std::int32_t value) : value(value) {}
    std::int32_t value;
};

} // namespace MGraph1
