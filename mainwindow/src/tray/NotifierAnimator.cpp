#include "mainwindow/NotifierAnimator.h"

#include <algorithm>

namespace notifier
{
TaskbarEdge FindTaskbarEdge(const Area& workArea, int screenWidth, int screenHeight)
{
    if (workArea.right - workArea.left < screenWidth)
        return workArea.left == 0 ? TaskbarEdge::Right : TaskbarEdge::Left;
    if (workArea.bottom - workArea.top < screenHeight && workArea.top != 0)
        return TaskbarEdge::Top;
    return TaskbarEdge::Bottom;
}

void Animator::SetSkinSize(int width, int height)
{
    m_width = width;
    m_height = height;
}

void Animator::Show(const Area& workArea, int screenWidth, int screenHeight, int timeToAppear, int timeToStay,
                    int timeToDisappear)
{
    m_timeToAppear = timeToAppear;
    m_timeToStay = timeToStay;
    m_timeToDisappear = timeToDisappear;
    m_workArea = workArea;
    m_edge = FindTaskbarEdge(workArea, screenWidth, screenHeight);
    const bool sideways = m_edge == TaskbarEdge::Left || m_edge == TaskbarEdge::Right;

    switch (m_state)
    {
    case State::Idle:
        // A skin narrower than one step, or times shorter than the steps,
        // still slide: one step at least, and a timer that fires at most
        // once a millisecond.
        m_steps = std::max(1, (sideways ? m_width : m_height) / kStep);
        m_appearDelay = std::max(1, timeToAppear / m_steps);
        m_disappearDelay = std::max(1, timeToDisappear / m_steps);
        switch (m_edge)
        {
        case TaskbarEdge::Right:
            m_start = {workArea.right, workArea.bottom - m_height};
            break;
        case TaskbarEdge::Left:
            m_start = {workArea.left - m_width, workArea.bottom - m_height};
            break;
        case TaskbarEdge::Top:
            m_start = {workArea.right - m_width, workArea.top - m_height};
            break;
        case TaskbarEdge::Bottom:
            m_start = {workArea.right - m_width, workArea.bottom};
            break;
        }
        m_position = m_start;
        // Placed before it shows, so that it never flashes where it was.
        Place();
        m_host.ShowWindow();
        m_host.StartTimer(kAppearTimer, m_appearDelay);
        break;
    case State::Appearing:
        m_host.Redraw();
        break;
    case State::Waiting:
        m_host.Redraw();
        m_host.StartTimer(kStayTimer, m_timeToStay);
        break;
    case State::Disappearing:
        m_host.StopTimer(kDisappearTimer);
        m_host.StartTimer(kStayTimer, m_timeToStay);
        switch (m_edge)
        {
        case TaskbarEdge::Right:
            m_position.x = workArea.right - m_width;
            break;
        case TaskbarEdge::Left:
            m_position.x = workArea.left;
            break;
        case TaskbarEdge::Top:
            m_position.y = workArea.top;
            break;
        case TaskbarEdge::Bottom:
            m_position.y = workArea.bottom - m_height;
            break;
        }
        m_state = State::Waiting;
        Place();
        m_host.Redraw();
        break;
    }
}

void Animator::OnTimer(int id)
{
    switch (id)
    {
    case kAppearTimer:
        m_state = State::Appearing;
        StepOut();
        break;
    case kStayTimer:
        m_host.StopTimer(kStayTimer);
        m_host.StartTimer(kDisappearTimer, m_disappearDelay);
        break;
    case kDisappearTimer:
        m_state = State::Disappearing;
        StepBack();
        break;
    default:
        break;
    }
}

// One step out; once the window has moved its full size, the stay begins.
// The last step may overshoot by a pixel when the size is odd.
void Animator::StepOut()
{
    bool moving = false;
    switch (m_edge)
    {
    case TaskbarEdge::Top:
        moving = m_position.y < m_start.y + m_height;
        if (moving)
            m_position.y += kStep;
        break;
    case TaskbarEdge::Left:
        moving = m_position.x < m_start.x + m_width;
        if (moving)
            m_position.x += kStep;
        break;
    case TaskbarEdge::Right:
        moving = m_position.x > m_start.x - m_width;
        if (moving)
            m_position.x -= kStep;
        break;
    case TaskbarEdge::Bottom:
        moving = m_position.y > m_start.y - m_height;
        if (moving)
            m_position.y -= kStep;
        break;
    }
    if (!moving)
    {
        m_host.StopTimer(kAppearTimer);
        m_host.StartTimer(kStayTimer, m_timeToStay);
        m_state = State::Waiting;
    }
    Place();
}

// One step back; at the start position the window goes.
void Animator::StepBack()
{
    bool moving = false;
    switch (m_edge)
    {
    case TaskbarEdge::Top:
        moving = m_position.y > m_start.y;
        if (moving)
            m_position.y -= kStep;
        break;
    case TaskbarEdge::Left:
        moving = m_position.x > m_start.x;
        if (moving)
            m_position.x -= kStep;
        break;
    case TaskbarEdge::Right:
        moving = m_position.x < m_start.x;
        if (moving)
            m_position.x += kStep;
        break;
    case TaskbarEdge::Bottom:
        moving = m_position.y < m_start.y;
        if (moving)
            m_position.y += kStep;
        break;
    }
    if (moving)
        Place();
    else
        Hide();
}

void Animator::Hide()
{
    // Every timer, not only the current state's: a stay restarted while
    // sliding back would otherwise live on and slide a hidden window.
    m_host.StopTimer(kAppearTimer);
    m_host.StopTimer(kStayTimer);
    m_host.StopTimer(kDisappearTimer);
    m_host.HideWindow();
    m_state = State::Idle;
}

void Animator::Place()
{
    m_host.PlaceWindow(m_position.x, m_position.y, m_width, m_height);
}
} // namespace notifier
