#include "panel/ActionGroupFile.h"

#include "link/AtomicFile.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString tooLarge()
{
    return QStringLiteral("The file is larger than 1 MB.");
}

QString tooManyRows()
{
    return QStringLiteral("more than %1 rows.").arg(ActionGroupFile::MaxRows);
}

ActionGroupFile::ReadResult refused(const QString &error)
{
    return {{}, error};
}

bool isWholeNumber(const QString &text)
{
    qsizetype i = text.startsWith(QLatin1Char('-')) ? 1 : 0;
    if (i == text.size())
        return false;
    for (; i < text.size(); ++i)
        if (text[i] < QLatin1Char('0') || text[i] > QLatin1Char('9'))
            return false;
    return true;
}

} // namespace

QString ActionGroupFile::problemWith(const Row &row)
{
    for (int k = 1; k <= 6; ++k) {
        const QString &text = row.angles[static_cast<size_t>(k - 1)];
        if (!isWholeNumber(text))
            return QStringLiteral("the angle of servo %1 is not a whole number.").arg(k);
        bool ok = false;
        const int angle = text.toInt(&ok);
        // Past int's range the number is surely outside the slider's.
        if (!ok || angle < 0 || angle > MaxAngle(k))
            return QStringLiteral("the angle of servo %1 is outside 0-%2.").arg(k).arg(MaxAngle(k));
    }
    const QList<uint> characters = row.interval.toUcs4();
    if (characters.size() > MaxIntervalLength)
        return QStringLiteral("the interval text is longer than %1 characters.").arg(MaxIntervalLength);
    // Tabs and line breaks would split the row; no other control character can be typed either.
    for (uint c : characters)
        if (QChar::category(c) == QChar::Other_Control)
            return QStringLiteral("the interval text holds a control character.");
    return {};
}

QString ActionGroupFile::Write(const QString &path, const QList<Row> &rows)
{
    if (rows.size() > MaxRows)
        return QStringLiteral("The action group has ") + tooManyRows();
    QByteArray text = QByteArray(Header) + '\n';
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const Row &row = rows[i];
        if (const QString problem = problemWith(row); !problem.isEmpty())
            return QStringLiteral("Row %1: %2").arg(i).arg(problem);
        QStringList fields(row.angles.begin(), row.angles.end());
        fields << row.interval;
        text += fields.join(QLatin1Char('\t')).toUtf8() + '\n';
    }
    if (text.size() > MaxBytes)
        return QStringLiteral("The action group would take more than 1 MB.");
    const std::string error = AtomicFile::Write(QFile::encodeName(path).toStdString(), text.toStdString());
    return error.empty() ? QString() : QString::fromLocal8Bit(error.c_str()) + QLatin1Char('.');
}

ActionGroupFile::ReadResult ActionGroupFile::Read(const QString &path)
{
    // Opened without waiting, so a pipe or a device under the name cannot hang the caller.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return refused(QString::fromLocal8Bit(std::strerror(errno)) + QLatin1Char('.'));
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return refused(QStringLiteral("Not a regular file."));
    }
    if (st.st_size > MaxBytes) {
        ::close(fd);
        return refused(tooLarge());
    }
    // One byte more than allowed tells a file that grew since it was measured.
    QByteArray bytes(MaxBytes + 1, Qt::Uninitialized);
    qsizetype size = 0;
    while (size < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + size, static_cast<size_t>(bytes.size() - size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            return refused(QString::fromLocal8Bit(std::strerror(error)) + QLatin1Char('.'));
        }
        if (n == 0)
            break;
        size += n;
    }
    ::close(fd);
    if (size > MaxBytes)
        return refused(tooLarge());
    bytes.truncate(size);
    return Parse(bytes);
}

ActionGroupFile::ReadResult ActionGroupFile::Parse(const QByteArray &bytes)
{
    if (bytes.size() > MaxBytes)
        return refused(tooLarge());
    // Editors elsewhere may start the file with a byte-order mark.
    const QByteArray body = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
    const QList<QByteArray> lines = body.split('\n');
    ReadResult result;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        if (line.endsWith('\r'))
            line.chop(1);
        const auto at = [i](const QString &problem) {
            return refused(QStringLiteral("Line %1: %2").arg(i + 1).arg(problem));
        };
        if (i == 0) {
            if (line == Header)
                continue;
            const QByteArray name = "korvane-action-group ";
            const QByteArray version = line.mid(name.size());
            const bool numbered = !version.isEmpty()
                && std::all_of(version.begin(), version.end(), [](char c) { return c >= '0' && c <= '9'; });
            if (line.startsWith(name) && numbered)
                return at(QStringLiteral("version %1 of the format is not supported.").arg(QString::fromLatin1(version)));
            return at(QStringLiteral("not an action group file (the first line must be \"%1\").")
                          .arg(QLatin1String(Header)));
        }
        if (line.isEmpty())
            continue;
        if (result.rows.size() == MaxRows)
            return at(tooManyRows());
        // A fresh decoder for every line that keeps a byte-order mark as a character, so one in
        // mid-file is refused like any other stray character.
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        const QString text = decoder.decode(line);
        if (decoder.hasError())
            return at(QStringLiteral("the text is not valid UTF-8."));
        const QStringList fields = text.split(QLatin1Char('\t'));
        if (fields.size() != FieldCount)
            return at(QStringLiteral("expected %1 fields separated by tabs (six angles and the interval), found %2.")
                          .arg(FieldCount)
                          .arg(fields.size()));
        Row row;
        for (size_t k = 0; k < 6; ++k)
            row.angles[k] = fields[static_cast<qsizetype>(k)];
        row.interval = fields[6];
        if (const QString problem = problemWith(row); !problem.isEmpty())
            return at(problem);
        result.rows.append(std::move(row));
    }
    return result;
}
