#include "app/ProductPanes.h"

#include "panel/CDialogColorPlay.h"
#include "panel/CFormDlgView.h"
#include "sim/CMyKorvaneView.h"
#include "video/CVideoView.h"

#include <QSplitter>

namespace ProductPanes {

namespace {

// Other panes find the panel as row 1 of the inner splitter, at the moment they need it.
CFormDlgView *panelOf(const CMainFrame *frame)
{
    return qobject_cast<CFormDlgView *>(frame->innerSplitter()->widget(1));
}

} // namespace

CMainFrame::PaneFactory factory()
{
    CMainFrame::PaneFactory panes;
    panes.view = [](QWidget *parent) { return new CMyKorvaneView(parent); };
    panes.video = [](QWidget *parent) { return new CVideoView(parent); };
    panes.panel = [](QWidget *parent) { return new CFormDlgView(parent); };
    return panes;
}

void connect(CMainFrame *frame)
{
    auto *view = qobject_cast<CMyKorvaneView *>(frame->view());
    auto *video = qobject_cast<CVideoView *>(frame->videoPane());
    CFormDlgView *panel = panelOf(frame);
    if (!view || !video || !panel)
        return;

    QObject::connect(view, &CMyKorvaneView::jointChangedFromView, frame, [frame](int send, int servo, int value) {
        if (CFormDlgView *p = panelOf(frame))
            p->SetJointFromView(send, servo, value);
    });
    frame->setStopCommand([frame] {
        if (CFormDlgView *p = panelOf(frame))
            p->OnStop();
    });
    QObject::connect(panel, &CFormDlgView::videoAddressChanged, frame, [frame] {
        auto *pane = qobject_cast<CVideoView *>(frame->innerSplitter()->widget(0));
        if (!pane)
            return;
        pane->RequestViewerRestart();
        pane->repaint();
    });
    QObject::connect(panel, &CFormDlgView::sortingGameRequested, frame, [frame] {
        // A fresh dialog each time; every frame goes through whatever panel the window holds then.
        CDialogColorPlay dialog([frame](const std::string &f) {
            if (CFormDlgView *p = panelOf(frame))
                p->SendCommand(f);
        }, frame);
        dialog.exec();
    });
}

} // namespace ProductPanes
