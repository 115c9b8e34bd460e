#include "graph/mgraph1/queen.h"

#include "graph_canvas.h"

#include <map>
#include <string>

namespace {
using namespace graphtest;
using MGraph1::PointD;
using MGraph1::Queen;
using MGraph1::QueenConstraint;
using MGraph1::QueenController;

// Counts the notices of the controller and of each queen (by the queen's id).
struct NoticeLog : MessSys::MessageReceiver {
    bool OnMessage(MessSys::Message& message) override
    {
        if (auto* changed = dynamic_cast<MGraph1::MessageQueenChanged*>(&message)) {
            ++changes[changed->source];
            lastChanged.insert_or_assign(changed->source, *changed);
        } else if (auto* end = dynamic_cast<MGraph1::MessageQueenTrackEnd*>(&message)) {
            ++ends[end->source];
        } else if (dynamic_cast<MGraph1::MessageQueenControllerTrackBegin*>(&message)) {
            events += 'B';
        } else if (dynamic_cast<MGraph1::MessageQueenControllerTrackEnd*>(&message)) {
            events += 'E';
        }
        return true;
    }
    std::map<int, int> changes;
    std::map<int, int> ends;
    std::map<int, MGraph1::MessageQueenChanged> lastChanged;
    std::string events;
};

// A controller in pixels: data units are pixels from the plot's origin.
struct Board {
    PixelTransforms transforms;
    QueenController controller;
    NoticeLog log;
    Board()
    {
        transforms.Attach(controller);
        controller.AddReceiver(&log);
    }
    Queen* Add(int id, PointD at)
    {
        auto* q = new Queen(id);
        q->position = at;
        controller.AddQueen(q, true);
        q->AddReceiver(&log);
        return q;
    }
    void Drag(PointD from, PointD to)
    {
        const POINT origin{0, 0};
        controller.TrackBegin(POINT{static_cast<LONG>(from.x), static_cast<LONG>(from.y)}, origin);
        controller.TrackMove(static_cast<int>(to.x), static_cast<int>(to.y), origin);
        controller.TrackEnd(static_cast<int>(to.x), static_cast<int>(to.y), origin);
    }
};

struct ConstraintCase {
    const char* name;
    PointD dragged;                            // queen 1, added last (at the front)
    PointD other;                              // queen 2
    std::vector<QueenConstraint> draggedFixed;
    bool draggedFixedNamesOther;              // the dragged queen's records name queen 2
    std::vector<QueenConstraint> otherLinked; // each names queen 1
    std::vector<QueenConstraint> otherFixed;
    PointD to;
    PointD draggedEnd;
    PointD otherEnd;
    int draggedChanges;
    int otherChanges;
    int otherEnds;
};

void PrintTo(const ConstraintCase& c, std::ostream* out) { *out << c.name; }

class Constraints : public GraphTest, public ::testing::WithParamInterface<ConstraintCase> {};

TEST_P(Constraints, BoundPullAndLinkQueens)
{
    const ConstraintCase& c = GetParam();
    Board board;
    Queen* other = board.Add(2, c.other);
    Queen* dragged = board.Add(1, c.dragged);
    dragged->fixedConstraints = c.draggedFixed;
    if (c.draggedFixedNamesOther) {
        for (QueenConstraint& k : dragged->fixedConstraints) {
            k.other = other;
        }
    }
    other->linkedConstraints = c.otherLinked;
    for (QueenConstraint& k : other->linkedConstraints) {
        k.other = dragged;
    }
    other->fixedConstraints = c.otherFixed;
    board.Drag(c.dragged, c.to);
    EXPECT_EQ(c.draggedEnd, dragged->position);
    EXPECT_EQ(c.otherEnd, other->position);
    EXPECT_EQ(c.draggedChanges, board.log.changes[1]);
    EXPECT_EQ(c.otherChanges, board.log.changes[2]);
    EXPECT_EQ(1, board.log.ends[1]);
    EXPECT_EQ(c.otherEnds, board.log.ends[2]);
    EXPECT_EQ("BE", board.log.events);
    EXPECT_FALSE(dragged->trackingNow);
    EXPECT_EQ(nullptr, board.controller.Dragged());
}

using MGraph1::kAtMostQX;
using MGraph1::kLinkX;
using MGraph1::kLinkYToPX;
using MGraph1::kLowerPX;
using MGraph1::kLowerPY;
using MGraph1::kPullDownX;
using MGraph1::kPullUpX;
using MGraph1::kRaisePX;

INSTANTIATE_TEST_SUITE_P(
    Queens, Constraints,
    ::testing::Values(
        ConstraintCase{"FreeDrag", {10, 10}, {150, 80}, {}, false, {}, {}, {30, 25}, {30, 25}, {150, 80}, 1, 0, 0},
        ConstraintCase{"BoundAlreadyReached",
                       {5, 20}, {150, 80}, {{nullptr, 5.0, kRaisePX | kPullDownX | kPullUpX}}, false, {}, {},
                       {3, 20}, {5, 20}, {150, 80}, 0, 0, 0},
        ConstraintCase{"PulledToUpperBound",
                       {10, 20}, {150, 80}, {{nullptr, 30.0, kLowerPX | kPullDownX}}, false, {}, {},
                       {50, 20}, {30, 20}, {150, 80}, 1, 0, 0},
        ConstraintCase{"BoundOnYOnly",
                       {10, 20}, {150, 80}, {{nullptr, 25.0, kLowerPY | kPullDownX}}, false, {}, {},
                       {50, 40}, {50, 40}, {150, 80}, 1, 0, 0},
        ConstraintCase{"HeldBelowOtherQueen",
                       {10, 20}, {60, 80}, {{nullptr, 0.0, kAtMostQX}}, true, {}, {},
                       {90, 20}, {60, 20}, {60, 80}, 1, 0, 0},
        ConstraintCase{"LinkedXFollows",
                       {10, 10}, {50, 40}, {}, false, {{nullptr, 0.0, kLinkX}}, {},
                       {20, 15}, {20, 15}, {20, 40}, 1, 1, 1},
        ConstraintCase{"LinkedYTakesX",
                       {10, 10}, {50, 40}, {}, false, {{nullptr, 0.0, kLinkYToPX}}, {},
                       {20, 15}, {20, 15}, {50, 20}, 1, 1, 1},
        ConstraintCase{"LinkedThenOwnBound",
                       {10, 10}, {50, 40}, {}, false, {{nullptr, 0.0, kLinkX}},
                       {{nullptr, 15.0, kLowerPX | kPullDownX}}, {20, 15}, {20, 15}, {15, 40}, 1, 1, 1},
        ConstraintCase{"DragInPlaceStillLinks",
                       {10, 10}, {50, 40}, {}, false, {{nullptr, 0.0, kLinkX}}, {},
                       {10, 10}, {10, 10}, {10, 40}, 0, 1, 1}),
    [](const ::testing::TestParamInfo<ConstraintCase>& info) { return std::string(info.param.name); });

TEST_F(GraphTest, LinkedRecordOfAnotherQueenOnlyBoundsThePointer)
{
    Board board;
    Queen* third = board.Add(3, PointD{100, 100});
    Queen* other = board.Add(2, PointD{50, 40});
    board.Add(1, PointD{10, 10});
    other->linkedConstraints = {QueenConstraint{third, 0.0, kLinkX}};
    board.Drag(PointD{10, 10}, PointD{30, 30});
    EXPECT_EQ((PointD{50, 40}), other->position);
    EXPECT_EQ(0, board.log.changes[2]);
    EXPECT_EQ(0, board.log.ends[2]);
}

TEST_F(GraphTest, ChangedNoticeCarriesPositionsAndTracking)
{
    Board board;
    board.Add(4, PointD{10, 10});
    board.controller.TrackBegin(POINT{12, 11}, POINT{0, 0}); // grabbed 2 right and 1 below the centre
    board.controller.TrackMove(32, 21, POINT{0, 0});
    const MGraph1::MessageQueenChanged& changed = board.log.lastChanged.at(4);
    EXPECT_EQ((PointD{10, 10}), changed.position);
    EXPECT_EQ((PointD{10, 10}), changed.positionAgain);
    EXPECT_EQ((PointD{30, 20}), changed.tracking);
    EXPECT_EQ((PointD{30, 20}), changed.trackingAgain);
    board.controller.TrackEnd(32, 21, POINT{0, 0});
    EXPECT_EQ((PointD{30, 20}), board.controller.Queens().front()->position);
}

TEST_F(GraphTest, EndWithoutBeginSendsOnlyTheControllersNotice)
{
    Board board;
    board.Add(1, PointD{10, 10});
    board.controller.TrackEnd(40, 40, POINT{0, 0});
    EXPECT_EQ("E", board.log.events);
    EXPECT_EQ(0, board.log.ends[1]);
    board.controller.TrackBegin(POINT{100, 90}, POINT{0, 0}); // nothing within the pick radius
    EXPECT_EQ("EB", board.log.events);
    EXPECT_EQ(nullptr, board.controller.Dragged());
    EXPECT_FALSE(board.controller.TrackMove(50, 50, POINT{0, 0}));
}

struct HitCase {
    const char* name;
    std::vector<PointD> queens; // added in order: the last is at the front (index 0)
    POINT at;
    int expectedId; // 0: none
};

void PrintTo(const HitCase& c, std::ostream* out) { *out << c.name; }

class QueenHits : public GraphTest, public ::testing::WithParamInterface<HitCase> {};

TEST_P(QueenHits, PickTheNearestFrontQueen)
{
    const HitCase& c = GetParam();
    Board board;
    for (std::size_t i = 0; i < c.queens.size(); ++i) {
        board.Add(static_cast<int>(i) + 1, c.queens[i]);
    }
    int distance = -1;
    int index = -1;
    Queen* found = nullptr;
    const bool hit = board.controller.HitTest(c.at, &distance, &index, &found);
    EXPECT_EQ(c.expectedId != 0, hit);
    if (hit) {
        EXPECT_EQ(c.expectedId, found->id);
        EXPECT_EQ(found, board.controller.Queens()[static_cast<std::size_t>(index)]);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Queens, QueenHits,
    ::testing::Values(HitCase{"Nearer", {{10, 10}, {20, 10}}, {12, 10}, 1},
                      HitCase{"TieGoesToFront", {{10, 10}, {20, 10}}, {15, 10}, 2},
                      HitCase{"TruncatedTieGoesToFront", {{10, 10}, {20, 10}}, {16, 13}, 2}, // 6.7 and 5.0 → 6, 5
                      HitCase{"EqualAfterTruncation", {{10, 10}, {16, 10}}, {13, 11}, 2},   // 3.16 and 3.16
                      HitCase{"BeyondPickRadius", {{10, 10}}, {19, 10}, 0},
                      HitCase{"AtPickRadius", {{10, 10}}, {18, 10}, 1}),
    [](const ::testing::TestParamInfo<HitCase>& info) { return std::string(info.param.name); });

TEST_F(GraphTest, HiddenAndFixedQueensAreNotPicked)
{
    Board board;
    Queen* a = board.Add(1, PointD{10, 10});
    Queen* b = board.Add(2, PointD{12, 10});
    b->draggable = false;
    Queen* found = nullptr;
    ASSERT_TRUE(board.controller.HitTest(POINT{12, 10}, nullptr, nullptr, &found));
    EXPECT_EQ(a, found);
    a->enabled = false;
    EXPECT_FALSE(board.controller.HitTest(POINT{12, 10}, nullptr, nullptr, &found));
    EXPECT_TRUE(board.controller.RemoveQueen(b));
    EXPECT_FALSE(board.controller.RemoveQueen(b));
    EXPECT_EQ(1u, board.controller.Queens().size()); // b is still deleted with the controller
}

TEST_F(GraphTest, DraggingBringsTheQueenToTheFront)
{
    Board board;
    Queen* back = board.Add(1, PointD{10, 10});
    board.Add(2, PointD{50, 50});
    board.Add(3, PointD{90, 50});
    board.controller.TrackBegin(POINT{10, 10}, POINT{0, 0});
    EXPECT_EQ(back, board.controller.Queens().front());
    EXPECT_EQ(2, board.controller.Queens()[2]->id); // the others kept their order behind it
    board.controller.TrackEnd(10, 10, POINT{0, 0});
}

TEST_F(GraphTest, LaterQueensArePaintedOnTop)
{
    ImageCanvas canvas;
    Board board;
    Queen* first = board.Add(1, PointD{50, 50});
    first->colour = kRed;
    Queen* second = board.Add(2, PointD{53, 50});
    second->colour = kBlue;
    auto* line = new MGraph1::QueenLineV(3);
    line->position = PointD{120, 0};
    line->colour = kGreen;
    board.controller.AddQueen(line, true);
    const RECT plot{0, 0, 200, 100};
    board.controller.Draw(canvas.dc, nullptr, plot, plot);
    EXPECT_EQ(kBlue, canvas.At(51, 50)); // the overlap shows the later queen
    EXPECT_EQ(kRed, canvas.At(48, 50));
    EXPECT_EQ(kGreen, canvas.At(120, 5));
    EXPECT_EQ(8.0, line->DistanceTo(128, 70));
    EXPECT_EQ(DBL_MAX, line->DistanceTo(129, 70));
}
} // namespace
