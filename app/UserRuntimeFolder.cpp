#include "app/UserRuntimeFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

// The installed layout relative to the installed program's folder; the build passes the one it
// installs.
#ifndef KORVANE_DATA_FROM_BIN
#define KORVANE_DATA_FROM_BIN "../share/korvane"
#endif
#ifndef KORVANE_HELPERS_FROM_BIN
#define KORVANE_HELPERS_FROM_BIN "../libexec/korvane"
#endif

namespace {

const QString Models = QStringLiteral("3DS");
const QString Viewer = QStringLiteral("Video/Video");
const QString ViewerConfig = QStringLiteral("Video/config.ini");
const QString Config = QStringLiteral("config.ini");

QString under(const QString &folder, const QString &name)
{
    return QDir::cleanPath(folder + QLatin1Char('/') + name);
}

bool sameFolder(const QString &a, const QString &b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

// A missing link is made and one into another (older, moved) installation is pointed here again;
// whatever else the user put in its place stays.
bool ensureLink(const QString &link, const QString &target, QString *error)
{
    const QFileInfo info(link);
    if (info.isSymLink()) {
        if (QDir::cleanPath(info.symLinkTarget()) == target)
            return true;
        if (!QFile::remove(link)) {
            *error = QStringLiteral("cannot replace %1").arg(link);
            return false;
        }
    } else if (info.exists()) {
        return true;
    }
    if (!QFile::link(target, link)) {
        *error = QStringLiteral("cannot link %1 to %2").arg(link, target);
        return false;
    }
    return true;
}

// A file of the user's own, writable, from a template or empty; an existing one is kept.
bool ensureFile(const QString &path, const QString &from, QString *error)
{
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink())
        return true;
    bool made = false;
    if (!from.isEmpty() && QFileInfo(from).isFile()) {
        made = QFile::copy(from, path);
    } else {
        QFile empty(path);
        made = empty.open(QIODevice::WriteOnly | QIODevice::NewOnly);
    }
    const auto readWrite = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    if (!made || !QFile::setPermissions(path, readWrite)) {
        *error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    return true;
}

} // namespace

UserRuntimeFolder::UserRuntimeFolder(const Places &places)
    : m_current(places.currentFolder)
{
    const QString dataHome = QDir::isAbsolutePath(places.dataHome) ? places.dataHome
                                                                   : under(places.home, QStringLiteral(".local/share"));
    m_folder = under(dataHome, QStringLiteral("korvane"));

    const QString bin = QFileInfo(places.executable).absolutePath();
    const QString data = under(bin, QStringLiteral(KORVANE_DATA_FROM_BIN));
    if (!places.executable.isEmpty() && QFileInfo(under(data, Models)).isDir()) {
        m_dataFolder = data;
        m_helperFolder = under(bin, QStringLiteral(KORVANE_HELPERS_FROM_BIN));
    }
}

bool UserRuntimeFolder::wanted() const
{
    // Started in the per-user folder itself, it is still brought up to date.
    return !m_dataFolder.isEmpty() && (sameFolder(m_current, m_folder) || !isRuntimeFolder(m_current));
}

bool UserRuntimeFolder::prepare(QString *error) const
{
    if (!QDir().mkpath(under(m_folder, QStringLiteral("Video")))) {
        *error = QStringLiteral("cannot create %1").arg(m_folder);
        return false;
    }
    return ensureLink(under(m_folder, Models), under(m_dataFolder, Models), error)
           && ensureLink(under(m_folder, Viewer), under(m_helperFolder, QStringLiteral("Video")), error)
           && ensureFile(under(m_folder, ViewerConfig), under(m_dataFolder, ViewerConfig), error)
           && ensureFile(under(m_folder, Config), {}, error);
}

bool UserRuntimeFolder::isRuntimeFolder(const QString &path)
{
    return QFileInfo(under(path, QStringLiteral("3DS/1.3DS"))).isFile();
}

void UserRuntimeFolder::enterIfInstalled()
{
    const UserRuntimeFolder folder({QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath(),
                                    QDir::currentPath(), qEnvironmentVariable("XDG_DATA_HOME"), QDir::homePath()});
    if (!folder.wanted())
        return;
    QString error;
    if (!folder.prepare(&error) || !QDir::setCurrent(folder.folder())) {
        if (error.isEmpty())
            error = QStringLiteral("cannot enter %1").arg(folder.folder());
        std::fprintf(stderr, "korvane: %s; working in %s\n", qPrintable(error), qPrintable(QDir::currentPath()));
    }
}
