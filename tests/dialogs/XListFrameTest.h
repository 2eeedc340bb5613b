#pragma once

#include "GuiTestSupport.h"
#include "dialogs/XListCtrl.h"

#include <gtest/gtest.h>
#include <wx/frame.h>
#include <wx/sizer.h>

// A list in a frame: a check-box column whose header has a check box, a
// file column and a progress column.
class XListFrameTest : public testing::Test
{
protected:
    // The frame and the list's columns; the frame is shown by ShowFrame.
    void MakeList(const char* title, const char* progressTitle, int progressWidth)
    {
        m_frame = new wxFrame(nullptr, wxID_ANY, title, wxPoint(30, 30), wxSize(520, 300));
        m_list = new CXListCtrl(m_frame, 1083);
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        sizer->Add(m_list, 1, wxEXPAND);
        m_frame->SetSizer(sizer);
        CXListModel& model = m_list->GetModel();
        model.InsertColumn(0, "", kAlignCentre, 40);
        model.InsertColumn(1, "File", kAlignLeft, 200);
        model.InsertColumn(2, progressTitle, kAlignCentre, progressWidth);
        model.SetHeaderCheckedState(0, kHeaderUnchecked);
    }
    void ShowFrame()
    {
        m_frame->Show();
        guitest::RunEventsUntil([&] { return m_frame->IsShownOnScreen(); });
        guitest::RunEventsFor(200);
    }
    void TearDown() override { guitest::DestroyWindow(m_frame); }

    wxFrame* m_frame = nullptr;
    CXListCtrl* m_list = nullptr;
};
