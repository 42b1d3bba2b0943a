#pragma once

#include "app/CMainFrame.h"

// The program's three panes and how they meet: they share the document's pose and link; the
// 3D view's joint keys reach the panel, Space reaches the panel's Stop, the panel's network
// Connect restarts the video viewer, and the sorting-game buttons open their dialog.
namespace ProductPanes {

CMainFrame::PaneFactory factory();
void connect(CMainFrame *frame);

} // namespace ProductPanes
