#pragma once

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>

constexpr int Patience = 20000; // a sanitizer build starts slowly on a busy machine
const QString ViewerTitle = QStringLiteral("Quorvel Tavrik");
const QString CloserTitle = QStringLiteral("./Video/Video");

// A directory laid out as the program's runtime folder: Video/Video and Video/config.ini.
struct ViewerSandbox
{
    QTemporaryDir dir;
    explicit ViewerSandbox(const QString &address)
    {
        QDir(dir.path()).mkpath(QStringLiteral("Video"));
        QFile::link(QStringLiteral(KORVANE_VIEWER_BINARY), dir.filePath(QStringLiteral("Video/Video")));
        QFile config(dir.filePath(QStringLiteral("Video/config.ini")));
        if (config.open(QIODevice::WriteOnly))
            config.write("[video_addr]\r\naddr=" + address.toLatin1() + "\r\n");
    }
};

// The colour of an X window at a fraction of its size, read back from the server.
inline QColor ColourAt(quintptr window, double fx = 0.5, double fy = 0.5)
{
    const QImage image = QGuiApplication::primaryScreen()->grabWindow(WId(window)).toImage();
    return image.isNull() ? QColor() : image.pixelColor(int(image.width() * fx), int(image.height() * fy));
}

inline bool Near(const QColor &a, const QColor &b)
{
    return a.isValid() && qAbs(a.red() - b.red()) < 40 && qAbs(a.green() - b.green()) < 40
           && qAbs(a.blue() - b.blue()) < 40;
}
