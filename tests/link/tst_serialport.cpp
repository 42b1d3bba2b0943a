#include "link/CSerialPort.h"
#include "link/CommandFrames.h"
#include "link/QtSerialOwner.h"
#include "link/SerialMessages.h"
#include "link/SerialOwner.h"
#include "tests/common/EventLoopWait.h"
#include "tests/common/PtyPair.h"
#include "tests/common/ThreadProbe.h"

#include <QtTest>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <poll.h>
#include <random>
#include <set>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace SerialMessages;

namespace {

struct Message
{
    unsigned message;
    std::uintptr_t wparam;
    std::uintptr_t lparam;
};

// Records every message; optionally stops inside a chosen one until the test lets it go.
class Recorder : public SerialOwner
{
public:
    void OnSerialMessage(unsigned message, std::uintptr_t wparam, std::uintptr_t lparam) override
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_messages.push_back({message, wparam, lparam});
        if (message == WM_SERIAL_BYTE)
            m_bytes.push_back(static_cast<char>(wparam));
        m_threads.insert(std::this_thread::get_id());
        if (m_holdOn && m_holdOn(message, wparam)) {
            m_holdOn = {};
            m_held = true;
            m_changed.notify_all();
            m_changed.wait_for(lock, std::chrono::seconds(20), [this] { return m_released; });
            m_held = false;
        }
        if (m_onMessage) {
            auto hook = m_onMessage;
            lock.unlock();
            hook(message, wparam);
        }
    }

    void holdOn(std::function<bool(unsigned, std::uintptr_t)> predicate)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_holdOn = std::move(predicate);
        m_released = false;
    }
    bool waitHeld()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(10), [this] { return m_held; });
    }
    void release()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }
    void onMessage(std::function<void(unsigned, std::uintptr_t)> hook)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_onMessage = std::move(hook);
    }

    std::string bytes() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_bytes;
    }
    std::vector<Message> messages() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_messages;
    }
    int count(unsigned message) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return static_cast<int>(std::count_if(m_messages.begin(), m_messages.end(),
                                              [message](const Message &m) { return m.message == message; }));
    }
    std::set<std::thread::id> threads() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_threads;
    }
    // Messages in a compact form: bytes as themselves, events as <hex number>.
    std::string trace() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::string out;
        for (const auto &m : m_messages)
            out += m.message == WM_SERIAL_BYTE ? std::string(1, static_cast<char>(m.wparam))
                                               : "<" + QByteArray::number(m.message, 16).toStdString() + ">";
        return out;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Message> m_messages;
    std::string m_bytes;
    std::set<std::thread::id> m_threads;
    std::function<bool(unsigned, std::uintptr_t)> m_holdOn;
    std::function<void(unsigned, std::uintptr_t)> m_onMessage;
    bool m_held = false;
    bool m_released = false;
};

int openDescriptors()
{
    int n = 0;
    if (DIR *dir = opendir("/proc/self/fd")) {
        while (readdir(dir))
            ++n;
        closedir(dir);
    }
    return n;
}

// Starts the watcher and waits until it has done its opening purge (a transmit comes after it),
// so what the peer writes from here on is read.
bool startWatching(CSerialPort &port, const PtyPair &pty)
{
    if (!port.StartWatcher() || !port.SendText("$070007#"))
        return false;
    return pty.read(8) == "$070007#";
}

// Waits, without running the event loop, until the port's input queue holds count bytes.
bool waitUnread(const PtyPair &pty, int count)
{
    for (int i = 0; i < 5000; ++i) {
        if (pty.unreadAtPort() == count)
            return true;
        usleep(1000);
    }
    return false;
}

} // namespace

class TestSerialPort : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void appliesLineSettings_data();
    void appliesLineSettings();
    void failedLineSettingStillOpens_data();
    void failedLineSettingStillOpens();
    void restoresTerminalOnClose();
    void holdsDeviceExclusively();
    void failedOpenThenGoodOpen_data();
    void failedOpenThenGoodOpen();
    void reachesHighComNumbers_data();
    void reachesHighComNumbers();

    void deliversOnOwnerThreadWithEventAfterBatch();
    void sendsCoalesceIntoOneTransmit();
    void purgeDiscardsUnreadInputBeforeWrite();
    void oversizeSendsAreRefused();
    void peerReceivesEveryCatalogueFrame();
    void megabyteArrivesCompleteAndInOrder();
    void suspendedWatcherWaitsForResume();

    void destroyingNeverOpenedPortReturnsAtOnce();
    void reopenEndsOldWatcherFirst();
    void requestCloseEndsWatcherAndClosesDevice();
    void hangUpIsReportedOnceWithoutSpin();
    void shutdownWhileHandOffPending();
    void closeFromInsideDelivery();
    void shutdownWhileDirectOwnerBusy();
    void openCloseCyclesLeaveNoDescriptors();

