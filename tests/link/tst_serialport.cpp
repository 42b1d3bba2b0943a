#include "link/CSerialPort.h"
#include "link/CommandFrames.h"
#include "link/QtSerialOwner.h"
#include "link/TermiosDevice.h"
#include "tests/common/EventLoopWait.h"
#include "tests/common/LineRate.h"
#include "tests/common/PtyPair.h"
#include "tests/common/ThreadProbe.h"

#include <QTest>

#include <fcntl.h>
#include <future>
#include <poll.h>
#include <random>
#include <sys/fsuid.h>
#include <sys/stat.h>

using namespace SerialMessages;
using ReadResult = SerialDevice::ReadResult;
using namespace std::chrono_literals;

namespace {

// Records every message with the thread it came on; the hook, set before the watcher starts, runs after each.
struct Recorder : SerialOwner
{
    struct Message { unsigned message; std::uintptr_t wparam, lparam; std::thread::id thread; };
    std::function<void(unsigned)> hook;
    mutable std::mutex mutex;
    std::vector<Message> all;
    std::string received;

    void OnSerialMessage(unsigned message, std::uintptr_t wparam, std::uintptr_t lparam) override
    {
        std::unique_lock lock(mutex);
        all.push_back({message, wparam, lparam, std::this_thread::get_id()});
        received += message == WM_SERIAL_BYTE ? std::string(1, char(wparam)) : "";
        lock.unlock();
        if (hook)
            hook(message);
    }
    std::vector<Message> messages() const { std::lock_guard lock(mutex); return all; }
    int count(unsigned message) const { std::lock_guard lock(mutex); return int(std::ranges::count(all, message, &Message::message)); }
    std::string bytes() const { std::lock_guard lock(mutex); return received; }
};

// A device double: its output queue lets one byte onto the wire each time the port looks (never, when stuck);
// input results and the polled pipe end are set per test. Tests read it under its lock while the port holds it.
struct FakeDevice : SerialDevice
{
    mutable std::mutex m;
    mutable std::string wire, queue;
    mutable int inputCalls = 0;
    int cut = 0, waiting = 0, polled = 0, pipe[2] = {-1, -1};
    bool stuck = false, statusHangUp = false;
    unsigned refusedRate = 0;
    ReadResult readResult = ReadResult::Nothing;

    explicit FakeDevice(unsigned refused = 0) : refusedRate(refused) { [[maybe_unused]] const int r = ::pipe2(pipe, O_CLOEXEC); }
    ~FakeDevice() override { closeEnd(0), closeEnd(1); }
    void closeEnd(int end) { ::close(std::exchange(pipe[end], -1)); }
    template <typename F> auto locked(F f) const { std::lock_guard lock(m); return f(); }

    Handle NativeHandle() const override { return pipe[polled]; }
    bool MakeRaw() override { return true; } bool SetTimeouts(const SerialTimeouts &) override { return true; }
    bool GetLineSettings(SerialLineSettings &) const override { return true; } bool SetLineSettings(const SerialLineSettings &) override { return true; }
    bool SetBaudRate(unsigned baud) override { return baud != refusedRate || (errno = EINVAL) == 0; }
    bool Purge() override { return locked([this] { return cut += int(std::exchange(queue, {}).size()), true; }); }
    int BytesWaiting(bool *hungUp) const override { return locked([&] { return *hungUp = statusHangUp, ++inputCalls, waiting; }); }
    ReadResult Read(uint8_t *, size_t, size_t &count) override { return locked([&] { return count = 0, ++inputCalls, readResult; }); }
    bool WriteAll(const uint8_t *data, size_t n, Handle) override { return locked([&] { return queue.append((const char *)data, n), true; }); }
    int OutputQueued() const override
    {
        return locked([this] {
            if (!stuck && !queue.empty())
                wire += queue.front(), queue.erase(0, 1);
            return int(queue.size());
        });
    }
};

// Opens device doubles (refusing refusedRate); fake points at the one the port holds.
SerialDevice::Opener fakeOpener(FakeDevice *&fake, unsigned refusedRate = 0)
{
    return [&fake, refusedRate](const std::string &, int *) { return std::unique_ptr<SerialDevice>(fake = new FakeDevice(refusedRate)); };
}

// One port on a pseudo-terminal mapped to a COM number (or on a device double), owned by a recorder directly or via Qt.
struct Link
{
    PtyPair pty;
    Recorder rec;
    std::unique_ptr<QtSerialOwner> qt;
    std::unique_ptr<CSerialPort> port;
    unsigned com;

