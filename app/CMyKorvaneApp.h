#pragma once

#include "app/CMainFrame.h"

#include <QApplication>

class CMyKorvaneDoc;

// Start-up: settings, the document and the main window with its panes.
class CMyKorvaneApp : public QApplication
{
    Q_OBJECT

public:
    CMyKorvaneApp(int &argc, char **argv);
    ~CMyKorvaneApp() override;

    // Creates the document and the main frame; false when the frame cannot be made.
    bool InitInstance(const CMainFrame::PaneFactory &panes);

    CMainFrame *mainFrame() const { return m_frame; }
    CMyKorvaneDoc *document() const { return m_document; }

private:
    CMyKorvaneDoc *m_document = nullptr;
    CMainFrame *m_frame = nullptr;
};
