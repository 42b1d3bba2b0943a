#include "link/PrivateProfile.h"

#include <QtTest>

#include <fstream>
#include <sstream>

namespace {

std::string slurp(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void put(const std::string &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace

class TestPrivateProfile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void readsWithThePlatformRules();
    void missingFileSectionKeyGiveDefault();
    void valuesAreCutToTheBuffer();
    void toIntIsPlainDecimal_data();
    void toIntIsPlainDecimal();
    void writeCreatesWhatIsMissing();
    void writeKeepsOtherLines();
    void deleteKeyRemovesOnlyThatLine();
    void failedWriteLeavesFileIntact();

private:
    QTemporaryDir m_dir;
    std::string m_path;
};

void TestPrivateProfile::init()
{
    m_path = (m_dir.path() + "/config.ini").toStdString();
    std::remove(m_path.c_str());
}

void TestPrivateProfile::readsWithThePlatformRules()
{
    put(m_path, "; comment\r\n[Connect_Info]\r\n  MODE = 0 \r\nip=\"10.0.0.7\"\r\n;port=1\r\nport=6000\r\n"
                "[other]\r\nport=1\r\n");
    QCOMPARE(PrivateProfile::GetString(m_path, "connect_info", "mode", "1"), std::string("0"));
    QCOMPARE(PrivateProfile::GetString(m_path, "CONNECT_INFO", "ip", ""), std::string("10.0.0.7"));
    QCOMPARE(PrivateProfile::GetInt(m_path, "connect_info", "port", 7), 6000);
    QCOMPARE(PrivateProfile::GetInt(m_path, "other", "port", 7), 1);
}

void TestPrivateProfile::missingFileSectionKeyGiveDefault()
{
    QCOMPARE(PrivateProfile::GetString(m_path, "video_addr", "addr", "9600"), std::string("9600"));
    put(m_path, "[a]\nx=1\n");
    QCOMPARE(PrivateProfile::GetInt(m_path, "b", "x", 42), 42);
    QCOMPARE(PrivateProfile::GetInt(m_path, "a", "y", 42), 42);
    // A key outside any section is not a key of the first section.
    put(m_path, "x=5\n[a]\n");
    QCOMPARE(PrivateProfile::GetInt(m_path, "a", "x", 9), 9);
}

void TestPrivateProfile::valuesAreCutToTheBuffer()
{
    put(m_path, "[s]\nk=" + std::string(400, 'v') + "\n");
    QCOMPARE(PrivateProfile::GetString(m_path, "s", "k", "").size(), size_t(259));
    QCOMPARE(PrivateProfile::GetString(m_path, "s", "k", "", 4), std::string("vvv"));
    QCOMPARE(PrivateProfile::GetString(m_path, "s", "k", "", 0), std::string());
}

void TestPrivateProfile::toIntIsPlainDecimal_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("number") << "6000" << 6000;
    QTest::newRow("text") << "abc" << 0;
    QTest::newRow("leading blanks and sign") << "  -12x" << -12;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("overflow saturates") << "99999999999999999999" << INT_MAX;
    QTest::newRow("negative overflow") << "-99999999999999999999" << INT_MIN;
}

void TestPrivateProfile::toIntIsPlainDecimal()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(PrivateProfile::ToInt(text.toStdString()), value);
}

void TestPrivateProfile::writeCreatesWhatIsMissing()
{
    QVERIFY(PrivateProfile::WriteString(m_path, "connect_info", "mode", "1"));
    QVERIFY(PrivateProfile::WriteString(m_path, "connect_info", "com", "3"));
    QVERIFY(PrivateProfile::WriteString(m_path, "video_addr", "addr", "http://1.2.3.4:6001"));
    QCOMPARE(slurp(m_path), std::string("[connect_info]\nmode=1\ncom=3\n[video_addr]\naddr=http://1.2.3.4:6001\n"));
    QCOMPARE(PrivateProfile::GetString(m_path, "video_addr", "addr", ""), std::string("http://1.2.3.4:6001"));
}

void TestPrivateProfile::writeKeepsOtherLines()
{
    put(m_path, "; keep me\n[CONNECT_INFO]\nMode=0\n\n; note\n[com_ports]\nCOM3=/dev/ttyUSB7\n\n");
    QVERIFY(PrivateProfile::WriteString(m_path, "connect_info", "mode", "1"));
    QVERIFY(PrivateProfile::WriteString(m_path, "connect_info", "baud", "9600"));
    QVERIFY(PrivateProfile::WriteString(m_path, "com_ports", "COM5", "/dev/pts/9"));
    QCOMPARE(slurp(m_path), std::string("; keep me\n[CONNECT_INFO]\nMode=1\n\n; note\nbaud=9600\n[com_ports]\n"
                                        "COM3=/dev/ttyUSB7\nCOM5=/dev/pts/9\n\n"));
}

void TestPrivateProfile::deleteKeyRemovesOnlyThatLine()
{
    put(m_path, "[com_ports]\nCOM3=/dev/a\nCOM5=/dev/b\n[x]\nCOM5=keep\n");
    QVERIFY(PrivateProfile::DeleteKey(m_path, "com_ports", "com5"));
    QCOMPARE(slurp(m_path), std::string("[com_ports]\nCOM3=/dev/a\n[x]\nCOM5=keep\n"));
    QVERIFY(PrivateProfile::DeleteKey(m_path, "com_ports", "absent"));
    QVERIFY(PrivateProfile::DeleteKey(m_path + ".none", "a", "b"));
}

void TestPrivateProfile::failedWriteLeavesFileIntact()
{
    const std::string missingDir = (m_dir.path() + "/no/such/dir/config.ini").toStdString();
    QVERIFY(!PrivateProfile::WriteString(missingDir, "a", "b", "c"));
    put(m_path, "[a]\nb=old\n");
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    const bool wrote = PrivateProfile::WriteString(m_path, "a", "b", "new");
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (getuid() != 0) // root ignores the directory's write bit
        QVERIFY(!wrote);
    const std::string text = slurp(m_path);
    QVERIFY(text == "[a]\nb=old\n" || text == "[a]\nb=new\n");
}

QTEST_GUILESS_MAIN(TestPrivateProfile)
#include "tst_privateprofile.moc"
