#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>

// A recorded action group as a file: UTF-8 text, the header line "korvane-action-group 1", then
// one line per row with the six angles and the interval text as the row shows them, separated by
// tabs. Every line is checked before a file is accepted, and a group is only written when it
// would read back, so whatever is saved can be opened again.
class ActionGroupFile
{
public:
    static constexpr const char *Header = "korvane-action-group 1";
    static constexpr qsizetype MaxBytes = 1024 * 1024;
    static constexpr int MaxRows = 10000;
    static constexpr int MaxIntervalLength = 32; // characters
    static constexpr int FieldCount = 7;

    struct Row
    {
        std::array<QString, 6> angles; // servo 1 to 6, decimal
        QString interval;              // as typed; read as a number only at playback
        bool operator==(const Row &) const = default;
    };

    struct ReadResult
    {
        QList<Row> rows;
        QString error; // empty when the file was accepted
    };

    // Empty on success, else one sentence saying why nothing was written.
    static QString Write(const QString &path, const QList<Row> &rows);
    static ReadResult Read(const QString &path);
    // The checks of Read on a file's bytes; a refusal names the line and what is wrong with it.
    static ReadResult Parse(const QByteArray &bytes);
    // The slider range of a servo (1 to 6).
    static int MaxAngle(int servo) { return servo == 5 ? 270 : 180; }

private:
    // What is wrong with a row, or empty.
    static QString problemWith(const Row &row);
};
