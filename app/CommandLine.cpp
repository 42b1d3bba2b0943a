#include "app/CommandLine.h"

#include <QFileInfo>

namespace CommandLine {

QString DocumentPath(const QStringList &arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (!argument.isEmpty() && !argument.startsWith(QLatin1Char('-')))
            return argument;
    }
    return {};
}

QString OpenFailureText(const QString &path)
{
    if (!QFileInfo::exists(path))
        return path + QStringLiteral("\nCannot find this file.\nPlease verify that the correct path and file name are given.");
    return QStringLiteral("Failed to open document.");
}

} // namespace CommandLine
