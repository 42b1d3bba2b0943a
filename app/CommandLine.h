#pragma once

#include <QString>
#include <QStringList>

// What the program is asked to do on its command line: open the document it names, if any.
namespace CommandLine {

// The first argument after the program's name that is not an option ("-..."); empty when none.
QString DocumentPath(const QStringList &arguments);
// The message for a document that cannot be opened: a missing file, or one that cannot be read.
QString OpenFailureText(const QString &path);

} // namespace CommandLine
