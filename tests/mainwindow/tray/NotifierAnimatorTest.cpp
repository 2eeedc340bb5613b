#include "mainwindow/NotifierAnimator.h"

#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

using namespace notifier;

namespace
{
constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 1024;
constexpr int kSkinWidth = 203;
constexpr int kSkinHeight = 163;
const Area kWholeScreen{0, 0, kScreenWidth, kScreenHeight};

// Records what the animation asks of the window and keeps the timers' state.
class FakeWindow : public AnimationHost
{
public:
    void StartTimer(int id, int milliseconds) override
    {
        timers[id] = milliseconds;
        log.push_back("start " + std::to_string(id) + " " + std::to_string(milliseconds));
    }
    void StopTimer(int id) override
    {
        if (timers.erase(id) > 0)
            log.push_back("stop " + std::to_string(id));
    }
    void ShowWindow() override { shown = true; }
    void HideWindow() override { shown = false; }
    void PlaceWindow(int x, int y, int, int) override { position = {x, y}; }
    void Redraw() override { log.push_back("redraw"); }

    bool Running(int id) const { return timers.count(id) > 0; }

    std::map<int, int> timers; // id -> interval
    std::vector<std::string> log;
    bool shown = false;
    Point position;
};

class NotifierAnimatorTest : public testing::Test
{
protected:
    void ShowOn(const Area& work, int stay = 3000)
    {
        animator.SetSkinSize(kSkinWidth, kSkinHeight);
        animator.Show(work, kScreenWidth, kScreenHeight, 500, stay, 500);
    }

    // Fires timer id until the animation stops it; returns how often it fired.
    int FireUntilStopped(int id)
    {
        int fired = 0;
        while (window.Running(id) && fired < 10000)
        {
            animator.OnTimer(id);
            ++fired;
        }
        return fired;
    }

    FakeWindow window;
    Animator animator{window};
};
} // namespace

TEST_F(NotifierAnimatorTest, RisesInHalfASecondStaysThreeAndFallsBackClosedInHalfASecond)
{
    ShowOn(kWholeScreen);
    EXPECT_EQ(animator.GetSteps(), 81);
    EXPECT_EQ(animator.GetAppearDelay(), 6) << "500 / 81";
    EXPECT_EQ(window.position, (Point{kScreenWidth - kSkinWidth, kScreenHeight})) << "placed before it shows";
    EXPECT_EQ(window.log, (std::vector<std::string>{"start 1 6"}));

    // 2-pixel moves until it has risen at least its height: 82 moves, and
    // the tick after the last move finds it there.
    EXPECT_EQ(FireUntilStopped(Animator::kAppearTimer), 83);
    EXPECT_EQ(window.position.y, kScreenHeight - 164);
    EXPECT_EQ(window.timers, (std::map<int, int>{{Animator::kStayTimer, 3000}}));

    animator.OnTimer(Animator::kStayTimer);
    EXPECT_EQ(window.timers, (std::map<int, int>{{Animator::kDisappearTimer, 6}}));
    EXPECT_EQ(FireUntilStopped(Animator::kDisappearTimer), 83);
    EXPECT_EQ(window.position.y, kScreenHeight);
    EXPECT_EQ(animator.GetState(), State::Idle);
    EXPECT_FALSE(window.shown);
    EXPECT_TRUE(window.timers.empty());
}

TEST_F(NotifierAnimatorTest, ShowAgainKeepsTheSlideRestartsTheStayOrComesBackForAnotherStay)
{
    ShowOn(kWholeScreen);
    animator.OnTimer(Animator::kAppearTimer);
    Point rising = window.position;
    window.log.clear();
    ShowOn(kWholeScreen);
    EXPECT_EQ(window.log, (std::vector<std::string>{"redraw"})) << "appearing: only the new text";
    EXPECT_EQ(window.position, rising);

    FireUntilStopped(Animator::kAppearTimer);
    window.log.clear();
    ShowOn(kWholeScreen, 1234);
    EXPECT_EQ(window.log, (std::vector<std::string>{"redraw", "start 2 1234"}))
        << "waiting: the stay starts over";

    animator.OnTimer(Animator::kStayTimer);
    for (int i = 0; i < 30; ++i)
        animator.OnTimer(Animator::kDisappearTimer);
    ASSERT_EQ(animator.GetState(), State::Disappearing);
    window.log.clear();
    ShowOn(kWholeScreen);
    EXPECT_EQ(window.position.y, kScreenHeight - kSkinHeight);
    EXPECT_EQ(window.log, (std::vector<std::string>{"stop 3", "start 2 3000", "redraw"}));
    animator.OnTimer(Animator::kStayTimer);
    animator.OnTimer(Animator::kDisappearTimer);
    EXPECT_EQ(window.position.y, kScreenHeight - kSkinHeight + 2) << "the next steps start from there";
}

TEST(NotifierAnimator, SlidesOutFromEachTaskbarEdgeAndBack)
{
    struct Case
    {
        Area work;
        TaskbarEdge edge;
        Point start;
        Point shown; // against the taskbar's edge
    };
    const Case cases[] = {
        {{0, 0, 1230, 1024},
         TaskbarEdge::Right,
         {1230, 1024 - kSkinHeight},
         {1230 - kSkinWidth, 1024 - kSkinHeight}},
        {{50, 0, 1280, 1024},
         TaskbarEdge::Left,
         {50 - kSkinWidth, 1024 - kSkinHeight},
         {50, 1024 - kSkinHeight}},
        {{0, 30, 1280, 1024},
         TaskbarEdge::Top,
         {1280 - kSkinWidth, 30 - kSkinHeight},
         {1280 - kSkinWidth, 30}},
        {{0, 0, 1280, 990},
         TaskbarEdge::Bottom,
         {1280 - kSkinWidth, 990},
         {1280 - kSkinWidth, 990 - kSkinHeight}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(static_cast<int>(c.edge));
        FakeWindow window;
        Animator animator(window);
        animator.SetSkinSize(kSkinWidth, kSkinHeight);
        animator.Show(c.work, kScreenWidth, kScreenHeight, 500, 3000, 500);
        EXPECT_EQ(animator.GetEdge(), c.edge);
        EXPECT_EQ(window.position, c.start);
        while (window.Running(Animator::kAppearTimer))
            animator.OnTimer(Animator::kAppearTimer);
        // Give or take the odd pixel of the last 2-pixel step.
        EXPECT_NEAR(window.position.x, c.shown.x, 1);
        EXPECT_NEAR(window.position.y, c.shown.y, 1);
        animator.OnTimer(Animator::kStayTimer);
        while (window.Running(Animator::kDisappearTimer))
            animator.OnTimer(Animator::kDisappearTimer);
        EXPECT_EQ(window.position, c.start);
        EXPECT_FALSE(window.shown);
    }
}

TEST_F(NotifierAnimatorTest, HideStopsEveryTimerAndTinySkinsNeverAskForZeroMilliseconds)
{
    ShowOn(kWholeScreen);
    FireUntilStopped(Animator::kAppearTimer);
    animator.Hide();
    EXPECT_TRUE(window.timers.empty());
    EXPECT_FALSE(window.shown);
    EXPECT_EQ(animator.GetState(), State::Idle);

    animator.SetSkinSize(1, 1);
    animator.Show(kWholeScreen, kScreenWidth, kScreenHeight, 0, 10, 0);
    EXPECT_EQ(animator.GetAppearDelay(), 1) << "a timer of 0 ms would never let the loop rest";
    FireUntilStopped(Animator::kAppearTimer);
    EXPECT_EQ(animator.GetState(), State::Waiting);
}
