#include "link/PrivateProfile.h"

#include <QTest>

class TestPrivateProfile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::string m_path;

    void put(const QByteArray &text)
    {
        QFile f(QString::fromStdString(m_path));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text) == text.size());
    }
    QByteArray text() const
    {
        QFile f(QString::fromStdString(m_path));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
    }
    std::string get(const char *section, const char *key, size_t buffer = PrivateProfile::DefaultBufferSize)
    {
        return PrivateProfile::GetString(m_path, section, key, "<default>", buffer);
    }

private slots:
    void init()
    {
        m_path = (m_dir.path() + "/config.ini").toStdString();
        QFile::remove(QString::fromStdString(m_path));
    }

    void readsWithThePlatformRules()
    {
        QCOMPARE(get("connect_info", "mode"), std::string("<default>")); // no file
        put("x=5\r\n; comment\r\n[Connect_Info]\r\n  MODE = 0 \r\nip=\"10.0.0.7\"\r\n;port=1\r\nport=6000\r\nq=\"\r\n"
            "s='a\"\r\n[other]\r\nport=1\r\n");
        QCOMPARE(get("CONNECT_INFO", "mode"), std::string("0"));
        QCOMPARE(get("connect_info", "ip"), std::string("10.0.0.7"));
        QCOMPARE(get("connect_info", "q"), std::string("\"")); // one quote is no pair
        QCOMPARE(get("connect_info", "s"), std::string("'a\""));
        QCOMPARE(PrivateProfile::GetInt(m_path, "connect_info", "port", 7), 6000);
        QCOMPARE((QList<int>{PrivateProfile::GetInt(m_path, "other", "port", 7), PrivateProfile::GetInt(m_path, "other", "ip", 7)}), (QList<int>{1, 7}));
        QCOMPARE(get("connect_info", "x") + get("missing", "port"), std::string("<default><default>")); // x: outside any section
    }

    void valuesAreCutToTheBuffer()
    {
        put("[s]\nk=" + QByteArray(259, 'v') + "\nl=" + QByteArray(260, 'v') + "\n");
        QCOMPARE(get("s", "k"), std::string(259, 'v')); // fits with its terminator
        QCOMPARE(get("s", "l"), std::string(259, 'v'));
        QCOMPARE(get("s", "k", 4), std::string("vvv"));
        QVERIFY(get("s", "k", 1).empty() && get("s", "k", 0).empty());
    }

    void writesKeepEveryOtherLine()
    {
        QVERIFY(PrivateProfile::WriteString(m_path, "connect_info", "mode", "1")
                && PrivateProfile::WriteString(m_path, "video_addr", "addr", "http://1.2.3.4:6001"));
        QCOMPARE(text(), QByteArray("[connect_info]\nmode=1\n[video_addr]\naddr=http://1.2.3.4:6001\n"));

        put("; keep me\n[CONNECT_INFO]\nMode=0\n\n; note\n[com_ports]\nCOM3=/dev/ttyUSB7\nCOM5=/dev/b\n\n[x]\nCOM5=keep\n");
        QVERIFY(PrivateProfile::WriteString(m_path, "connect_info", "mode", "1") && PrivateProfile::WriteString(m_path, "connect_info", "baud", "9600"));
        QVERIFY(PrivateProfile::WriteString(m_path, "com_ports", "COM6", "/dev/pts/9"));
        QVERIFY(PrivateProfile::DeleteKey(m_path, "com_ports", "com5") && PrivateProfile::DeleteKey(m_path, "com_ports", "absent"));
        QCOMPARE(text(), QByteArray("; keep me\n[CONNECT_INFO]\nMode=1\n\n; note\nbaud=9600\n[com_ports]\n"
                                    "COM3=/dev/ttyUSB7\nCOM6=/dev/pts/9\n\n[x]\nCOM5=keep\n"));
        QVERIFY(PrivateProfile::DeleteKey(m_path + ".none", "a", "b"));
        QVERIFY(!QFile::exists(QString::fromStdString(m_path + ".none")));
    }

    void failedWriteLeavesFileIntact()
    {
        QVERIFY(!PrivateProfile::WriteString(m_dir.path().toStdString() + "/no/such/dir/config.ini", "a", "b", "c"));
        put("[a]\nb=old\n");
        QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        const bool wrote = PrivateProfile::WriteString(m_path, "a", "b", "new");
        QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (getuid() != 0) // root ignores the folder's write bit
            QVERIFY(!wrote);
        QCOMPARE(text(), wrote ? QByteArray("[a]\nb=new\n") : QByteArray("[a]\nb=old\n"));
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), QStringList{"config.ini"}); // no temporary left
    }
};

QTEST_GUILESS_MAIN(TestPrivateProfile)
#include "tst_privateprofile.moc"
