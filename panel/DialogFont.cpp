#include "panel/DialogFont.h"

#include <QFontDatabase>
#include <QStringList>

QFont DialogFont(const QString &templateFace, int pointSize)
{
    static const QStringList dialogFaces{QStringLiteral("MS Shell Dlg"), QStringLiteral("MS Shell Dlg 2"),
                                         QStringLiteral("MS Sans Serif"), QStringLiteral("Tahoma"),
                                         QStringLiteral("System")};
    QFont font;
    if (dialogFaces.contains(templateFace, Qt::CaseInsensitive)) {
        const QStringList families = QFontDatabase::families();
        for (const QString &candidate : {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                         QStringLiteral("Nimbus Sans"), QStringLiteral("DejaVu Sans Condensed")}) {
            if (families.contains(candidate)) {
                font.setFamily(candidate);
                break;
            }
        }
        // Chinese captions fall back to an installed CJK face.
        font.setFamilies({font.family(), QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Sans CJK SC"),
                          QStringLiteral("Droid Sans Fallback")});
        if (templateFace.compare(QStringLiteral("System"), Qt::CaseInsensitive) == 0)
            font.setBold(true);
    } else {
        font.setFamily(templateFace);
    }
    font.setPointSize(pointSize);
    return font;
}
