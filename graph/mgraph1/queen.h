// Draggable markers (queens) and the drawer that holds the queens of one graph and runs a drag from begin to end.
// Queens can be bounded by fixed limits and tied to one another, so that dragging one moves or bounds the others.
#pragma once

#include "graph/mgraph1/drawer.h"
#include "graph/mgraph1/messages.h"

#include <utility>
#include <vector>

namespace MGraph1 {

class Queen;

// Constraint flags (p: the pointer position being applied; x, y: the queen's tracking position; q: the other
// queen's position).
enum QueenConstraintFlags : std::uint32_t {
    kRaisePX = 0x1,       // p.x at least the value
    kRaisePY = 0x2,       // p.y at least the value
    kLowerPX = 0x4,       // p.x at most the value
    kLowerPY = 0x8,       // p.y at most the value
    kPullDownX = 0x10,    // x lowered to p.x when above it
    kPullDownY = 0x20,    // y lowered to p.y when above it
    kPullUpX = 0x40,      // x raised to p.x when below it (unless kPullDownX acted)
    kPullUpY = 0x80,      // y raised to p.y when below it (unless kPullDownY acted)
    kLinkXToPY = 0x100,   // linked: x becomes p.y
    kLinkYToPX = 0x200,   // linked: y becomes p.x (unless kLinkXToPY acted)
    kLinkX = 0x400,       // linked: x becomes p.x
    kLinkY = 0x800,       // linked: y becomes p.y
    kAtLeastQX = 0x1000,  // x raised to q.x when below it
    kAtMostQX = 0x2000,   // x lowered to q.x when above it
    kAtLeastQY = 0x4000,  // y raised to q.y when below it
    kAtMostQY = 0x8000,   // y lowered to q.y when above it
};

struct QueenConstraint {
    Queen* other = nullptr;
    double value = 0.0;
    std::uint32_t flags = 0;
};

// A point marker; the base of the line and box shapes.
class Queen : public GraphDrawer, public MessSys::MessageSender {
public:
    explicit Queen(std::int32_t id = 0) : id(id) {}

    void Draw(HDC dc, HDC attributeDc, const RECT& plot, const RECT& clip) override;
    // Distance in pixels from a point given relative to the plot's origin; DBL_MAX beyond the pick radius.
    virtual double DistanceTo(int x, int y);
    virtual void PrepareDraw(HDC, HDC, const RECT&, const RECT&) {}
    virtual void OnTrackBegin() {}
    virtual void OnMoved() {}
    virtual void OnTrackEnd(double, double) {}
    // A property that a graph sets on all its markers at once; these shapes have none.
    virtual void SetProperty(std::int32_t) {}

    // Bounds p, then pulls the tracking position toward it, then bounds it by the other queens; true on a change.
    bool ApplyFixedConstraints(PointD p);
    // The linked records: every record bounds p; those naming `moved` also pull, link and bound by its position.
    bool ApplyLinkedConstraints(const Queen* moved, PointD p);

    void SendChanged();
    void SendTrackEnd();

    std::int32_t id;
    std::vector<QueenConstraint> fixedConstraints;
    std::vector<QueenConstraint> linkedConstraints;
    std::int32_t pickRadius = 8;
    PointD position;
    PointD tracking;
    PointD dragOffset;
    bool moved = false;
    bool trackingNow = false;
    bool draggable = true;
    COLORREF colour = 0x000000;

protected:
    // Pixels of a data point relative to the plot's origin (no rectangle added).
    double PixelX(double value) const { return ToPixelX(value, RECT{}); }
    double PixelY(double value) const { return ToPixelY(value, RECT{}); }
    // The distance, or DBL_MAX when it is not within the pick radius.
    double WithinPick(double distance) const;
};

// A line from the position to an end point, both in data units.
class QueenLine : public Queen {
public:
    using Queen::Queen;
    void Draw(HDC dc, HDC attributeDc, const RECT& plot, const RECT& clip) override;
    double DistanceTo(int x, int y) override;
    PointD end;
};

// A horizontal line across the plot at the position's y.
class QueenLineH : public Queen {
public:
    using Queen::Queen;
    void Draw(HDC dc, HDC attributeDc, const RECT& plot, const RECT& clip) override;
    double DistanceTo(int x, int y) override;
};

// A vertical line across the plot at the position's x.
class QueenLineV : public Queen {
public:
    using Queen::Queen;
    void Draw(HDC dc, HDC attributeDc, const RECT& plot, const RECT& clip) override;
    double DistanceTo(int x, int y) override;
};

// A box from the position over a size in data units; picked on its outline or inside.
class QueenBox : public Queen {
public:
    using Queen::Queen;
    void Draw(HDC dc, HDC attributeDc, const RECT& plot, const RECT& clip) override;
    double DistanceTo(int x, int y) override;
    PointD size;
};

class QueenController : public GraphDrawer, public MessSys::MessageSender {
public:
    ~QueenController() override;

    void Draw(HDC dc, HDC attributeDc, const RECT& plot, const RECT& clip) override;
    void OnDomainChanged() override;
    void OnVerticalRangeChanged() override;

    // The newest queen goes to the front (painted on top, picked first); owned queens die with the controller.
    bool AddQueen(Queen* queen, bool owned);
    // Takes the queen out of the array; an owned queen is still deleted with the controller.
    bool RemoveQueen(Queen* queen);
    // The queen nearest to a point relative to the plot's origin; ties go to the queen nearer the front.
    bool HitTest(POINT point, int* distance, int* index, Queen** queen) const;
    void TrackBegin(POINT point, POINT origin);
    bool TrackMove(int x, int y, POINT origin);
    void TrackEnd(int x, int y, POINT origin);

    const std::vector<Queen*>& Queens() const { return queens_; }
    Queen* Dragged() const { return dragged_; }

    std::int32_t pickRadius = 8;
    double farthestHit = DBL_MAX;

private:
    PointD ToData(int x, int y, POINT origin) const;
    bool MoveDragged(PointD p);
    bool LinkedMove(Queen& queen, PointD p);
    void FinishTrack(Queen& queen, PointD p);

    Queen* dragged_ = nullptr;
    std::vector<Queen*> queens_;
    std::vector<std::pair<Queen*, bool>> owned_;
};

} // namespace MGraph1
