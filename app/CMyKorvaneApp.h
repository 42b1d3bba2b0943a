#pragma once

#include "app/CMainFrame.h"

#include <QApplication>

#include <functional>

class CMyKorvaneDoc;

// Start-up: settings, the document and the main window with its panes.
class CMyKorvaneApp : public QApplication
{
    Q_OBJECT

public:
    CMyKorvaneApp(int &argc, char **argv);
    ~CMyKorvaneApp() override;

    // Creates the document and the main frame, lets the caller link the panes, then shows the
    // frame; false when the frame cannot be made.
    bool InitInstance(const CMainFrame::PaneFactory &panes,
                      const std::function<void(CMainFrame *)> &beforeShow = {});

    CMainFrame *mainFrame() const { return m_frame; }
    CMyKorvaneDoc *document() const { return m_document; }

private:
    CMyKorvaneDoc *m_document = nullptr;
    CMainFrame *m_frame = nullptr;
};
