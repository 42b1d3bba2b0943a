#include "link/ComPortMap.h"
#include "tests/common/PtyPair.h"

#include <QtTest>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

void writeFile(const std::filesystem::path &path, const std::string &text)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

// Counts open and access events on a device node while it is watched.
class OpenWatch
{
public:
    explicit OpenWatch(const std::string &path)
        : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        inotify_add_watch(m_fd, path.c_str(), IN_OPEN | IN_ACCESS | IN_MODIFY | IN_ATTRIB);
    }
    ~OpenWatch() { ::close(m_fd); }
    int events() const
    {
        alignas(inotify_event) char buffer[4096];
        int count = 0;
        for (ssize_t n; (n = ::read(m_fd, buffer, sizeof buffer)) > 0;)
            for (char *p = buffer; p < buffer + n; p += sizeof(inotify_event) + reinterpret_cast<inotify_event *>(p)->len)
                ++count;
        return count;
    }

private:
    int m_fd;
};

} // namespace

class TestComPortMap : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void defaultsPutUsbAdaptersFirst_data();
    void defaultsPutUsbAdaptersFirst();
    void configuredDeviceComesFirst();
    void listsConfiguredPseudoTerminalWithoutOpeningIt();
    void listsOnlyRealSerialDevices();
    void sysfsDecidesForKernelDevices();

private:
    QTemporaryDir m_dir;
};

void TestComPortMap::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir::setCurrent(m_dir.path()));
}

void TestComPortMap::init()
{
    QFile::remove("config.ini");
}

void TestComPortMap::defaultsPutUsbAdaptersFirst_data()
{
    QTest::addColumn<unsigned>("number");
    QTest::addColumn<std::string>("device");
    QTest::newRow("COM0") << 0u << std::string();
    QTest::newRow("COM1") << 1u << std::string("/dev/ttyUSB0");
    QTest::newRow("COM10") << 10u << std::string("/dev/ttyUSB9");
    QTest::newRow("COM32") << 32u << std::string("/dev/ttyUSB31");
    QTest::newRow("COM33") << 33u << std::string("/dev/ttyACM0");
    QTest::newRow("COM64") << 64u << std::string("/dev/ttyACM31");
    QTest::newRow("COM65") << 65u << std::string("/dev/ttyS0");
    QTest::newRow("COM96") << 96u << std::string("/dev/ttyS31");
    QTest::newRow("COM97") << 97u << std::string();
    QTest::newRow("COM255") << 255u << std::string();
}

void TestComPortMap::defaultsPutUsbAdaptersFirst()
{
    QFETCH(unsigned, number);
    QFETCH(std::string, device);
    QCOMPARE(ComPortMap::DevicePathFor(number), device);
}

void TestComPortMap::configuredDeviceComesFirst()
{
    std::ofstream("config.ini") << "[connect_info]\nCOM3=/dev/wrong\n"
                                   "[Com_Ports]\ncom3 = /dev/serial/by-id/usb-1a86_USB_Serial-if00-port0\n"
                                   "COM150=/dev/pts/7\nCOM4=\n";
    QCOMPARE(ComPortMap::DevicePathFor(3), std::string("/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0"));
    QCOMPARE(ComPortMap::DevicePathFor(150), std::string("/dev/pts/7"));
    QCOMPARE(ComPortMap::DevicePathFor(4), std::string("/dev/ttyUSB3")); // empty value: the default
    QCOMPARE(ComPortMap::DevicePathFor(5), std::string("/dev/ttyUSB4"));
    QCOMPARE(ComPortMap::DevicePathFor(3, "missing.ini"), std::string("/dev/ttyUSB2"));
}

void TestComPortMap::listsConfiguredPseudoTerminalWithoutOpeningIt()
{
    PtyPair pty;
    QVERIFY(!pty.path.empty());
    mapCom(12, pty.path);
    mapCom(140, pty.path);

    OpenWatch watch(pty.path);
    ::close(::open(pty.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)); // the watch does see opens
    QVERIFY(watch.events() > 0);

    const auto fdsBefore = QDir("/proc/self/fd").entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size();
    const auto ports = ComPortMap::ListPorts();
    QCOMPARE(watch.events(), 0);
    QCOMPARE(QDir("/proc/self/fd").entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size(), fdsBefore);

    std::vector<ComPortMap::Entry> mapped;
    for (const auto &entry : ports)
        if (entry.devicePath == pty.path)
            mapped.push_back(entry);
    const std::vector<ComPortMap::Entry> expected = {{12, pty.path}, {140, pty.path}};
    QCOMPARE(mapped, expected);
}

void TestComPortMap::listsOnlyRealSerialDevices()
{
    PtyPair pty;
    std::ofstream("plain.txt") << "x";
    mapCom(2, "/dev/null");                  // a character device, but no tty
    mapCom(3, "plain.txt");                  // not a device
    mapCom(4, "/dev/does-not-exist-korvane"); // gone
    mapCom(5, "/dev/tty");                   // the controlling-terminal alias, no serial line
    mapCom(6, pty.path);

    std::vector<unsigned> numbers;
    for (const auto &entry : ComPortMap::ListPorts("./config.ini", (m_dir.path() + "/no-sysfs").toStdString()))
        numbers.push_back(entry.comNumber);
    // Without sysfs no kernel device qualifies; the configured pseudo-terminal still does.
    QCOMPARE(numbers, std::vector<unsigned>{6});

    // An unconfigured pseudo-terminal is somebody's terminal session, not a port.
    QVERIFY(!ComPortMap::IsSerialDevice(pty.path, false));
    QVERIFY(ComPortMap::IsSerialDevice(pty.path, true));
}

void TestComPortMap::sysfsDecidesForKernelDevices()
{
    // A kernel tty this test can name without owning hardware: the console-class device /dev/tty0
    // or /dev/console, judged against a sysfs tree written here.
    std::string device;
    for (const char *candidate : {"/dev/ttyS0", "/dev/tty0", "/dev/console", "/dev/ptmx"}) {
        struct stat st{};
        if (::stat(candidate, &st) == 0 && S_ISCHR(st.st_mode)) {
            device = candidate;
            break;
        }
    }
    if (device.empty())
        QSKIP("no kernel tty node to judge");
    struct stat st{};
    QCOMPARE(::stat(device.c_str(), &st), 0);
    const std::string name = std::filesystem::canonical(device).filename().string();
    const std::string dev = std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev));

    const std::filesystem::path sys = m_dir.path().toStdString() + "/sys-" + name;
    const std::string root = sys.string();
    std::filesystem::remove_all(sys);
    QVERIFY(!ComPortMap::IsSerialDevice(device, false, root)); // no sysfs entry

    writeFile(sys / name / "dev", dev + "\n");
    QVERIFY(!ComPortMap::IsSerialDevice(device, false, root)); // a class entry without a device: virtual

    std::filesystem::create_directories(sys / name / "device");
    QVERIFY(ComPortMap::IsSerialDevice(device, false, root));

    writeFile(sys / name / "type", "0\n"); // serial-core: no UART behind this port
    QVERIFY(!ComPortMap::IsSerialDevice(device, false, root));
    writeFile(sys / name / "type", "4\n");
    QVERIFY(ComPortMap::IsSerialDevice(device, false, root));

    writeFile(sys / name / "dev", "1:1\n"); // the entry belongs to another device
    QVERIFY(!ComPortMap::IsSerialDevice(device, false, root));
}

QTEST_GUILESS_MAIN(TestComPortMap)
#include "tst_comportmap.moc"
