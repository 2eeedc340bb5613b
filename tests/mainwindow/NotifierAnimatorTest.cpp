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
    void ShowWindow() override
    {
        shown = true;
        log.push_back("show");
    }
    void HideWindow() override
    {
        shown = false;
        log.push_back("hide");
    }
    void PlaceWindow(int x, int y, int width, int height) override
    {
        position = {x, y};
        EXPECT_EQ(width, skinWidth);
        EXPECT_EQ(height, skinHeight);
    }
    void Redraw() override { log.push_back("redraw"); }

    bool Running(int id) const { return timers.count(id) > 0; }

    std::map<int, int> timers; // id -> interval
    std::vector<std::string> log;
    bool shown = false;
    Point position;
    int skinWidth = kSkinWidth;
    int skinHeight = kSkinHeight;
};

class NotifierAnimatorTest : public testing::Test
{
protected:
    NotifierAnimatorTest() { animator.SetSkinSize(kSkinWidth, kSkinHeight); }

    void ShowOn(const Area& work, int stay = 3000)
    {
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

const Area kWholeScreen{0, 0, kScreenWidth, kScreenHeight};
} // namespace

TEST(TaskbarEdge, FollowsWhereTheWorkAreaLeavesRoom)
{
    EXPECT_EQ(FindTaskbarEdge({0, 0, 1230, 1024}, 1280, 1024), TaskbarEdge::Right);
    EXPECT_EQ(FindTaskbarEdge({50, 0, 1280, 1024}, 1280, 1024), TaskbarEdge::Left);
    EXPECT_EQ(FindTaskbarEdge({0, 30, 1280, 1024}, 1280, 1024), TaskbarEdge::Top);
    EXPECT_EQ(FindTaskbarEdge({0, 0, 1280, 990}, 1280, 1024), TaskbarEdge::Bottom);
    EXPECT_EQ(FindTaskbarEdge(kWholeScreen, 1280, 1024), TaskbarEdge::Bottom);
}

TEST_F(NotifierAnimatorTest, RisesFromTheBottomStaysAndFallsBackClosed)
{
    ShowOn(kWholeScreen);
    EXPECT_EQ(animator.GetEdge(), TaskbarEdge::Bottom);
    EXPECT_EQ(animator.GetSteps(), 81);
    EXPECT_EQ(animator.GetAppearDelay(), 6) << "500 / 81";
    EXPECT_EQ(animator.GetDisappearDelay(), 6);
    EXPECT_EQ(animator.GetStart(), (Point{kScreenWidth - kSkinWidth, kScreenHeight}));
    EXPECT_EQ(window.position, animator.GetStart()) << "placed before it shows";
    EXPECT_EQ(window.log, (std::vector<std::string>{"show", "start 1 6"}));

    int ticks = FireUntilStopped(Animator::kAppearTimer);
    // 2-pixel moves until it has risen at least its height: 82 moves, and
    // the tick after the last move finds it there.
    EXPECT_EQ(ticks, 83);
    EXPECT_EQ(window.position.y, kScreenHeight - 164);
    EXPECT_EQ(animator.GetState(), State::Waiting);
    EXPECT_EQ(window.timers, (std::map<int, int>{{Animator::kStayTimer, 3000}}));

    animator.OnTimer(Animator::kStayTimer);
    EXPECT_EQ(window.timers, (std::map<int, int>{{Animator::kDisappearTimer, 6}}));
    EXPECT_EQ(animator.GetState(), State::Waiting) << "sliding back starts with the first step";

    ticks = FireUntilStopped(Animator::kDisappearTimer);
    EXPECT_EQ(ticks, 83);
    EXPECT_EQ(window.position.y, kScreenHeight);
    EXPECT_EQ(animator.GetState(), State::Idle);
    EXPECT_FALSE(window.shown);
    EXPECT_TRUE(window.timers.empty());
}

TEST_F(NotifierAnimatorTest, ShowWhileVisibleKeepsTheSlideAndRestartsTheStay)
{
    ShowOn(kWholeScreen);
    animator.OnTimer(Animator::kAppearTimer);
    Point rising = window.position;
    window.log.clear();
    ShowOn(kWholeScreen);
    EXPECT_EQ(window.log, (std::vector<std::string>{"redraw"})) << "appearing: only the new text";
    EXPECT_EQ(window.position, rising);

    FireUntilStopped(Animator::kAppearTimer);
    Point shown = window.position;
    window.log.clear();
    ShowOn(kWholeScreen, 1234);
    EXPECT_EQ(window.log, (std::vector<std::string>{"redraw", "start 2 1234"}))
        << "waiting: the stay starts over";
    EXPECT_EQ(window.position, shown);
    EXPECT_EQ(animator.GetState(), State::Waiting);
}

TEST_F(NotifierAnimatorTest, ShowWhileFallingBackReturnsToTheShownPositionForAnotherStay)
{
    ShowOn(kWholeScreen);
    FireUntilStopped(Animator::kAppearTimer);
    animator.OnTimer(Animator::kStayTimer);
    for (int i = 0; i < 30; ++i)
        animator.OnTimer(Animator::kDisappearTimer);
    ASSERT_EQ(animator.GetState(), State::Disappearing);

    window.log.clear();
    ShowOn(kWholeScreen);
    EXPECT_EQ(window.position.y, kScreenHeight - kSkinHeight);
    EXPECT_EQ(animator.GetPosition(), window.position) << "the next steps start from there";
    EXPECT_EQ(window.timers, (std::map<int, int>{{Animator::kStayTimer, 3000}}));
    EXPECT_EQ(window.log, (std::vector<std::string>{"stop 3", "start 2 3000", "redraw"}));

    animator.OnTimer(Animator::kStayTimer);
    animator.OnTimer(Animator::kDisappearTimer);
    EXPECT_EQ(window.position.y, kScreenHeight - kSkinHeight + 2);
}

TEST_F(NotifierAnimatorTest, SlidesInFromEachTaskbarEdge)
{
    struct Case
    {
        Area work;
        TaskbarEdge edge;
        Point start;
        Point shown; // against the taskbar's edge
        int steps;
    };
    const Case cases[] = {
        {{0, 0, 1230, 1024},
         TaskbarEdge::Right,
         {1230, 1024 - kSkinHeight},
         {1230 - kSkinWidth, 1024 - kSkinHeight},
         101},
        {{50, 0, 1280, 1024},
         TaskbarEdge::Left,
         {50 - kSkinWidth, 1024 - kSkinHeight},
         {50, 1024 - kSkinHeight},
         101},
        {{0, 30, 1280, 1024},
         TaskbarEdge::Top,
         {1280 - kSkinWidth, 30 - kSkinHeight},
         {1280 - kSkinWidth, 30},
         81},
        {{0, 0, 1280, 990},
         TaskbarEdge::Bottom,
         {1280 - kSkinWidth, 990},
         {1280 - kSkinWidth, 990 - kSkinHeight},
         81},
    };
    for (const Case& c : cases)
    {
        FakeWindow window;
        Animator animator(window);
        animator.SetSkinSize(kSkinWidth, kSkinHeight);
        animator.Show(c.work, kScreenWidth, kScreenHeight, 500, 3000, 500);
        SCOPED_TRACE(static_cast<int>(c.edge));
        EXPECT_EQ(animator.GetEdge(), c.edge);
        EXPECT_EQ(animator.GetStart(), c.start);
        EXPECT_EQ(animator.GetSteps(), c.steps);
        EXPECT_EQ(animator.GetAppearDelay(), 500 / c.steps);

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

TEST_F(NotifierAnimatorTest, HideStopsEveryTimerAndTinySkinsStillSlide)
{
    ShowOn(kWholeScreen);
    FireUntilStopped(Animator::kAppearTimer);
    animator.Hide();
    EXPECT_TRUE(window.timers.empty());
    EXPECT_FALSE(window.shown);
    EXPECT_EQ(animator.GetState(), State::Idle);

    FakeWindow tinyWindow;
    tinyWindow.skinWidth = tinyWindow.skinHeight = 1;
    Animator tiny(tinyWindow);
    tiny.SetSkinSize(1, 1);
    tiny.Show(kWholeScreen, kScreenWidth, kScreenHeight, 0, 10, 0);
    EXPECT_EQ(tiny.GetSteps(), 1);
    EXPECT_EQ(tiny.GetAppearDelay(), 1) << "a timer of 0 ms would never let the loop rest";
    while (tinyWindow.Running(Animator::kAppearTimer))
        tiny.OnTimer(Animator::kAppearTimer);
    EXPECT_EQ(tiny.GetState(), State::Waiting);
}