private:
    QTemporaryDir m_dir;
};

void TestSerialPort::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir::setCurrent(m_dir.path()));
}

void TestSerialPort::init()
{
    QFile::remove("config.ini");
}

void TestSerialPort::appliesLineSettings_data()
{
    QTest::addColumn<unsigned>("baud");
    QTest::addColumn<char>("parity");
    QTest::addColumn<unsigned>("dataBits");
    QTest::addColumn<unsigned>("stopBits");
    QTest::addColumn<speed_t>("speed");
    QTest::addColumn<tcflag_t>("cflags");

    // A pseudo-terminal always runs 8 bits without parity; those mappings are covered where the
    // mode text is parsed.
    QTest::newRow("panel 9600 8N1") << 9600u << 'N' << 8u << 1u << speed_t(B9600) << tcflag_t(CS8);
    QTest::newRow("2400 8N2") << 2400u << 'N' << 8u << 2u << speed_t(B2400) << tcflag_t(CS8 | CSTOPB);
    QTest::newRow("19200 8N1") << 19200u << 'N' << 8u << 1u << speed_t(B19200) << tcflag_t(CS8);
    QTest::newRow("115200 8N2") << 115200u << 'N' << 8u << 2u << speed_t(B115200) << tcflag_t(CS8 | CSTOPB);
}

void TestSerialPort::appliesLineSettings()
{
    QFETCH(unsigned, baud);
    QFETCH(char, parity);
    QFETCH(unsigned, dataBits);
    QFETCH(unsigned, stopBits);
    QFETCH(speed_t, speed);
    QFETCH(tcflag_t, cflags);

    PtyPair pty;
    mapCom(5, pty.path);
    Recorder owner;
    CSerialPort port;
    QVERIFY(port.OpenPort(&owner, 5, baud, parity, dataBits, stopBits));
    QCOMPARE(port.LastFailure(), std::string());

    termios t{};
    QCOMPARE(tcgetattr(pty.slave, &t), 0);
    QCOMPARE(cfgetospeed(&t), speed);
    QCOMPARE(t.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS), cflags);
    // Raw: no line editing, echo, signals or translation of the frame bytes.
    QCOMPARE(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), tcflag_t(0));
    QCOMPARE(t.c_iflag & (ICRNL | IXON | ISTRIP), tcflag_t(0));
    QCOMPARE(t.c_oflag & OPOST, tcflag_t(0));
    QVERIFY(t.c_cflag & CREAD);

    const SerialLineSettings settings = port.LineSettings();
    QCOMPARE(settings.eventChar, 'q');
    QVERIFY(settings.rtsOn);
    QCOMPARE(settings.baud, baud);
}

void TestSerialPort::failedLineSettingStillOpens_data()
{
    QTest::addColumn<unsigned>("baud");
    QTest::addColumn<char>("parity");
    QTest::addColumn<unsigned>("dataBits");
    QTest::addColumn<std::string>("failure");

    QTest::newRow("unknown parity") << 9600u << 'X' << 8u << std::string("BuildCommDCB()");
    QTest::newRow("nine data bits") << 9600u << 'N' << 9u << std::string("BuildCommDCB()");
    QTest::newRow("rate the line cannot run") << 12345u << 'N' << 8u << std::string("SetCommState()");
}

void TestSerialPort::failedLineSettingStillOpens()
{
    QFETCH(unsigned, baud);
    QFETCH(char, parity);
    QFETCH(unsigned, dataBits);
    QFETCH(std::string, failure);

    PtyPair pty;
    mapCom(5, pty.path);
    Recorder owner;
    CSerialPort port;
    QVERIFY(port.OpenPort(&owner, 5, baud, parity, dataBits, 1));
    QVERIFY(port.IsOpen());
    QCOMPARE(port.LastFailure().substr(0, failure.size()), failure);
    // Open in whatever state it got to, and still usable.
    QVERIFY(port.StartWatcher());
    QVERIFY(port.SendText("$070007#"));
    QCOMPARE(pty.read(8), std::string("$070007#"));
}

