#pragma once

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>

// A current directory laid out as the program's runtime folder: Video/Video (the built viewer)
// and Video/config.ini with the stream address.
class ViewerSandbox
{
public:
    explicit ViewerSandbox(const QString &address, bool withViewer = true)
    {
        QDir(m_dir.path()).mkpath(QStringLiteral("Video"));
        if (withViewer)
            QFile::link(QStringLiteral(KORVANE_VIEWER_BINARY), m_dir.filePath(QStringLiteral("Video/Video")));
        QFile config(m_dir.filePath(QStringLiteral("Video/config.ini")));
        if (config.open(QIODevice::WriteOnly))
            config.write("[video_addr]\r\naddr=" + address.toLatin1() + "\r\n");
    }
    QString Path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

// The colour at the centre of an X window, read back from the server.
inline QColor CentreColour(quintptr window)
{
    const QImage image = QGuiApplication::primaryScreen()->grabWindow(WId(window)).toImage();
    if (image.isNull())
        return {};
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

inline bool Near(const QColor &a, const QColor &b)
{
    return a.isValid() && qAbs(a.red() - b.red()) < 40 && qAbs(a.green() - b.green()) < 40
           && qAbs(a.blue() - b.blue()) < 40;
}
