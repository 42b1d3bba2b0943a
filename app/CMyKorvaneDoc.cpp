#include "app/CMyKorvaneDoc.h"

#include "link/ArmLink.h"
#include "sim/ArmPoseModel.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace {

constexpr const char *RecentGroup = "Recent File List";

QSettings settings()
{
    return QSettings(QString::fromLatin1(CMyKorvaneDoc::SettingsOrganisation),
                     QString::fromLatin1(CMyKorvaneDoc::SettingsApplication));
}

} // namespace

CMyKorvaneDoc::CMyKorvaneDoc(QObject *parent)
    : QObject(parent)
    , m_pose(new ArmPoseModel(this))
    , m_link(new ArmLink(this))
{
}

bool CMyKorvaneDoc::OnNewDocument()
{
    m_path.clear();
    setTitle(QStringLiteral("Quorvel Tavrik V1.0"));
    return true;
}

bool CMyKorvaneDoc::OnOpenDocument(const QString &path)
{
    const QFileInfo info(path);
    // Nothing is read, but the file must be there and readable, as for any document.
    if (QFile file(path); !info.isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    m_path = info.absoluteFilePath();
    setTitle(info.fileName());
    addToRecentFiles(m_path);
    return true;
}

bool CMyKorvaneDoc::OnSaveDocument(const QString &path)
{
    const QFileInfo info(path);
    m_path = info.absoluteFilePath();
    setTitle(info.fileName());
    addToRecentFiles(m_path);
    return true;
}

QStringList CMyKorvaneDoc::recentFiles() const
{
    QSettings s = settings();
    s.beginGroup(QLatin1String(RecentGroup));
    QStringList files;
    for (int i = 1; i <= MaxRecentFiles; ++i) {
        const QString file = s.value(QStringLiteral("File%1").arg(i)).toString();
        if (!file.isEmpty())
            files << file;
    }
    return files;
}

void CMyKorvaneDoc::setTitle(const QString &title)
{
    m_title = title;
    emit titleChanged(m_title);
}

void CMyKorvaneDoc::addToRecentFiles(const QString &path)
{
    QStringList files = recentFiles();
    files.removeAll(path);
    files.prepend(path);
    while (files.size() > MaxRecentFiles)
        files.removeLast();
    QSettings s = settings();
    s.beginGroup(QLatin1String(RecentGroup));
    for (int i = 1; i <= MaxRecentFiles; ++i) {
        const QString key = QStringLiteral("File%1").arg(i);
        if (i <= files.size())
            s.setValue(key, files.at(i - 1));
        else
            s.remove(key);
    }
    emit recentFilesChanged();
}