void TestSerialPort::restoresTerminalOnClose()
{
    PtyPair pty;
    mapCom(5, pty.path);
    termios before{};
    QCOMPARE(tcgetattr(pty.slave, &before), 0);
    before.c_lflag |= ICANON | ECHO;
    cfsetospeed(&before, B4800);
    cfsetispeed(&before, B4800);
    QCOMPARE(tcsetattr(pty.slave, TCSANOW, &before), 0);
    QCOMPARE(tcgetattr(pty.slave, &before), 0);

    Recorder owner;
    {
        CSerialPort port;
        QVERIFY(port.OpenPort(&owner, 5, 115200));
        QVERIFY(port.StartWatcher());
        termios during{};
        QCOMPARE(tcgetattr(pty.slave, &during), 0);
        QCOMPARE(cfgetospeed(&during), speed_t(B115200));
    }
    termios after{};
    QCOMPARE(tcgetattr(pty.slave, &after), 0);
    QCOMPARE(cfgetospeed(&after), speed_t(B4800));
    QCOMPARE(after.c_lflag, before.c_lflag);
    QCOMPARE(after.c_iflag, before.c_iflag);
    QCOMPARE(after.c_oflag, before.c_oflag);
    QCOMPARE(after.c_cflag, before.c_cflag);
}

void TestSerialPort::holdsDeviceExclusively()
{
    PtyPair pty;
    mapCom(5, pty.path);
    mapCom(6, pty.path);
    Recorder owner;
    auto first = std::make_unique<CSerialPort>();
    CSerialPort second;
    QVERIFY(first->OpenPort(&owner, 5));
    QVERIFY(first->StartWatcher());
    QVERIFY(!second.OpenPort(&owner, 6));
    QVERIFY(!second.IsOpen());
    first.reset();
    QVERIFY(second.OpenPort(&owner, 6));
}

void TestSerialPort::failedOpenThenGoodOpen_data()
{
    QTest::addColumn<std::string>("badDevice");
    QTest::newRow("no such device") << std::string("/dev/does-not-exist-korvane");
    QTest::newRow("not a terminal") << std::string("/dev/null");
    QTest::newRow("plain file") << std::string("plain.txt");
    QTest::newRow("default device that is absent") << std::string();
}

void TestSerialPort::failedOpenThenGoodOpen()
{
    QFETCH(std::string, badDevice);
    QFile plain("plain.txt");
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();

    PtyPair pty;
    mapCom(7, pty.path);
    unsigned badNumber = 8;
    if (badDevice.empty())
        badNumber = 63; // /dev/ttyACM30: no such adapter here
    else
        mapCom(8, badDevice);

    Recorder owner;
    CSerialPort port;
    const int fds = openDescriptors();
    QVERIFY(!port.OpenPort(&owner, badNumber));
    QVERIFY(!port.IsOpen());
    QCOMPARE(openDescriptors(), fds);

    QVERIFY(port.OpenPort(&owner, 7));
    QVERIFY(port.IsOpen());
    QVERIFY(startWatching(port, pty));
    QVERIFY(pty.write("$"));
    QTRY_COMPARE(owner.bytes(), std::string("$"));
}

void TestSerialPort::reachesHighComNumbers_data()
{
    QTest::addColumn<unsigned>("number");
    QTest::newRow("COM10") << 10u;
    QTest::newRow("COM33") << 33u;
    QTest::newRow("COM97") << 97u;
    QTest::newRow("COM200") << 200u;
}

void TestSerialPort::reachesHighComNumbers()
{
    QFETCH(unsigned, number);
    PtyPair pty;
    mapCom(number, pty.path);
    Recorder owner;
    CSerialPort port;
    QVERIFY(port.OpenPort(&owner, number));
    QVERIFY(startWatching(port, pty));
    QVERIFY(port.SendText("$0302060b#"));
    QCOMPARE(pty.read(10), std::string("$0302060b#"));
    QVERIFY(pty.write("#"));
    QTRY_COMPARE(owner.count(WM_SERIAL_EVENT_CHAR), 1);
    for (const auto &m : owner.messages())
        QCOMPARE(m.lparam, std::uintptr_t(number));
}

