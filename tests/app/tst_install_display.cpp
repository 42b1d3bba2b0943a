// The installed program: `cmake --install` into a scratch prefix, the menu entry and metadata
// valid, and the program started from an unrelated folder working in its per-user folder.
#include "app/UserRuntimeFolder.h"

#include <QDirIterator>
#include <QImage>
#include <QProcess>
#include <QTest>
#include <QStandardPaths>

#include <csignal>

// Every entry below dir with its size, links listed but not followed.
static QStringList tree(const QString &dir)
{
    QStringList entries;
    for (QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();)
        entries << it.next() + ' ' + QString::number(it.fileInfo().size());
    entries.sort();
    return entries;
}

static QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

static QString canonical(const QString &path) { return QFileInfo(path).canonicalFilePath(); }

class TestInstall : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString prefix(const QString &name) const { return path("prefix/" + name); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QProcess install;
        install.start(KORVANE_CMAKE, {"--install", KORVANE_BUILD_DIR, "--prefix", path("prefix")});
        QVERIFY(install.waitForFinished(120000));
        QVERIFY2(install.exitCode() == 0, install.readAllStandardError().constData());
    }

    void installedFilesAreValid()
    {
        const QStringList sizes = QDir(prefix("share/icons/hicolor")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QVERIFY(sizes.contains("16x16") && sizes.contains("48x48") && sizes.contains("256x256"));
        for (const QString &size : sizes) {
            const QImage icon(prefix("share/icons/hicolor/%1/apps/org.korvane.korvane.png").arg(size));
            QCOMPARE(QStringLiteral("%1x%2").arg(icon.width()).arg(icon.height()), size);
        }
        for (QStringList command : {QStringList{"desktop-file-validate", prefix("share/applications/org.korvane.korvane.desktop")},
                                    QStringList{"appstreamcli", "validate", "--no-net", prefix("share/metainfo/org.korvane.korvane.metainfo.xml")}}) {
            if (QStandardPaths::findExecutable(command.first()).isEmpty())
                continue; // validator not installed
            QProcess check;
            check.start(command.takeFirst(), command);
            QVERIFY(check.waitForFinished(60000));
            QVERIFY2(check.exitCode() == 0, check.readAll().constData());
        }
    }

    void startsInPerUserFolder()
    {
        QVERIFY(QDir().mkpath(path("start")) && QDir().mkpath(path("home")) && QDir().mkpath(path("data")));
        const QStringList installed = tree(path("prefix"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", path("home")); // settings go to its .config
        env.remove("XDG_CONFIG_HOME");
        env.insert("XDG_DATA_HOME", path("data"));
        env.insert("KORVANE_STARTUP_PROBE", "quit");
        // The GL driver unloads with the X connection and leaves blocks LeakSanitizer cannot place.
        env.insert("ASAN_OPTIONS", "detect_leaks=0:abort_on_error=1");
        QProcess program;
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(path("start"));
        program.start(prefix("bin/korvane"), {});

        // The viewer runs from the installation, in the per-user folder, while the program does.
        const QString user = canonical(path("data")) + "/korvane";
        const auto viewers = [&, viewer = canonical(prefix("libexec/korvane/Video"))] {
            QList<int> found;
            for (const QString &pid : QDir("/proc").entryList({"[0-9]*"}, QDir::Dirs))
                if (QFile::symLinkTarget("/proc/" + pid + "/exe") == viewer && QFile::symLinkTarget("/proc/" + pid + "/cwd") == user)
                    found << pid.toInt();
            return found;
        };
        QTRY_VERIFY_WITH_TIMEOUT(!viewers().isEmpty(), 60000);
        QVERIFY(program.waitForFinished(120000));
        for (int pid : viewers()) // one the program had not adopted yet outlives it
            ::kill(pid, SIGTERM);
        const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
        QVERIFY2(program.exitCode() == 0, program.readAllStandardError().constData());
        // Every pane painted, and all nineteen part models of the arm loaded.
        QVERIFY2(QRegularExpression("^ready ms_since_start=[0-9.]+ models=19\n$").match(out).hasMatch(), qPrintable(out));

        QCOMPARE(tree(path("start")), QStringList());
        QCOMPARE(tree(path("prefix")), installed);
        QVERIFY(QFileInfo(user + "/config.ini").isFile() && !QFileInfo(user + "/Video/config.ini").isSymLink());
        QVERIFY(contents(user + "/Video/config.ini").contains("addr=http://"));
    }

    void perUserFolderDecisions_data()
    {
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QString>("current");
        QTest::addColumn<bool>("wanted");
        const QString installed = prefix("bin/korvane");
        QTest::newRow("installed, started elsewhere") << installed << path("elsewhere") << true;
        QTest::newRow("installed, started in a runtime folder") << installed << QStringLiteral(KORVANE_BUILD_DIR "/runtime") << false;
        QTest::newRow("installed, started in its own folder") << installed << path("mine/korvane") << true;
        QTest::newRow("not installed") << QStringLiteral(KORVANE_BUILD_DIR "/runtime/korvane") << path("start") << false;
    }

    // Decided without starting the program; its own folder is brought up to date each time.
    void perUserFolderDecisions()
    {
        QFETCH(QString, executable);
        QFETCH(QString, current);
        QFETCH(bool, wanted);
        // Models linked from another installation, still there, and a setting of the user's own.
        QVERIFY(QDir().mkpath(path("mine/korvane/Video")));
        QFile::remove(path("mine/korvane/3DS"));
        QVERIFY(QFile::link(KORVANE_BUILD_DIR "/runtime/3DS", path("mine/korvane/3DS")));
        QFile own(path("mine/korvane/Video/config.ini"));
        QVERIFY(own.open(QIODevice::WriteOnly) && own.write("[video_addr]\naddr=http://10.0.0.9:6001\n") > 0);
        own.close();

        const UserRuntimeFolder mine({executable, current, path("mine"), path("home")});
        QCOMPARE(mine.wanted(), wanted);
        if (!wanted)
            return;
        QString error;
        QVERIFY2(mine.prepare(&error), qPrintable(error));
        QCOMPARE(QFileInfo(path("mine/korvane/3DS")).symLinkTarget(), canonical(prefix("share/korvane/3DS")));
        QCOMPARE(canonical(path("mine/korvane/Video/Video")), canonical(prefix("libexec/korvane/Video")));
        QVERIFY(contents(path("mine/korvane/Video/config.ini")).contains("10.0.0.9"));
    }
};

QTEST_MAIN(TestInstall)
#include "tst_install_display.moc"
