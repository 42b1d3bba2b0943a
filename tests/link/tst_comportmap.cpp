#include "link/ComPortMap.h"
#include "tests/common/PtyPair.h"

#include <QTest>

#include <filesystem>
#include <fstream>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

class TestComPortMap : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid() && QDir::setCurrent(m_dir.path())); }
    void init() { QFile::remove("config.ini"); }

    void devicePaths()
    {
        std::ofstream("config.ini") << "[connect_info]\nCOM3=/dev/wrong\n[Com_Ports]\n"
                                       "com3 = /dev/s/a\nCOM150=/dev/p7\nCOM4=\nCOM0=/dev/zero\n";
        const std::pair<unsigned, const char *> rows[] = {
            // 3, 150 and 4 configured: the key matches in any case, an empty value means the default.
            {0, ""}, {1, "/dev/ttyUSB0"}, {32, "/dev/ttyUSB31"}, {33, "/dev/ttyACM0"}, {64, "/dev/ttyACM31"},
            {65, "/dev/ttyS0"}, {96, "/dev/ttyS31"}, {97, ""}, {3, "/dev/s/a"}, {150, "/dev/p7"}, {4, "/dev/ttyUSB3"}};
        for (const auto &[number, device] : rows)
            QVERIFY2(ComPortMap::DevicePathFor(number) == device, qPrintable(QString::number(number)));
        QVERIFY(ComPortMap::DevicePathFor(3, "missing.ini") == "/dev/ttyUSB2"); // no file: the defaults
    }

    void listsSerialDevicesWithoutOpeningThem()
    {
        PtyPair pty;
        // A character device but no tty, a plain file, gone, the controlling-terminal alias; the last number listed.
        for (const auto &[number, path] : std::initializer_list<std::pair<unsigned, std::string>>{
                 {2, "/dev/null"}, {3, "config.ini"}, {4, "/dev/does-not-exist-korvane"}, {5, "/dev/tty"},
                 {12, pty.path}, {256, pty.path}})
            mapCom(number, path);

        // Opening a tty toggles its modem lines: the listing must not even look inside.
        const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        inotify_add_watch(watch, pty.path.c_str(), IN_OPEN | IN_ACCESS | IN_MODIFY | IN_ATTRIB);
        const auto ports = ComPortMap::ListPorts("./config.ini", (m_dir.path() + "/no-sysfs").toStdString());
        char event[4096];
        QCOMPARE(::read(watch, event, sizeof event), ssize_t(-1));
        ::close(watch);
        QCOMPARE(ports, (std::vector<ComPortMap::Entry>{{12, pty.path}, {256, pty.path}})); // no sysfs: only the pty
        QVERIFY(!ComPortMap::IsSerialDevice(pty.path, false)); // unconfigured, a pty is someone's terminal session
    }

    void sysfsDecidesForKernelDevices()
    {
        // A kernel tty this test can name without owning hardware, judged against a sysfs tree written here.
        std::string device;
        struct stat st{};
        for (const char *candidate : {"/dev/ttyS0", "/dev/tty0", "/dev/console", "/dev/ptmx"})
            if (device.empty() && ::stat(candidate, &st) == 0 && S_ISCHR(st.st_mode))
                device = candidate;
        if (device.empty())
            QSKIP("no kernel tty node to judge");
        const std::filesystem::path sys = m_dir.path().toStdString() + "/sys";
        const std::filesystem::path entry = sys / std::filesystem::canonical(device).filename();
        const auto serial = [&] { return ComPortMap::IsSerialDevice(device, false, sys.string()); };
        const auto after = [&](const char *f, const std::string &s) { std::ofstream(entry / f) << s; return serial(); };
        QVERIFY(!serial()); // no sysfs entry
        std::filesystem::create_directories(entry);
        // A class entry without a device: virtual.
        QVERIFY(!after("dev", std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev)) + "\n"));
        std::filesystem::create_directories(entry / "device");
        QVERIFY(serial());
        QVERIFY(!after("type", "0\n")); // serial-core: no UART behind this port
        QVERIFY(after("type", "4\n"));
        QVERIFY(!after("dev", "1:1\n")); // the entry belongs to another device
    }
};

QTEST_GUILESS_MAIN(TestComPortMap)
#include "tst_comportmap.moc"