void TestSerialPort::deliversOnOwnerThreadWithEventAfterBatch()
{
    PtyPair pty;
    mapCom(5, pty.path);
    Recorder target;
    QtSerialOwner owner(target);
    CSerialPort port;
    QVERIFY(port.OpenPort(&owner, 5));
    QVERIFY(startWatching(port, pty));
    // This thread serves no hand-off until it runs its event loop, so the watcher waits inside
    // the first byte's delivery while the rest of the batch arrives whole.
    QVERIFY(pty.write("x"));
    pollfd handOff{owner.HandOffFd(), POLLIN, 0};
    QCOMPARE(poll(&handOff, 1, 5000), 1);
    QVERIFY(pty.write(std::string("ab\xff", 3)));
    QVERIFY(waitUnread(pty, 3));
    QTRY_COMPARE(target.count(WM_SERIAL_EVENT_CHAR), 1);

    QVERIFY(pty.write("q#"));
    QTRY_COMPARE(target.count(WM_SERIAL_EVENT_CHAR), 2);
    QCOMPARE(target.trace(), std::string("xab\xff<408>q#<408>"));

    const auto messages = target.messages();
    QCOMPARE(messages[3].wparam, std::uintptr_t(0xff)); // zero-extended, not sign-extended
    for (const auto &m : messages) {
        QCOMPARE(m.lparam, std::uintptr_t(5));
        if (m.message == WM_SERIAL_EVENT_CHAR)
            QCOMPARE(m.wparam, std::uintptr_t(0));
    }
    QCOMPARE(target.threads(), std::set<std::thread::id>{std::this_thread::get_id()});
}

void TestSerialPort::sendsCoalesceIntoOneTransmit()
{
    PtyPair pty;
    mapCom(5, pty.path);
    Recorder owner;
    owner.holdOn([](unsigned m, std::uintptr_t) { return m == WM_SERIAL_BYTE; });
    CSerialPort port;
    QVERIFY(port.OpenPort(&owner, 5));
    QVERIFY(startWatching(port, pty));

    QVERIFY(pty.write("r"));
    QVERIFY(owner.waitHeld());
    QVERIFY(port.SendText("$0C02010F#"));
    QVERIFY(port.SendText("$070007#"));
    owner.release();

    QCOMPARE(pty.read(8), std::string("$070007#"));
    // Nothing else was sent between that transmit and the next one.
    QVERIFY(port.SendText("$090100a#"));
    QCOMPARE(pty.read(9), std::string("$090100a#"));
}

void TestSerialPort::purgeDiscardsUnreadInputBeforeWrite()
{
    PtyPair pty;
    mapCom(5, pty.path);
    Recorder owner;
    owner.holdOn([](unsigned m, std::uintptr_t) { return m == WM_SERIAL_EVENT_CHAR; });
    CSerialPort port;
    QVERIFY(port.OpenPort(&owner, 5));
    QVERIFY(startWatching(port, pty));

    QVERIFY(pty.write("1"));
    QVERIFY(owner.waitHeld());
    // A late reply arrives while the watcher is busy, and a new frame is queued.
    QVERIFY(pty.write("YZ"));
    QTRY_COMPARE(pty.unreadAtPort(), 2);
    QVERIFY(port.SendText("$070007#"));
    owner.release();

    QCOMPARE(pty.read(8), std::string("$070007#"));
    QVERIFY(pty.write("2"));
    QTRY_COMPARE(owner.bytes(), std::string("12"));
}

void TestSerialPort::oversizeSendsAreRefused()
{
    PtyPair pty;
    mapCom(5, pty.path);
    Recorder owner;
    CSerialPort port;
    QVERIFY(!port.SendText("$070007#")); // no slot before the first open
    QVERIFY(port.OpenPort(&owner, 5, 9600, 'N', 8, 1, EV_RXCHAR | EV_RXFLAG, 8));
    QVERIFY(port.StartWatcher());

    QVERIFY(port.SendText("$070007#")); // exactly the capacity
    QCOMPARE(pty.read(8), std::string("$070007#"));
    QVERIFY(!port.SendText("$090100a#"));
    QVERIFY(!port.SendBytes("abc", -1));
    QVERIFY(!port.SendBytes(nullptr, 3));
    QVERIFY(port.SendBytes("$0", 2));
    QCOMPARE(pty.read(2), std::string("$0"));
}

