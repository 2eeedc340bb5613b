#pragma once

#include <functional>
#include <string>
#include <vector>
#include <wx/gdicmn.h>
#include <wx/image.h>
#include <wx/treebase.h>

class CHtmlCtrl;
class uString;
class wxChoice;

class wxTreeCtrl;
class wxWebView;
class wxWindow;

namespace guitest
{
/// Runs the event loop (timers, paints, idle) until done() holds or maxMs
/// have passed; returns done(). The bound only keeps a broken test from
/// hanging: callers assert the state, never the time taken.
bool RunEventsUntil(const std::function<bool()>& done, int maxMs = 5000);

/// Runs the event loop for about ms milliseconds.
void RunEventsFor(int ms);

/// Destroys a top-level window and lets wx finish deleting it.
void DestroyWindow(wxWindow* window);

/// Grabs the whole X screen into <test binary folder>/screenshots/<name>.png
/// and returns it; an invalid image when grabbing failed.
wxImage TakeScreenshot(const std::string& name);

/// The mean colour of a rectangle of an image.
wxColour MeanColour(const wxImage& image, const wxRect& rect);

/// Sorts the pixels of a rectangle into "orange", "green", "grey" (darker
/// than a light background) and "other", and returns the class holding most
/// of the non-"other" pixels; "other" when fewer than a sixth are classed.
std::string DominantColourClass(const wxImage& image, const wxRect& rect);

/// The labels of the children of a tree item, in order.
std::vector<std::string> ChildLabels(const wxTreeCtrl& tree, const wxTreeItemId& parent);

/// The source of the page the view shows, once it holds `text`; empty when it
/// did not within 15 s.
std::string WaitForPage(wxWebView& view, const std::string& text);

/// The pane's document source once it has handed it over: false when it
/// found none, or gave no answer within 15 s.
bool DocumentSource(CHtmlCtrl& html, uString& text);

/// A real (double-)click at a screen point, after the double-click time has
/// passed so that it does not pair with an earlier click.
void ClickAt(const wxPoint& screen, bool doubleClick = false);

/// A real drag with the left button, from one screen point to another: it
/// waits at the target until started() holds (the drag has begun, which may
/// take its source a while), moves there once more for the target to see
/// the drag, and drops.
void DragAndDrop(const wxPoint& from, const wxPoint& to, const std::function<bool()>& started);

// Picks an entry of a choice and tells its handler, as a user's pick does.
void Choose(wxChoice* choice, int index);
} // namespace guitest
