#include "link/ComPortMap.h"
#include "tests/common/PtyPair.h"

#include <QtTest>

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
                                       "com3 = /dev/serial/by-id/usb-1a86_USB_Serial-if00-port0\nCOM150=/dev/pts/7\nCOM4=\nCOM0=/dev/zero\n";
        const std::pair<unsigned, const char *> rows[] = {
            {0, ""}, {1, "/dev/ttyUSB0"}, {32, "/dev/ttyUSB31"}, {33, "/dev/ttyACM0"}, {64, "/dev/ttyACM31"},
            {65, "/dev/ttyS0"}, {96, "/dev/ttyS31"}, {97, ""},
            // Configured: the key matches in any case, an empty value means the default.
            {3, "/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0"}, {150, "/dev/pts/7"}, {4, "/dev/ttyUSB3"}};
        for (const auto &[number, device] : rows) {
            const QString com = QStringLiteral("COM%1 ").arg(number);
            QCOMPARE(com + QString::fromStdString(ComPortMap::DevicePathFor(number)), com + device);
            QCOMPARE(ComPortMap::DevicePathFor(number, "missing.ini"), ComPortMap::DefaultDevicePath(number));
        }
    }

    void listsSerialDevicesWithoutOpeningThem()
    {
        PtyPair pty;
        QVERIFY(!pty.path.empty());
        std::ofstream("plain.txt") << "x";
        // A character device but no tty, no device, gone, the controlling-terminal alias; the last number listed.
        for (const auto &[number, path] : std::initializer_list<std::pair<unsigned, std::string>>{
                 {2, "/dev/null"}, {3, "plain.txt"}, {4, "/dev/does-not-exist-korvane"}, {5, "/dev/tty"}, {12, pty.path}, {256, pty.path}})
            mapCom(number, path);

        // Opening a tty toggles its modem lines: the listing must not even look inside.
        const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        inotify_add_watch(watch, pty.path.c_str(), IN_OPEN | IN_ACCESS | IN_MODIFY | IN_ATTRIB);
        const auto ports = ComPortMap::ListPorts("./config.ini", (m_dir.path() + "/no-sysfs").toStdString());
        char event[4096];
        QCOMPARE(::read(watch, event, sizeof event), ssize_t(-1));
        ::close(::open(pty.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)); // the watch does see an open
        QVERIFY(::read(watch, event, sizeof event) > 0);
        ::close(watch);
        // Without sysfs no kernel device qualifies; the configured pseudo-terminal does.
        const std::vector<ComPortMap::Entry> expected = {{12, pty.path}, {256, pty.path}};
        QCOMPARE(ports, expected);
        // An unconfigured pseudo-terminal is somebody's terminal session, not a port.
        QVERIFY(!ComPortMap::IsSerialDevice(pty.path, false));
    }

    void sysfsDecidesForKernelDevices()
    {
        // A kernel tty this test can name without owning hardware, judged against a sysfs tree
        // written here.
        std::string device;
        struct stat st{};
        for (const char *candidate : {"/dev/ttyS0", "/dev/tty0", "/dev/console", "/dev/ptmx"})
            if (device.empty() && ::stat(candidate, &st) == 0 && S_ISCHR(st.st_mode))
                device = candidate;
        if (device.empty())
            QSKIP("no kernel tty node to judge");
        const std::string name = std::filesystem::canonical(device).filename().string();
        const std::filesystem::path sys = m_dir.path().toStdString() + "/sys", entry = sys / name;
        const auto write = [&](const char *file, const std::string &text) { std::ofstream(entry / file) << text; };
        const auto serial = [&] { return ComPortMap::IsSerialDevice(device, false, sys.string()); };
        QVERIFY(!serial()); // no sysfs entry
        std::filesystem::create_directories(entry);
        write("dev", std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev)) + "\n");
        QVERIFY(!serial()); // a class entry without a device: virtual
        std::filesystem::create_directories(entry / "device");
        QVERIFY(serial());
        write("type", "0\n"); // serial-core: no UART behind this port
        QVERIFY(!serial());
        write("type", "4\n");
        QVERIFY(serial());
        write("dev", "1:1\n"); // the entry belongs to another device
        QVERIFY(!serial());
    }
};

QTEST_GUILESS_MAIN(TestComPortMap)
#include "tst_comportmap.moc"
