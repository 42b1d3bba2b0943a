#include "tools/armsim/ArmSimOptions.h"

#include <QRegularExpression>

namespace {

bool parsePort(const QString &text, quint16 &port)
{
    bool ok = false;
    const uint value = text.toUInt(&ok);
    if (!ok || value > 65535)
        return false;
    port = static_cast<quint16>(value);
    return true;
}

} // namespace

QString ArmSimOptions::HelpText()
{
    return QStringLiteral(
        "Usage: korvane-armsim [options]\n"
        "Stands in for the Quorvel Tavrik arm controller: takes command frames over TCP and a\n"
        "pseudo-terminal, moves a simulated arm, and serves its camera over HTTP.\n"
        "\n"
        "Options:\n"
        "  --listen HOST:PORT  command link address (default 127.0.0.1:6000; port 0 picks a free one)\n"
        "  --video PORT        camera port on the same host (default 6001): /init, /, /stream,\n"
        "                      /frame.jpg, /state\n"
        "  --pty               open a pseudo-terminal and print the path of its terminal side\n"
        "  --com N             register the pseudo-terminal as COMN in section com_ports of the\n"
        "                      configuration file (implies --pty); removed again on exit\n"
        "  --config PATH       configuration file for --com (default ./config.ini)\n"
        "  --version D.D       version sent in the version reply (default 1.0)\n"
        "  --log               print every received frame decoded, every refused one with its reason\n"
        "  --help              show this text\n");
}

bool ArmSimOptions::Parse(const QStringList &arguments, ArmSimOptions &options, QString &error)
{
    options = ArmSimOptions();
    auto value = [&](int &i, QString &out) {
        const QString name = arguments[i];
        if (i + 1 >= arguments.size()) {
            error = name + QStringLiteral(" needs a value");
            return false;
        }
        out = arguments[++i];
        return true;
    };
    for (int i = 1; i < arguments.size(); ++i) {
        QString arg = arguments[i];
        QString inlineValue;
        bool hasInline = false;
        if (arg.startsWith(QLatin1String("--")) && arg.contains(QLatin1Char('='))) {
            const qsizetype eq = arg.indexOf(QLatin1Char('='));
            inlineValue = arg.mid(eq + 1);
            arg = arg.left(eq);
            hasInline = true;
        }
        QString v;
        auto take = [&]() {
            if (hasInline) {
                v = inlineValue;
                return true;
            }
            return value(i, v);
        };
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            options.help = true;
        } else if (arg == QLatin1String("--pty")) {
            options.pty = true;
        } else if (arg == QLatin1String("--log")) {
            options.log = true;
        } else if (arg == QLatin1String("--listen")) {
            if (!take())
                return false;
            const qsizetype colon = v.lastIndexOf(QLatin1Char(':'));
            QString host = colon < 0 ? QString() : v.left(colon);
            if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
                host = host.mid(1, host.size() - 2);
            if (colon < 0 || !options.host.setAddress(host) || !parsePort(v.mid(colon + 1), options.port)) {
                error = QStringLiteral("--listen wants HOST:PORT with a numeric address, not \"%1\"").arg(v);
                return false;
            }
        } else if (arg == QLatin1String("--video")) {
            if (!take())
                return false;
            if (!parsePort(v, options.videoPort)) {
                error = QStringLiteral("--video wants a port number, not \"%1\"").arg(v);
                return false;
            }
        } else if (arg == QLatin1String("--com")) {
            if (!take())
                return false;
            bool ok = false;
            options.com = v.toInt(&ok);
            if (!ok || options.com < 1 || options.com > 256) {
                error = QStringLiteral("--com wants a number from 1 to 256, not \"%1\"").arg(v);
                return false;
            }
            options.pty = true;
        } else if (arg == QLatin1String("--config")) {
            if (!take())
                return false;
            if (v.isEmpty()) {
                error = QStringLiteral("--config needs a path");
                return false;
            }
            options.config = v;
        } else if (arg == QLatin1String("--version")) {
            if (!take())
                return false;
            static const QRegularExpression form(QStringLiteral("^([0-9])\\.([0-9])$"));
            const QRegularExpressionMatch m = form.match(v);
            if (!m.hasMatch()) {
                error = QStringLiteral("--version wants one digit, a dot and one digit, not \"%1\"").arg(v);
                return false;
            }
            options.major = m.captured(1).toInt();
            options.minor = m.captured(2).toInt();
        } else {
            error = QStringLiteral("unknown option \"%1\" (see --help)").arg(arguments[i]);
            return false;
        }
    }
    if (options.port != 0 && options.port == options.videoPort) {
        error = QStringLiteral("the command port and the video port must differ");
        return false;
    }
    return true;
}
