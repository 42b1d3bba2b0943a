#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class ArmLink;
class ArmPoseModel;

// The document is the arm being controlled: its pose as the 3D view shows it and the one link to
// its controller, shared by the panes. Its file holds nothing: New resets the title, Open takes the
// file's name as the title and remembers the file in the recent-file list, and nothing is ever read
// from or written to it.
class CMyKorvaneDoc : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxRecentFiles = 4;
    static constexpr const char *SettingsOrganisation = "Local AppWizard-Generated Applications";
    static constexpr const char *SettingsApplication = "Korvane";

    explicit CMyKorvaneDoc(QObject *parent = nullptr);

    bool OnNewDocument();
    bool OnOpenDocument(const QString &path);
    // Saving has nothing to write; it records the name only, and never touches the file.
    bool OnSaveDocument(const QString &path);

    ArmPoseModel *pose() const { return m_pose; }
    ArmLink *link() const { return m_link; }

    QString title() const { return m_title; }
    QString path() const { return m_path; }

    QStringList recentFiles() const;

signals:
    void titleChanged(const QString &title);
    void recentFilesChanged();

private:
    void setTitle(const QString &title);
    void addToRecentFiles(const QString &path);

    ArmPoseModel *m_pose;
    ArmLink *m_link;
    QString m_title;
    QString m_path;
};
