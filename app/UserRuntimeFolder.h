#pragma once

#include <QString>

// The program reads everything relative to its current folder. Started from a runtime folder (the
// build's, or any folder holding 3DS/), it stays there. An installed program started anywhere else
// works in a per-user folder, $XDG_DATA_HOME/korvane, laid out as a runtime folder of its own: 3DS
// and Video/Video are links into the installation, config.ini and Video/config.ini are the user's.
// Nothing is written into the installation or into the folder the program was started from.
class UserRuntimeFolder
{
public:
    struct Places
    {
        QString executable;    // the program's own file, links resolved
        QString currentFolder; // where it was started
        QString dataHome;      // $XDG_DATA_HOME; unset or relative means ~/.local/share
        QString home;
    };

    explicit UserRuntimeFolder(const Places &places);

    // The installation's read-only data and helper folders, empty when the program does not run
    // from an installation (<prefix>/bin beside <prefix>/share/korvane).
    QString dataFolder() const { return m_dataFolder; }
    QString helperFolder() const { return m_helperFolder; }
    QString folder() const { return m_folder; }

    // Whether the program should work in the per-user folder rather than where it started.
    bool wanted() const;

    // Creates the per-user folder or brings it up to date with this installation; false with the
    // reason when it cannot be used.
    bool prepare(QString *error) const;

    static bool isRuntimeFolder(const QString &path);

    // Called first thing in main: moves into the per-user folder when wanted. A folder that cannot
    // be prepared is reported on standard error and the program stays where it started.
    static void enterIfInstalled();

private:
    QString m_folder;
    QString m_current;
    QString m_dataFolder;
    QString m_helperFolder;
};
