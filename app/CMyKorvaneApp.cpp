#include "app/CMyKorvaneApp.h"

#include "app/CMyKorvaneDoc.h"
#include "app/CommandLine.h"

#include <QMessageBox>
#include <QScreen>

CMyKorvaneApp::CMyKorvaneApp(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setOrganizationName(QString::fromLatin1(CMyKorvaneDoc::SettingsOrganisation));
    setApplicationName(QString::fromLatin1(CMyKorvaneDoc::SettingsApplication));
}

CMyKorvaneApp::~CMyKorvaneApp()
{
    delete m_frame;
}

bool CMyKorvaneApp::InitInstance(const CMainFrame::PaneFactory &panes,
                                 const std::function<void(CMainFrame *)> &beforeShow)
{
    m_document = new CMyKorvaneDoc(this);
    // A document named on the command line is opened as File > Open would; one that cannot be
    // opened ends the start-up after saying so.
    if (const QString path = CommandLine::DocumentPath(arguments()); path.isEmpty()) {
        m_document->OnNewDocument();
    } else if (!m_document->OnOpenDocument(path)) {
        QMessageBox::warning(nullptr, QStringLiteral("Korvane"), CommandLine::OpenFailureText(path));
        return false;
    }
    m_frame = new CMainFrame(m_document, panes);
    m_frame->setAttribute(Qt::WA_DeleteOnClose, false);
    if (beforeShow)
        beforeShow(m_frame);
    // Shown maximised; the geometry also covers desktops without a window manager to honour it.
    if (const QScreen *screen = m_frame->screen())
        m_frame->setGeometry(screen->availableGeometry());
    m_frame->showMaximized();
    m_frame->repaint();
    return true;
}
