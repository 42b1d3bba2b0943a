#include "sim/LoaderMessage.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <QWidget>

#include <cstdio>

namespace {

LoaderMessageHook &hookSlot()
{
    static LoaderMessageHook hook;
    return hook;
}

} // namespace

void SetLoaderMessageHook(LoaderMessageHook hook)
{
    hookSlot() = std::move(hook);
}

void ShowLoaderMessage(const std::string &caption, const std::string &text, bool ownedByFocus)
{
    if (hookSlot()) {
        hookSlot()(caption, text);
        return;
    }
    if (qobject_cast<QApplication *>(QCoreApplication::instance())) {
        QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption), QString::fromLocal8Bit(text.c_str()),
                        QMessageBox::Ok, ownedByFocus ? QApplication::focusWidget() : nullptr);
        box.exec();
        return;
    }
    // No widgets to show a box on (command-line tools): the operator still gets the text.
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}