void TestSerialPort::peerReceivesEveryCatalogueFrame()
{
    using namespace CommandFrames;
    const std::vector<std::string> frames = {
        RequestAngles(), SingleServo(3, 95), SingleServo(6, 180), AllServos({90, 90, 90, 90, 110, 180}, 500),
        WriteServoId(7), Middle(), RunAction(1), RunAction(15), Stop(), Restore(), SetMedian(3),
        RestoreMedians(), SetLight(Light::Red), SetLight(Light::Green), SetLight(Light::Blue),
        SetLight(Light::Off), SetLight(Light::On), FaceTracking(true), FaceTracking(false),
        ColourTracking(0), ColourTracking(4), ColourInteraction(), StartTracking(),
    };
    PtyPair pty;
    mapCom(5, pty.path);
    Recorder owner;
    CSerialPort port;
    QVERIFY(port.OpenPort(&owner, 5));
    QVERIFY(port.StartWatcher());
    for (const auto &frame : frames) {
        QVERIFY(port.SendText(frame.c_str()));
        QCOMPARE(pty.read(frame.size()), frame);
    }
    QVERIFY(port.SendText("!"));
    QCOMPARE(pty.read(1), std::string("!"));
}

void TestSerialPort::megabyteArrivesCompleteAndInOrder()
{
    PtyPair pty;
    mapCom(5, pty.path);
    std::string data(1 << 20, '\0');
    std::mt19937 rng(7);
    for (char &c : data)
        c = static_cast<char>(rng());

    Recorder target;
    QtSerialOwner owner(target);
    CSerialPort port;
    QVERIFY(port.OpenPort(&owner, 5, 115200));
    QVERIFY(startWatching(port, pty));
    bool written = false;
    std::thread writer([&] { written = pty.write(data); });
    QVERIFY(runEventLoopUntil([&] { return target.count(WM_SERIAL_BYTE) == int(data.size()); }, 240000));
    writer.join();
    QVERIFY(written);
    QVERIFY(target.bytes() == data);
}

void TestSerialPort::suspendedWatcherWaitsForResume()
{
    PtyPair pty;
    mapCom(5, pty.path);
    Recorder owner;
    CSerialPort port;
    QVERIFY(port.OpenPort(&owner, 5));
    QVERIFY(port.StartWatcher());
    QVERIFY(port.SuspendWatcher());
    QVERIFY(port.SendText("$070007#"));
    QCOMPARE(pty.read(1, 200), std::string());
    QVERIFY(port.ResumeWatcher());
    QCOMPARE(pty.read(8), std::string("$070007#"));
}

void TestSerialPort::destroyingNeverOpenedPortReturnsAtOnce()
{
    const int fds = openDescriptors();
    const auto threads = threadIds();
    {
        CSerialPort port;
        QVERIFY(!port.IsOpen());
        QVERIFY(!port.IsWatching());
    }
    QCOMPARE(openDescriptors(), fds);
    QCOMPARE(threadIds(), threads);
}

void TestSerialPort::reopenEndsOldWatcherFirst()
{
    PtyPair pty;
    mapCom(5, pty.path);
    Recorder owner;
    CSerialPort port;
    QVERIFY(port.OpenPort(&owner, 5));
    const auto before = threadIds();
    QVERIFY(startWatching(port, pty));
    QVERIFY(!port.StartWatcher()); // one watcher per port
    QCOMPARE(threadIds().size(), before.size() + 1);

    // The old watcher has ended (and closed the device) before the open goes on.
    QVERIFY(port.OpenPort(&owner, 5));
    QCOMPARE(threadIds(), before);
    QVERIFY(!port.IsWatching());
    QVERIFY(startWatching(port, pty));
    QVERIFY(pty.write("z"));
    QTRY_COMPARE(owner.bytes(), std::string("z"));
}

void TestSerialPort::requestCloseEndsWatcherAndClosesDevice()
{
    PtyPair pty;
    mapCom(5, pty.path);
    Recorder owner;
    CSerialPort port;
    QVERIFY(port.OpenPort(&owner, 5));
    QVERIFY(port.StartWatcher());
    port.RequestClose();
    QTRY_VERIFY(!port.IsWatching());
    QVERIFY(!port.IsOpen());
    // The device is free again for another port.
    CSerialPort other;
    QVERIFY(other.OpenPort(&owner, 5));
}

