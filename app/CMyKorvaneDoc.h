#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

// The document holds no data: New resets the title, Open takes the file's name as the title and
// remembers the file in the recent-file list, and nothing is ever read from or written to it.
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

    QString title() const { return m_title; }
    QString path() const { return m_path; }

    QStringList recentFiles() const;

signals:
    void titleChanged(const QString &title);
    void recentFilesChanged();

private:
    void setTitle(const QString &title);
    void addToRecentFiles(const QString &path);

    QString m_title;
    QString m_path;
};
