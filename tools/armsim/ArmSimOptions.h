#pragma once

#include <QHostAddress>
#include <QString>
#include <QStringList>

// The stand-in's command line.
struct ArmSimOptions
{
    QHostAddress host = QHostAddress::LocalHost;
    quint16 port = 6000;
    quint16 videoPort = 6001;
    bool pty = false;
    int com = 0; // 0: no COM number registered
    QString config = QStringLiteral("./config.ini");
    int major = 1;
    int minor = 0;
    bool log = false;
    bool help = false;

    // arguments includes the program name first, as QCoreApplication::arguments() gives it.
    // Returns false with error set when an option is malformed.
    static bool Parse(const QStringList &arguments, ArmSimOptions &options, QString &error);
    static QString HelpText();
};
