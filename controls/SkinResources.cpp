#include "controls/SkinResources.h"

#include <QFile>

// Q_INIT_RESOURCE must be used outside any namespace.
static void initSkinQrc()
{
    Q_INIT_RESOURCE(skin);
}

void InitSkinResources()
{
    static const bool done = (initSkinQrc(), true);
    (void)done;
}

QString SkinResourcePath(int number)
{
    InitSkinResources();
    for (const char *ext : {"bmp", "png"}) {
        const QString path = QStringLiteral(":/res/%1.%2").arg(number).arg(QLatin1String(ext));
        if (QFile::exists(path))
            return path;
    }
    return {};
}
