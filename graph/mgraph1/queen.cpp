#include "graph/mgraph1/queen.h"

#include "graph/mgraph1/pixelmath.h"

#include <algorithm>
#include <cmath>

namespace MGraph1 {
namespace {
bool Assign(double& target, double value)
{
    if (target == value) {
        return false;
    }
    target = value;
    return true;
}

void BoundPointer(const QueenConstraint& c, PointD& p)
{
    if (c.flags & kRaisePX) {
        p.x = std::max(p.x, c.value);
    }
    if (c.flags & kLowerPX) {
        p.x = std::min(p.x, c.value);
    }
    if (c.flags & kRaisePY) {
        p.y = std::max(p.y, c.value);
    }
    if (c.flags & kLowerPY) {
        p.y = std::min(p.y, c.value);
    }
}

// One axis of a pull: `down` lowers the value to the target when above it, else `up` raises it when below.
bool PullAxis(double& value, double target, bool down, bool up)
{
    if (down && value > target) {
        value = target;
        return true;
    }
    if (up && value < target) {
        value = target;
        return true;
    }
    return false;
}

bool Pull(const QueenConstraint& c, PointD p, PointD& t)
{
    const bool x = PullAxis(t.x, p.x, c.flags & kPullDownX, c.flags & kPullUpX);
    const bool y = PullAxis(t.y, p.y, c.flags & kPullDownY, c.flags & kPullUpY);
    return x || y;
}

// Bounds by the other queen's position; in fixed records the upper bound gives way to the lower one.
bool BoundByOther(const QueenConstraint& c, PointD q, PointD& t, bool fixed)
{
    bool changed = false;
    auto axis = [&](double& value, double other, std::uint32_t atLeast, std::uint32_t atMost) {
        bool raised = false;
        if ((c.flags & atLeast) && value < other) {
            value = other;
            raised = changed = true;
        }
        if ((c.flags & atMost) && !(fixed && raised) && value > other) {
            value = other;
            changed = true;
        }
    };
    axis(t.x, q.x, kAtLeastQX, kAtMostQX);
    axis(t.y, q.y, kAtLeastQY, kAtMostQY);
    return changed;
}

bool Link(const QueenConstraint& c, PointD p, PointD& t)
{
    bool changed = false;
    if (c.flags & kLinkX) {
        changed |= Assign(t.x, p.x);
    }
    if (c.flags & kLinkY) {
        changed |= Assign(t.y, p.y);
    }
    if (c.flags & kLinkXToPY) {
        changed |= Assign(t.x, p.y);
    } else if (c.flags & kLinkYToPX) {
        changed |= Assign(t.y, p.x);
    }
    return changed;
}

// The pen and brush of a queen's colour, selected for the life of the object.
struct QueenInk {
    QueenInk(HDC dc, COLORREF colour, bool fill)
        : pen(dc, CreatePen(PS_SOLID, 1, colour), true),
          brush(dc, fill ? CreateSolidBrush(colour) : GetStockObject(NULL_BRUSH), fill)
    {
    }
    SelectScope pen;
    SelectScope brush;
};

PointD Shown(const Queen& q) { return q.trackingNow ? q.tracking : q.position; }
}

double Queen::WithinPick(double distance) const
{
    return distance <= pickRadius ? distance : DBL_MAX;
}

void Queen::Draw(HDC dc, HDC, const RECT& plot, const RECT&)
{
    const PointD at = Shown(*this);
    const double px = ToPixelX(at.x, plot);
    const double py = ToPixelY(at.y, plot);
    if (!IsFinite(px) || !IsFinite(py)) {
        return;
    }
    const QueenInk ink(dc, colour, true);
    const int x = SaturateTrunc(px);
    const int y = SaturateTrunc(py);
    Rectangle(dc, x - 3, y - 3, x + 4, y + 4);
}

double Queen::DistanceTo(int x, int y)
{
    const double d = std::hypot(x - PixelX(position.x), y - PixelY(position.y));
    return std::isnan(d) ? DBL_MAX : WithinPick(d);
}

bool Queen::ApplyFixedConstraints(PointD p)
{
    bool changed = false;
    for (const QueenConstraint& c : fixedConstraints) {
        BoundPointer(c, p);
        changed |= Pull(c, p, tracking);
        if (c.other) {
            changed |= BoundByOther(c, c.other->position, tracking, true);
        }
    }
    return changed;
}

bool Queen::ApplyLinkedConstraints(const Queen* movedQueen, PointD p)
{
    bool changed = false;
    for (const QueenConstraint& c : linkedConstraints) {
        BoundPointer(c, p);
        if (c.other && c.other == movedQueen) {
            changed |= Pull(c, p, tracking);
            changed |= Link(c, p, tracking);
            changed |= BoundByOther(c, movedQueen->position, tracking, false);
        }
    }
    return changed;
}

void Queen::SendChanged()
{
    MessageQueenChanged notice(id, position, tracking);
    Send(notice);
}

void Queen::SendTrackEnd()
{
    MessageQueenTrackEnd notice(id, position, tracking);
    Send(notice);
}

void QueenLine::Draw(HDC dc, HDC, const RECT& plot, const RECT&)
{
    const PointD at = Shown(*this);
    const PointD far{at.x + (end.x - position.x), at.y + (end.y - position.y)};
    double x0 = ToPixelX(at.x, plot);
    double y0 = ToPixelY(at.y, plot);
    double x1 = ToPixelX(far.x, plot);
    double y1 = ToPixelY(far.y, plot);
    if (!IsFinite(x0) || !IsFinite(y0) || !IsFinite(x1) || !IsFinite(y1)) {
        return;
    }
    const ClipRect edges{static_cast<double>(plot.left), static_cast<double>(plot.top),
                         static_cast<double>(plot.right), static_cast<double>(plot.bottom)};
    if (!ClipSegment(edges, x0, y0, x1, y1)) {
        return;
    }
    const QueenInk ink(dc, colour, false);
    DrawLine(dc, SaturateTrunc(x0), SaturateTrunc(y0), SaturateTrunc(x1), SaturateTrunc(y1));
}

double QueenLine::DistanceTo(int x, int y)
{
    const double ax = PixelX(position.x);
    const double ay = PixelY(position.y);
    const double bx = PixelX(end.x);
    const double by = PixelY(end.y);
    const double dx = bx - ax;
    const double dy = by - ay;
    const double length2 = dx * dx + dy * dy;
    const double t = length2 > 0 ? std::clamp(((x - ax) * dx + (y - ay) * dy) / length2, 0.0, 1.0) : 0.0;
    const double d = std::hypot(x - (ax + t * dx), y - (ay + t * dy));
    return std::isnan(d) ? DBL_MAX : WithinPick(d);
}

void QueenLineH::Draw(HDC dc, HDC, const RECT& plot, const RECT&)
{
    const double py = ToPixelY(Shown(*this).y, plot);
    if (!IsFinite(py) || py < plot.top || py >= plot.bottom) {
        return;
    }
    const QueenInk ink(dc, colour, false);
    DrawLine(dc, plot.left, SaturateTrunc(py), plot.right, SaturateTrunc(py));
}

double QueenLineH::DistanceTo(int, int y)
{
    const double d = std::fabs(y - PixelY(position.y));
    return std::isnan(d) ? DBL_MAX : WithinPick(d);
}

void QueenLineV::Draw(HDC dc, HDC, const RECT& plot, const RECT&)
{
    const double px = ToPixelX(Shown(*this).x, plot);
    if (!IsFinite(px) || px < plot.left || px >= plot.right) {
        return;
    }
    const QueenInk ink(dc, colour, false);
    DrawLine(dc, SaturateTrunc(px), plot.top, SaturateTrunc(px), plot.bottom);
}

double QueenLineV::DistanceTo(int x, int)
{
    const double d = std::fabs(x - PixelX(position.x));
    return std::isnan(d) ? DBL_MAX : WithinPick(d);
}

void QueenBox::Draw(HDC dc, HDC, const RECT& plot, const RECT&)
{
    const PointD at = Shown(*this);
    const double x0 = ToPixelX(at.x, plot);
    const double y0 = ToPixelY(at.y, plot);
    const double x1 = ToPixelX(at.x + size.x, plot);
    const double y1 = ToPixelY(at.y + size.y, plot);
    if (!IsFinite(x0) || !IsFinite(y0) || !IsFinite(x1) || !IsFinite(y1)) {
        return;
    }
    const QueenInk ink(dc, colour, false);
    Rectangle(dc, SaturateTrunc(std::min(x0, x1)), SaturateTrunc(std::min(y0, y1)),
              SaturateTrunc(std::max(x0, x1)) + 1, SaturateTrunc(std::max(y0, y1)) + 1);
}

double QueenBox::DistanceTo(int x, int y)
{
    const double ax = PixelX(position.x);
    const double ay = PixelY(position.y);
    const double bx = PixelX(position.x + size.x);
    const double by = PixelY(position.y + size.y);
    const double dx = std::max({std::min(ax, bx) - x, 0.0, x - std::max(ax, bx)});
    const double dy = std::max({std::min(ay, by) - y, 0.0, y - std::max(ay, by)});
    const double d = std::hypot(dx, dy);
    return std::isnan(d) ? DBL_MAX : WithinPick(d);
}

QueenController::~QueenController()
{
    std::vector<Queen*> doomed;
    for (const auto& [queen, owned] : owned_) {
        if (owned && std::find(doomed.begin(), doomed.end(), queen) == doomed.end()) {
            doomed.push_back(queen);
        }
    }
    for (Queen* queen : doomed) {
        delete queen;
    }
}

void QueenController::Draw(HDC dc, HDC attributeDc, const RECT& plot, const RECT& clip)
{
    for (auto q = queens_.rbegin(); q != queens_.rend(); ++q) {
        if ((*q)->enabled) {
            (*q)->PrepareDraw(dc, attributeDc, plot, clip);
        }
    }
    // Back to front, so that the front queen is painted last, on top.
    for (auto q = queens_.rbegin(); q != queens_.rend(); ++q) {
        if ((*q)->enabled) {
            const RECT plotCopy = plot;
            const RECT clipCopy = clip;
            (*q)->Draw(dc, attributeDc, plotCopy, clipCopy);
            if ((*q)->next) {
                (*q)->next->DrawChain(dc, attributeDc, plotCopy, clipCopy);
            }
            (*q)->DrawOverlay(dc, attributeDc, plotCopy, clipCopy);
        }
    }
}

void QueenController::OnDomainChanged()
{
    for (Queen* q : queens_) {
        q->SetDomain(ranges[kHorizontal].min, ranges[kHorizontal].max);
    }
}

void QueenController::OnVerticalRangeChanged()
{
    for (Queen* q : queens_) {
        q->SetVerticalRange(ranges[kVertical].min, ranges[kVertical].max);
    }
}

bool QueenController::AddQueen(Queen* queen, bool owned)
{
    if (!queen) {
        return false;
    }
    queen->CopyDrawerState(*this);
    queen->SetDomain(ranges[kHorizontal].min, ranges[kHorizontal].max);
    queen->SetVerticalRange(ranges[kVertical].min, ranges[kVertical].max);
    queen->enabled = true;
    queen->pickRadius = pickRadius;
    owned_.emplace_back(queen, owned);
    queens_.insert(queens_.begin(), queen);
    return true;
}

bool QueenController::RemoveQueen(Queen* queen)
{
    const auto found = std::find(queens_.begin(), queens_.end(), queen);
    if (found == queens_.end()) {
        return false;
    }
    if (dragged_ == queen) {
        dragged_ = nullptr;
    }
    queens_.erase(found);
    return true;
}

bool QueenController::HitTest(POINT point, int* distance, int* index, Queen** queen) const
{
    int best = 0;
    int bestIndex = -1;
    for (std::size_t i = 0; i < queens_.size(); ++i) {
        Queen* q = queens_[i];
        if (!q->enabled || !q->draggable) {
            continue;
        }
        const double d = q->DistanceTo(point.x, point.y);
        // Distances at or beyond the farthest hit (a queen out of its pick radius) are no hit at all.
        if (!(d < farthestHit)) {
            continue;
        }
        const int rounded = SaturateTrunc(d);
        if (bestIndex < 0 || rounded < best) {
            best = rounded;
            bestIndex = static_cast<int>(i);
        }
    }
    if (bestIndex < 0) {
        return false;
    }
    if (distance) {
        *distance = best;
    }
    if (index) {
        *index = bestIndex;
    }
    if (queen) {
        *queen = queens_[static_cast<std::size_t>(bestIndex)];
    }
    return true;
}

PointD QueenController::ToData(int x, int y, POINT origin) const
{
    return PointD{ToDataX(static_cast<double>(x) - origin.x), ToDataY(static_cast<double>(y) - origin.y)};
}

void QueenController::TrackBegin(POINT point, POINT origin)
{
    MessageQueenControllerTrackBegin begin;
    Send(begin);
    int index = -1;
    Queen* found = nullptr;
    if (!HitTest(POINT{point.x - origin.x, point.y - origin.y}, nullptr, &index, &found)) {
        return;
    }
    std::rotate(queens_.begin(), queens_.begin() + index, queens_.begin() + index + 1);
    dragged_ = found;
    const PointD p = ToData(point.x, point.y, origin);
    for (Queen* q : queens_) {
        q->moved = false;
        q->trackingNow = true;
        q->tracking = q->position;
        q->dragOffset = PointD{q->position.x - p.x, q->position.y - p.y};
        q->OnTrackBegin();
    }
}

bool QueenController::MoveDragged(PointD p)
{
    Queen& d = *dragged_;
    const PointD before = d.tracking;
    d.tracking = PointD{d.dragOffset.x + p.x, d.dragOffset.y + p.y};
    d.ApplyFixedConstraints(p);
    if (d.tracking == before) {
        d.OnMoved();
        return false;
    }
    d.SendChanged();
    d.OnMoved();
    return true;
}

bool QueenController::LinkedMove(Queen& queen, PointD p)
{
    bool movedNow = false;
    const PointD before = queen.tracking;
    if (queen.ApplyLinkedConstraints(dragged_, p)) {
        queen.moved = true;
        queen.ApplyFixedConstraints(queen.tracking);
        if (queen.tracking != before) {
            queen.dragOffset = PointD{};
            queen.SendChanged();
            movedNow = true;
        }
    }
    queen.OnMoved();
    return movedNow;
}

bool QueenController::TrackMove(int x, int y, POINT origin)
{
    if (!dragged_) {
        return false;
    }
    bool anything = MoveDragged(ToData(x, y, origin));
    if (queens_.size() >= 2) {
        const PointD p = dragged_->tracking;
        for (std::size_t i = 1; i < queens_.size(); ++i) {
            anything |= LinkedMove(*queens_[i], p);
        }
    }
    return anything;
}

void QueenController::FinishTrack(Queen& queen, PointD p)
{
    const PointD before = queen.position;
    bool settled = false;
    if (&queen == dragged_) {
        queen.tracking = PointD{queen.dragOffset.x + p.x, queen.dragOffset.y + p.y};
        queen.ApplyFixedConstraints(p);
        settled = true;
    } else if (queen.ApplyLinkedConstraints(dragged_, dragged_->tracking) || queen.moved) {
        queen.ApplyFixedConstraints(queen.tracking);
        settled = true;
    }
    if (settled) {
        queen.position = queen.tracking;
        queen.SendTrackEnd();
    }
    queen.moved = false;
    queen.trackingNow = false;
    queen.OnTrackEnd(before.x, before.y);
}

void QueenController::TrackEnd(int x, int y, POINT origin)
{
    if (dragged_) {
        const PointD p = ToData(x, y, origin);
        for (Queen* q : queens_) {
            FinishTrack(*q, p);
        }
    }
    dragged_ = nullptr;
    MessageQueenControllerTrackEnd end;
    Send(end);
}

} // namespace MGraph1
