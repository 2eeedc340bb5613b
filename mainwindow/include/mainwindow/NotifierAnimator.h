#pragma once

namespace notifier
{
/// Where the taskbar sits, judged from the work area; the pop-up slides out
/// from that edge.
enum class TaskbarEdge
{
    Top = 1,
    Left = 2,
    Right = 3,
    Bottom = 4,
};

enum class State
{
    Idle = 0,
    Appearing = 1,
    Waiting = 2,
    Disappearing = 3,
};

/// A screen rectangle; right and bottom lie just outside it.
struct Area
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

struct Point
{
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

/// A work area narrower than the screen starting at the left edge leaves the
/// taskbar on the right, one starting elsewhere on the left; else a work area
/// lower than the screen and not starting at the top leaves it at the top;
/// anything else, the whole screen included, counts as the bottom.
TaskbarEdge FindTaskbarEdge(const Area& workArea, int screenWidth, int screenHeight);

/// What the animation asks of its window.
class AnimationHost
{
public:
    virtual ~AnimationHost() = default;
    /// (Re)starts a repeating timer; a running one starts over.
    virtual void StartTimer(int id, int milliseconds) = 0;
    virtual void StopTimer(int id) = 0;
    /// Shows the window without taking the focus.
    virtual void ShowWindow() = 0;
    virtual void HideWindow() = 0;
    virtual void PlaceWindow(int x, int y, int width, int height) = 0;
    /// Repaints the window at once (a new text, hover).
    virtual void Redraw() = 0;
};

/// The pop-up's slide: out from the taskbar's edge in steps, a stay, and back.
class Animator
{
public:
    static constexpr int kAppearTimer = 1;
    static constexpr int kStayTimer = 2;
    static constexpr int kDisappearTimer = 3;
    /// Pixels moved per step.
    static constexpr int kStep = 2;

    explicit Animator(AnimationHost& host) : m_host(host) {}

    void SetSkinSize(int width, int height);

    /// Idle: starts sliding out. Appearing: only redraws. Waiting: redraws and
    /// stays timeToStay from now. Disappearing: back to the shown position
    /// for another stay.
    void Show(const Area& workArea, int screenWidth, int screenHeight, int timeToAppear, int timeToStay,
              int timeToDisappear);
    void OnTimer(int id);
    /// Stops every timer and hides the window.
    void Hide();

    State GetState() const { return m_state; }
    TaskbarEdge GetEdge() const { return m_edge; }
    int GetSteps() const { return m_steps; }
    int GetAppearDelay() const { return m_appearDelay; }
    int GetDisappearDelay() const { return m_disappearDelay; }
    Point GetStart() const { return m_start; }
    Point GetPosition() const { return m_position; }

private:
    void StepOut();
    void StepBack();
    void Place();

    AnimationHost& m_host;
    int m_width = 0;
    int m_height = 0;
    State m_state = State::Idle;
    TaskbarEdge m_edge = TaskbarEdge::Bottom;
    Area m_workArea;
    int m_timeToAppear = 0;
    int m_timeToStay = 0;
    int m_timeToDisappear = 0;
    int m_steps = 0;
    int m_appearDelay = 0;
    int m_disappearDelay = 0;
    Point m_start;
    Point m_position;
};
} // namespace notifier
