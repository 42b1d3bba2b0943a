#include "app/ProductPanes.h"

#include "app/CMyKorvaneDoc.h"
#include "link/ArmLink.h"
#include "panel/CDialogColorPlay.h"
#include "panel/CFormDlgView.h"
#include "sim/CMyKorvaneView.h"
#include "video/CVideoView.h"

namespace ProductPanes {

CMainFrame::PaneFactory factory()
{
    CMainFrame::PaneFactory panes;
    panes.view = [](QWidget *parent, CMyKorvaneDoc *document) {
        return new CMyKorvaneView(parent, document->pose());
    };
    panes.video = [](QWidget *parent, CMyKorvaneDoc *) { return new CVideoView(parent); };
    panes.panel = [](QWidget *parent, CMyKorvaneDoc *document) {
        return new CFormDlgView(parent, document->link(), document->pose());
    };
    return panes;
}

void connect(CMainFrame *frame)
{
    auto *view = qobject_cast<CMyKorvaneView *>(frame->view());
    auto *video = qobject_cast<CVideoView *>(frame->videoPane());
    auto *panel = qobject_cast<CFormDlgView *>(frame->panel());
    if (!view || !video || !panel)
        return;

    QObject::connect(view, &CMyKorvaneView::jointChangedFromView, panel, &CFormDlgView::SetJointFromView);
    frame->setStopCommand([panel] { panel->OnStop(); });
    QObject::connect(panel, &CFormDlgView::videoAddressChanged, video, [video] {
        video->RequestViewerRestart();
        video->repaint();
    });
    ArmLink *link = frame->document()->link();
    QObject::connect(panel, &CFormDlgView::sortingGameRequested, frame, [frame, link] {
        // A fresh dialog each time; its frames go out on the program's one link.
        CDialogColorPlay dialog([link](const std::string &f) { link->Send(f); }, frame);
        dialog.exec();
    });
}

} // namespace ProductPanes
