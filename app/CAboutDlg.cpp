#include "app/CAboutDlg.h"

#include "app/AppIcons.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

namespace {

// Dialog units to pixels with the dialog font, as the templates are laid out.
QRect dlu(const QFontMetrics &fm, int x, int y, int w, int h)
{
    const int cx = fm.averageCharWidth();
    const int cy = fm.height();
    return QRect(x * cx / 4, y * cy / 8, w * cx / 4, h * cy / 8);
}

} // namespace

CAboutDlg::CAboutDlg(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Quorvel Arm"));
    setObjectName(QStringLiteral("IDD_ABOUTBOX"));
    const QFontMetrics fm(font());
    const QRect frame = dlu(fm, 0, 0, 245, 94);
    setFixedSize(frame.size());

    auto *icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("IDC_STATIC_ICON"));
    icon->setPixmap(AppIcons::application().pixmap(32, 32));
    icon->setGeometry(dlu(fm, 11, 17, 20, 20));

    auto *text = new QLabel(QStringLiteral("Quorvel Arm Ver 1.0"), this);
    text->setObjectName(QStringLiteral("IDC_STATIC_VERSION"));
    text->setGeometry(dlu(fm, 40, 17, 119, 8));

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("IDOK"));
    ok->setDefault(true);
    ok->setGeometry(dlu(fm, 188, 71, 50, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
