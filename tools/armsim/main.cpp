// korvane-armsim: the arm controller stand-in. See --help.
#include "tools/armsim/ArmServer.h"
#include "tools/armsim/ArmSimOptions.h"
#include "tools/armsim/VideoServer.h"

#include <QGuiApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

void printLine(const QString &line)
{
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    // Pictures are drawn off screen; no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("korvane-armsim"));

    ArmSimOptions options;
    QString error;
    if (!ArmSimOptions::Parse(QCoreApplication::arguments(), options, error)) {
        std::fprintf(stderr, "korvane-armsim: %s\n", error.toLocal8Bit().constData());
        return 2;
    }
    if (options.help) {
        std::fputs(ArmSimOptions::HelpText().toLocal8Bit().constData(), stdout);
        return 0;
    }

    // Ending by a signal still takes the COM entry out of the configuration file.
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("korvane-armsim: pipe");
        return 1;
    }
    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [] {
        char buffer[16];
        while (::read(g_signalPipe[0], buffer, sizeof buffer) > 0) {
        }
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(sig, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    ArmServer server(options);
    if (options.log)
        server.setLogger(printLine);
    if (!server.start(&error)) {
        std::fprintf(stderr, "korvane-armsim: %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    const QString host = options.host.protocol() == QAbstractSocket::IPv6Protocol
                             ? QStringLiteral("[%1]").arg(options.host.toString())
                             : options.host.toString();
    printLine(QStringLiteral("korvane-armsim %1.%2").arg(options.major).arg(options.minor));
    printLine(QStringLiteral("tcp %1:%2").arg(host).arg(server.tcpPort()));
    printLine(QStringLiteral("video http://%1:%2/").arg(host).arg(server.videoPort()));
    if (!server.ptyPath().isEmpty())
        printLine(QStringLiteral("pty %1").arg(server.ptyPath()));
    if (options.com > 0)
        printLine(QStringLiteral("com COM%1 in %2").arg(options.com).arg(options.config));

    const int rc = app.exec();
    server.releaseComPort();
    printLine(QStringLiteral("korvane-armsim stopped"));
    return rc;
}