void TestSerialPort::hangUpIsReportedOnceWithoutSpin()
{
    PtyPair pty;
    mapCom(5, pty.path);
    Recorder target;
    QtSerialOwner owner(target);
    CSerialPort port;
    QVERIFY(port.OpenPort(&owner, 5));
    const auto before = threadIds();
    QVERIFY(startWatching(port, pty));
    std::vector<int> started;
    for (int id : threadIds())
        if (!before.count(id))
            started.push_back(id);
    QCOMPARE(started.size(), size_t(1));
    const int watcher = started.front();

    QVERIFY(pty.write("ok"));
    QTRY_COMPARE(target.bytes(), std::string("ok"));
    pty.closeMaster();
    QTRY_COMPARE(target.count(WM_SERIAL_LOST), 1);
    QCOMPARE(target.messages().back().lparam, std::uintptr_t(5));
    // The reads that found the line dead handed on no byte.
    QCOMPARE(target.bytes(), std::string("ok"));

    // A watcher that kept polling the dead device would burn a whole core here.
    const qint64 cpuBefore = threadCpuNs(watcher);
    QVERIFY(cpuBefore >= 0);
    QTest::qWait(300);
    const qint64 cpuAfter = threadCpuNs(watcher);
    QVERIFY2(cpuAfter - cpuBefore < 20'000'000, qPrintable(QString::number(cpuAfter - cpuBefore) + " ns"));
    QCOMPARE(target.count(WM_SERIAL_LOST), 1);

    // Still a well-behaved watcher: sends fail quietly and a close ends it.
    QVERIFY(port.SendText("$070007#"));
    QTRY_VERIFY(!port.LastFailure().empty());
    port.RequestClose();
    QTRY_VERIFY(!port.IsWatching());
    QVERIFY(!port.IsOpen());
}

void TestSerialPort::shutdownWhileHandOffPending()
{
    PtyPair pty;
    mapCom(5, pty.path);
    Recorder target;
    QtSerialOwner owner(target);
    auto port = std::make_unique<CSerialPort>();
    QVERIFY(port->OpenPort(&owner, 5));
    QVERIFY(startWatching(*port, pty));
    // The watcher hands the byte to this thread, which is not running its event loop: it is
    // blocked in the hand-off when the port is destroyed.
    QVERIFY(pty.write("w"));
    pollfd p{owner.HandOffFd(), POLLIN, 0};
    QCOMPARE(poll(&p, 1, 5000), 1);
    port.reset();
    QCOMPARE(target.bytes(), std::string("w"));
}

void TestSerialPort::closeFromInsideDelivery()
{
    PtyPair pty;
    mapCom(5, pty.path);
    Recorder target;
    QtSerialOwner owner(target);
    auto port = std::make_unique<CSerialPort>();
    bool closed = false;
    target.onMessage([&](unsigned message, std::uintptr_t) {
        if (message == WM_SERIAL_BYTE && port) {
            port.reset(); // the owner drops the link while handling a byte
            closed = true;
        }
    });
    QVERIFY(port->OpenPort(&owner, 5));
    QVERIFY(startWatching(*port, pty));
    QVERIFY(pty.write("abc"));
    QTRY_VERIFY(closed);
    QVERIFY(!port);
    // The device is free: the watcher ended and closed it.
    CSerialPort again;
    Recorder other;
    QVERIFY(again.OpenPort(&other, 5));
}

void TestSerialPort::shutdownWhileDirectOwnerBusy()
{
    PtyPair pty;
    mapCom(5, pty.path);
    Recorder owner;
    owner.holdOn([](unsigned m, std::uintptr_t) { return m == WM_SERIAL_BYTE; });
    auto port = std::make_unique<CSerialPort>();
    QVERIFY(port->OpenPort(&owner, 5));
    QVERIFY(startWatching(*port, pty));
    QVERIFY(pty.write("b"));
    QVERIFY(owner.waitHeld());
    // The owner finishes its message a little later, from elsewhere, while this thread waits.
    std::thread finisher([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        owner.release();
    });
    port.reset();
    finisher.join();
    QCOMPARE(owner.bytes(), std::string("b"));
    CSerialPort again;
    QVERIFY(again.OpenPort(&owner, 5));
}

void TestSerialPort::openCloseCyclesLeaveNoDescriptors()
{
    PtyPair pty;
    mapCom(5, pty.path);
    Recorder target;
    QtSerialOwner owner(target);
    const int fds = openDescriptors();
    const auto threads = threadIds();
    for (int i = 0; i < 500; ++i) {
        CSerialPort port;
        QVERIFY(port.OpenPort(&owner, 5));
        QVERIFY(port.StartWatcher());
        if (i % 2)
            port.RequestClose();
        if (i % 5 == 0) {
            QVERIFY(port.OpenPort(&owner, 5)); // reopen on a live or closing watcher
            QVERIFY(port.StartWatcher());
        }
    }
    QCOMPARE(openDescriptors(), fds);
    QCOMPARE(threadIds(), threads);
}

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serialport.moc"
