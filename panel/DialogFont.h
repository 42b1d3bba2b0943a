#pragma once

#include <QFont>
#include <QString>

// The font a dialog template names, or the closest face installed here: the classic dialog
// faces ("MS Shell Dlg", "MS Sans Serif", "Tahoma", "System") become a metric-compatible sans
// face, so layouts in dialog units keep their captions inside their controls.
QFont DialogFont(const QString &templateFace, int pointSize);