    explicit Link(bool viaQt = false, unsigned number = 5, SerialDevice::Opener opener = {})
        : qt(viaQt ? std::make_unique<QtSerialOwner>(rec) : nullptr), port(std::make_unique<CSerialPort>(std::move(opener))), com(number)
    { mapCom(com, pty.path); }
    SerialOwner *owner() { return qt ? static_cast<SerialOwner *>(qt.get()) : &rec; }
    bool open(unsigned baud = 9600) { return port->OpenPort(owner(), com, baud); }
    // Returns once the watcher's opening purge is behind (a transmit follows it): what the peer writes now is read.
    bool watch() { return port->StartWatcher() && port->SendText("$070007#") && pty.read(8) == "$070007#"; }
    bool close() { return port->RequestClose(), QTest::qWaitFor([this] { return !port->IsWatching(); }) && !port->IsOpen(); }
};

int openDescriptors() { return int(QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size()); }
termios attrs(int fd) { termios t{}; tcgetattr(fd, &t); return t; }
bool readable(int fd) { pollfd p{fd, POLLIN, 0}; return poll(&p, 1, 5000) == 1; }

} // namespace

class TestSerialPort : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid() && QDir::setCurrent(m_dir.path())); }
    void init() { QFile::remove("config.ini"); }

    void appliesLineSettingsOrOpensNothing_data()
    {
        QTest::addColumn<unsigned>("baud");
        QTest::addColumn<QString>("framing"); // data bits, parity, stop bits
        QTest::addColumn<bool>("opens");
        QTest::newRow("115200 8N2") << 115200u << "8N2" << true; QTest::newRow("250000, no B-constant") << 250000u << "8N1" << true;
        // A pseudo-terminal runs 8 bits without parity whatever it is told; the port keeps what it asked.
        QTest::newRow("five bits, even") << 2400u << "5E2" << true;
        QTest::newRow("mark, lower case") << 19200u << "7m1" << true; QTest::newRow("space") << 9600u << "6S1" << true;
        QTest::newRow("rate 0") << 0u << "8N1" << false; QTest::newRow("ten-digit rate") << 1000000000u << "8N1" << false;
        for (const char *framing : {"4N1", "9N1", "8N0", "8N3", "8X1"})
            QTest::addRow("framing %s", framing) << 9600u << framing << false;
    }
    void appliesLineSettingsOrOpensNothing()
    {
        QFETCH(unsigned, baud);
        QFETCH(QString, framing);
        QFETCH(bool, opens);
        Link link;
        auto lineState = [&link] {
            const termios t = attrs(link.pty.slave);
            return std::tuple(t.c_iflag, t.c_oflag, t.c_cflag, t.c_lflag, lineRate(link.pty.master).output);
        };
        // A cooked, echoing line at another rate, as a device may come.
        termios cooked = attrs(link.pty.slave);
        cooked.c_lflag |= ICANON | ECHO;
        cfsetspeed(&cooked, B4800);
        QCOMPARE(tcsetattr(link.pty.slave, TCSANOW, &cooked), 0);
        const auto before = lineState();

        QCOMPARE(link.port->OpenPort(link.owner(), link.com, baud, framing[1].toLatin1(), framing[0].digitValue(), framing[2].digitValue()), opens);
        QCOMPARE(link.port->IsOpen(), opens);
        QCOMPARE(link.port->OpenFailureText().empty(), opens);
        if (opens) {
            const SerialLineSettings s = link.port->LineSettings();
            QCOMPARE(QString("%1 %2%3%4 %5").arg(s.baud).arg(s.dataBits).arg(s.parity).arg(s.stopBits).arg(s.eventChar),
                     QString("%1 %2 q").arg(baud).arg(framing.toUpper()));
            QCOMPARE(std::pair(lineRate(link.pty.master).input, lineRate(link.pty.master).output), std::pair(baud, baud));
            const termios t = attrs(link.pty.slave);
            if (framing.startsWith("8N"))
                QCOMPARE(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t(CS8 | (framing[2] == '2' ? CSTOPB : 0)));
            // Raw: no echo, line editing, signals, flow control or translation of any byte.
            QVERIFY((t.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN)) == 0 && (t.c_oflag & OPOST) == 0
                    && (t.c_iflag & (ICRNL | INLCR | IGNCR | IXON | ISTRIP | PARMRK)) == 0);
        } else { // a rate no line can run is told apart from bad framing
            QCOMPARE(link.port->OpenFailureText().find(" baud. Choose another rate.") != std::string::npos, baud == 0 || baud > 999999999);
        }
        link.port.reset();
        // Whatever happened, the line is as it was, and free again.
        QVERIFY(lineState() == before);
        QVERIFY(CSerialPort().OpenPort(&link.rec, link.com));
    }

    void failedOpenSaysWhy_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<unsigned>("com");
        QTest::addColumn<QString>("says");
        auto row = [](const char *name, const char *device, unsigned com, const char *says) { QTest::newRow(name) << QString(device) << com << QString(says); };
        row("no permission", "<pty, mode 000>", 8, "dialout"); row("held by another port", "<pty, held>", 8, "(COM8) is in use by another program");
        row("no such device", "/dev/no-such-korvane", 8, "no device /dev/no-such-korvane for COM8");
        row("absent default device", "", 63, "no device /dev/ttyACM30 for COM63"); row("number without a device", "", 120, "COM120 has no device");
        row("not a terminal", "/dev/null", 8, "/dev/null (COM8) is not a serial device");
        row("plain file", "plain.txt", 8, "plain.txt (COM8) is not a serial device"); row("rate the driver cannot run", "<fake>", 8, "(COM8) does not support 250000 baud");
    }
    void failedOpenSaysWhy()
    {
        QFETCH(QString, device);
        QFETCH(unsigned, com);
        QFETCH(QString, says);
        Link good(false, 7);
        PtyPair other;
        CSerialPort holder;
        mapCom(9, other.path);
        QVERIFY(device != "<pty, held>" || holder.OpenPort(&good.rec, 9));
        QVERIFY(device != "<pty, mode 000>" || chmod(other.path.c_str(), 0) == 0);
        QVERIFY(device != "plain.txt" || QFile(device).open(QIODevice::WriteOnly));
        if (!device.isEmpty())
            mapCom(com, device.startsWith('<') ? other.path : device.toStdString());
        FakeDevice *fake = nullptr;
        CSerialPort port([&](const std::string &path, int *error) -> std::unique_ptr<SerialDevice> {
            if (path == other.path && device == "<fake>")
                return fakeOpener(fake, 250000)(path, error);
            // Root passes any mode: the open is tried with an ordinary user's file-system rights.
            const int was = setfsuid(path == other.path && device == "<pty, mode 000>" && geteuid() == 0 ? 65534 : geteuid());
            auto opened = TermiosDevice::Open(path, error);
            setfsuid(was);
            return opened;
        });

        const int fds = openDescriptors();
        const bool opened = port.OpenPort(&good.rec, com, device == "<fake>" ? 250000 : 9600);
        if (opened && device == "<pty, mode 000>")
            QSKIP("this process opens devices whatever their mode, so no permission error can be produced");
        QVERIFY(!opened && !port.IsOpen());
        QCOMPARE(openDescriptors(), fds);
        QVERIFY2(QString::fromStdString(port.OpenFailureText()).contains(says), port.OpenFailureText().c_str());
        // The same object goes on to open a working port.
        QVERIFY(port.OpenPort(&good.rec, good.com) && port.OpenFailureText().empty());
        QVERIFY(port.StartWatcher() && port.SendText("$"));
        QCOMPARE(good.pty.read(1), std::string("$"));
    }

    void writeSlotTakesWhatFits()
    {
        // A number beyond the default devices works once mapped, and every message carries it.
        Link link(false, 200);
        QVERIFY(!link.port->SendText("$")); // no slot before the first open
        QVERIFY(link.port->OpenPort(&link.rec, 200, 9600, 'N', 8, 1, EV_RXCHAR | EV_RXFLAG, 32) && link.watch());
        QVERIFY(!link.port->SendText(std::string(33, '$').c_str()));
        QVERIFY(!link.port->SendBytes("abc", -1) && !link.port->SendBytes(nullptr, 3));
        // The longest frame fills the slot exactly.
        const std::string pose = CommandFrames::AllServos({90, 90, 90, 90, 110, 180}, 500);
        QVERIFY(pose.size() == 32 && link.port->SendText(pose.c_str()));
        QCOMPARE(link.pty.read(32), pose);
        QVERIFY(link.pty.write("#"));
        QTRY_COMPARE(link.rec.count(WM_SERIAL_EVENT_CHAR), 1);
        for (const auto &m : link.rec.messages())
            QCOMPARE(m.lparam, std::uintptr_t(200));
    }

    void deliversOnOwnerThreadWithEventAfterBatch()
    {
        Link link(true);
        QVERIFY(link.open() && link.watch());
        // No hand-off is served until this thread runs its event loop: the watcher waits in the first byte's delivery.
        QVERIFY(link.pty.write("x"));
        QVERIFY(readable(link.qt->HandOffFd()) && link.pty.write(std::string("ab\xff", 3)));
        QVERIFY(readable(link.pty.slave) && link.pty.unreadAtPort() == 3); // one write arrives in one piece
        QTRY_COMPARE(link.rec.count(WM_SERIAL_EVENT_CHAR), 1);
        QVERIFY(link.pty.write("q#"));
        QTRY_COMPARE(link.rec.count(WM_SERIAL_EVENT_CHAR), 2);
        std::string trace; // bytes zero-extended, events with no parameter, all on this thread
        for (const auto &m : link.rec.messages()) {
            trace += m.message == WM_SERIAL_BYTE ? QByteArray::number(quint64(m.wparam), 16).toStdString() + " "
                                                 : "<" + std::to_string(m.message) + ":" + std::to_string(m.wparam) + "> ";
            QCOMPARE(m.thread, std::this_thread::get_id());
        }
        QCOMPARE(QString::fromStdString(trace), QString("78 61 62 ff <1032:0> 71 23 <1032:0> "));
    }

    void longStreamArrivesCompleteAndInOrder()
    {
        std::string data(1 << 18, '\0'); // four times what the pseudo-terminal buffers
        std::ranges::generate(data, [rng = std::mt19937(7)]() mutable { return char(rng()); });
        Link link(true);
        QVERIFY(link.open(115200) && link.watch());
        std::thread writer([&] { link.pty.write(data); });
        QVERIFY(runEventLoopUntil([&] { return link.rec.count(WM_SERIAL_BYTE) == int(data.size()); }, 240000));
        writer.join();
        QVERIFY(link.rec.bytes() == data);
    }

    void sendsCoalescePurgeAndWaitForResume()
    {
        Link link;
        std::promise<void> held, go, suspended;
        // Held in the first batch's delivery; suspended inside the second's with a frame queued, so a watcher
        // that ignored the suspension would send that frame before the one queued later.
        link.rec.hook = [&, go = go.get_future().share()](unsigned message) {
            if (message == WM_SERIAL_EVENT_CHAR && link.rec.count(message) == 1)
                held.set_value(), go.wait();
            else if (message == WM_SERIAL_EVENT_CHAR && link.rec.count(message) == 2)
                link.port->SuspendWatcher(), link.port->SendText("$070007#"), suspended.set_value();
        };
        QVERIFY(link.open() && link.watch() && link.pty.write("1"));
        QCOMPARE(held.get_future().wait_for(10s), std::future_status::ready);
        // While the watcher is busy a late reply arrives and two frames are queued.
        QVERIFY(link.pty.write("YZ"));
        QTRY_COMPARE(link.pty.unreadAtPort(), 2);
        QVERIFY(link.port->SendText("$0C02010F#") && link.port->SendText("$070007#"));
        go.set_value();
        // Only the second goes out, alone, and the late reply is gone.
        QCOMPARE(link.pty.read(8), std::string("$070007#"));
        QVERIFY(link.port->SendText("$0302060b#"));
        QVERIFY(link.pty.read(10) == "$0302060b#" && link.pty.write("2"));
        QCOMPARE(suspended.get_future().wait_for(10s), std::future_status::ready);
        QVERIFY(link.port->SendText("$090100a#") && link.port->ResumeWatcher());
        QCOMPARE(link.pty.read(9), std::string("$090100a#"));
        QVERIFY(link.pty.write("y"));
        QTRY_COMPARE(link.rec.bytes(), std::string("12y"));
    }

    void readOutcomes()
    {
        // What a read that returned this much, with this errno, means; 0 bytes is the peer hanging up.
        const std::tuple<int, int, ReadResult> rows[] = {
            {1, 0, ReadResult::Data}, {0, 0, ReadResult::HungUp}, {-1, EAGAIN, ReadResult::Nothing},
            {-1, EIO, ReadResult::HungUp}, {-1, ENXIO, ReadResult::HungUp}, {-1, ENODEV, ReadResult::HungUp},
            {-1, EBADF, ReadResult::Failed}, {-1, EINVAL, ReadResult::Failed}, {-1, EFAULT, ReadResult::Failed}, {-1, EPERM, ReadResult::Failed}};
        for (const auto &[returned, error, outcome] : rows) {
            QVERIFY2(TermiosDevice::ReadOutcome(returned, error) == outcome, strerror(error));
            QVERIFY2(returned >= 0 || TermiosDevice::MeansHangUp(error) == (outcome == ReadResult::HungUp), strerror(error));
        }
    }

    void lineLossIsReportedOnceWithoutSpin_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("inputCalls"); // status reads and reads until the loss is seen
        QTest::newRow("pseudo-terminal peer closes") << "pty" << -1;
        QTest::newRow("poll reports hang-up") << "pollhup" << 0; QTest::newRow("poll reports error") << "pollerr" << 0;
        QTest::newRow("nothing counted, read finds end of line") << "read" << 2; QTest::newRow("status finds the line hung up") << "status" << 1;
        QTest::newRow("status keeps failing") << "failing" << 3;
        QTest::newRow("readable but never a byte") << "empty" << 6; // given up after three wake-ups in a row
    }
    void lineLossIsReportedOnceWithoutSpin()
    {
        QFETCH(QString, how);
        QFETCH(int, inputCalls);
        FakeDevice *fake = nullptr;
        Link link(true, 5, how == "pty" ? SerialDevice::Opener() : fakeOpener(fake));
        int callsAtLoss = -1;
        auto calls = [&] { return fake->locked([&] { return fake->inputCalls; }); };
        link.rec.hook = [&](unsigned message) {
            if (message == WM_SERIAL_LOST && fake && callsAtLoss < 0)
                callsAtLoss = calls();
        };
        QVERIFY(link.open());
        if (fake) {
            fake->waiting = how == "status" || how == "failing" ? -1 : how == "empty";
            fake->statusHangUp = how == "status", fake->readResult = how == "read" ? ReadResult::HungUp : ReadResult::Nothing;
            if (how == "pollhup")
                fake->closeEnd(1);
            else if (how == "pollerr")
                fake->polled = 1, fake->closeEnd(0);
            else
                QCOMPARE(::write(fake->pipe[1], "x", 1), 1); // stays readable: nobody drains the pipe
            QVERIFY(link.port->StartWatcher());
        } else {
            QVERIFY(link.watch() && link.pty.write("ok"));
            QTRY_COMPARE(link.rec.bytes(), std::string("ok"));
            link.pty.closeMaster();
        }
        QTRY_COMPARE(link.rec.count(WM_SERIAL_LOST), 1);
        QCOMPARE(link.rec.messages().back().lparam, std::uintptr_t(5));

        // The watcher serves sends (failing quietly) and a close, but never polls the dead device again.
        QVERIFY(link.port->SendText("$070007#"));
        QTRY_VERIFY(link.port->LastFailure().rfind("write", 0) == 0);
        QCOMPARE(callsAtLoss, inputCalls);
        QVERIFY(!fake || calls() == inputCalls);
        QVERIFY(link.close() && link.rec.count(WM_SERIAL_LOST) == 1);
        QCOMPARE(link.rec.bytes(), std::string(fake ? "" : "ok"));
    }

    void reopenAndCloseEndTheWatcher()
    {
        Link link(true);
        const int fds = openDescriptors();
        const auto threads = threadIds();
        (void)CSerialPort(); // never opened: nothing to end or close
        QVERIFY(link.open() && link.watch());
        QVERIFY(!link.port->StartWatcher()); // one watcher per port
        QCOMPARE(threadIds().size(), threads.size() + 1);
        // The old watcher has ended (and closed the device) before the open goes on.
        QVERIFY(link.open());
        QCOMPARE(threadIds(), threads);
        QVERIFY(link.watch() && link.pty.write("z"));
        QTRY_COMPARE(link.rec.bytes(), std::string("z"));
        QVERIFY(link.close());
        for (int i = 0; i < 500; ++i) {
            CSerialPort port;
            QVERIFY(port.OpenPort(link.owner(), 5) && port.StartWatcher());
            if (i % 2)
                port.RequestClose();
            if (i % 5 == 0) // reopen on a live or closing watcher
                QVERIFY(port.OpenPort(link.owner(), 5) && port.StartWatcher());
        }
        QCOMPARE(openDescriptors(), fds);
        QCOMPARE(threadIds(), threads);
    }

    void shutdownDuringDelivery_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("destroyed while a hand-off waits for this thread") << "pending";
        QTest::newRow("destroyed by the owner handling a byte") << "inside"; QTest::newRow("direct owner finishes on another thread") << "busy";
    }
    void shutdownDuringDelivery()
    {
        QFETCH(QString, how);
        Link link(how != "busy");
        std::promise<void> held, go;
        if (how == "inside")
            link.rec.hook = [&](unsigned message) { message == WM_SERIAL_BYTE ? link.port.reset() : void(); };
        else if (how == "busy") // held in the first byte's delivery until go
            link.rec.hook = [&, go = go.get_future().share()](unsigned m) { m == WM_SERIAL_BYTE ? held.set_value(), go.wait() : void(); };
        QVERIFY(link.open() && link.watch() && link.pty.write("b"));

        if (how == "pending") {
            QVERIFY(readable(link.qt->HandOffFd()));
            link.port.reset();
        } else if (how == "busy") {
            QCOMPARE(held.get_future().wait_for(10s), std::future_status::ready);
            std::thread finisher([&] { std::this_thread::sleep_for(50ms), go.set_value(); });
            link.port.reset();
            finisher.join();
        }
        QTRY_VERIFY(!link.port);
        QCOMPARE(link.rec.bytes(), std::string("b"));
        QVERIFY(CSerialPort().OpenPort(&link.rec, 5)); // the watcher ended and closed the device
    }
};

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serialport.moc"
