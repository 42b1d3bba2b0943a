#include "app/CMyKorvaneApp.h"
#include "app/ProductPanes.h"
#include "app/StartupProbe.h"
#include "app/UserRuntimeFolder.h"
#include "sim/CMyKorvaneView.h"

#include <QSurfaceFormat>

int main(int argc, char **argv)
{
    UserRuntimeFolder::enterIfInstalled(); // before anything reads a relative path
    // Set before the application exists so every context shares the view's format.
    QSurfaceFormat::setDefaultFormat(CMyKorvaneView::surfaceFormat());
    CMyKorvaneApp app(argc, argv);
    const bool ok = app.InitInstance(ProductPanes::factory(), [](CMainFrame *frame) {
        ProductPanes::connect(frame);
        if (StartupProbe::requested()) {
            auto *view = qobject_cast<CMyKorvaneView *>(frame->view());
            new StartupProbe({frame->view(), frame->videoPane(), frame->panel()}, frame->panel(),
                             StartupProbe::quitRequested(), frame, [view] { return view ? view->loadedModelCount() : 0; });
        }
    });
    return ok ? app.exec() : 1;
}
