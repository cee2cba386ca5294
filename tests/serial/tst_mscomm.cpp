// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The serial-line control on a real pseudo-terminal.
#include "mscomm.h"
#include "openfailure.h"
#include "porttargets.h"
#include "pty.h"
#include "runtimeerror.h"
#include "seriallock.h"
#include "support/errorof.h"

#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The modem's end of a pseudo-terminal, as the simulated modem keeps it.
class PtyMaster {
public:
    PtyMaster() { m_pty.open({}); }

    QString slave() const { return QString::fromStdString(m_pty.slavePath()); }
    int fd() const { return m_pty.master(); }
    void close() { m_pty.close(); }
    termios lineSettings() const {
        termios settings{};
        ::tcgetattr(fd(), &settings); // on the master: the slave's settings
        return settings;
    }
    void setLineSettings(const termios& settings) { ::tcsetattr(fd(), TCSANOW, &settings); }
    void send(const QByteArray& bytes) {
        QCOMPARE(::write(fd(), bytes.data(), bytes.size()), bytes.size());
    }
    // Everything received until expected has arrived or 5 s have passed.
    QByteArray receive(const QByteArray& expected) {
        QByteArray got;
        QDeadlineTimer deadline(5000);
        while (!got.contains(expected) && !deadline.hasExpired()) {
            pollfd p{fd(), POLLIN, 0};
            if (::poll(&p, 1, int(deadline.remainingTime())) <= 0)
                break;
            char buffer[256];
            const ssize_t n = ::read(fd(), buffer, sizeof buffer);
            if (n > 0)
                got.append(buffer, n);
        }
        return got;
    }

private:
    fakemodem::PseudoTerminal m_pty;
};

const QString kTestPort = QStringLiteral("/dev/cvdialer-test-port");
constexpr std::chrono::milliseconds kShortWrite{100};

// A copy of sleep named name, so that the lock's holder has that name.
qint64 startHolder(QProcess& process, const QTemporaryDir& dir, const QString& name) {
    const QString program = dir.filePath(name);
    QFile::copy(QStandardPaths::findExecutable(QStringLiteral("sleep")), program);
    process.start(program, {QStringLiteral("30")});
    return process.waitForStarted() ? process.processId() : -1;
}

void stopHolder(QProcess& process) {
    process.kill();
    process.waitForFinished();
}

bool writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

} // namespace

class TestMSComm : public QObject {
    Q_OBJECT

    QMap<int, QString> m_ports; // what the profile would name for each COM<n>
    std::unique_ptr<PtyMaster> m_modem;

    void mapPort(int port, const QString& device) { m_ports[port] = device; }
    MSComm control() {
        MSComm comm;
        comm.setPortProfile({[this](qint16 port) { return m_ports.value(port); }, {}});
        return comm;
    }

private Q_SLOTS:
    void init() {
        m_ports.clear();
        m_modem = std::make_unique<PtyMaster>();
        QVERIFY(!m_modem->slave().isEmpty());
        mapPort(4, m_modem->slave());
    }
    void cleanup() { m_modem.reset(); }

    void withoutAPortOpeningWaitsAndTextGoesOutAtTheRealOpen() {
        MSComm comm = control();
        comm.setPortOpen(true);
        comm.setOutput(QStringLiteral("ATH\r"));
        comm.setCommPort(4);
        comm.setSettings(QStringLiteral("9600,N,8,1"));
        comm.setPortOpen(true);
        comm.setOutput(QStringLiteral("ATDT1;\r"));
        QCOMPARE(m_modem->receive("ATDT1;\r"), QByteArray("ATH\rATDT1;\r"));
        comm.setPortOpen(true); // already open: nothing happens
        comm.setPortOpen(false);
        QCOMPARE(errorOf([&] { comm.setOutput(QString()); }), int(PortNotOpen));
    }

    void receivedTextIsCountedTakenAndDiscarded() {
        MSComm comm = control();
        comm.setCommPort(4);
        comm.setPortOpen(true);
        m_modem->send("\r\nOK\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(int(comm.inBufferCount()), 6, 5000);
        QCOMPARE(comm.input(), QStringLiteral("\r\nOK\r\n"));
        QCOMPARE(int(comm.inBufferCount()), 0);
        m_modem->send("junk");
        QTRY_VERIFY_WITH_TIMEOUT(comm.inBufferCount() > 0, 5000);
        comm.setInBufferCount(0);
        QCOMPARE(int(comm.inBufferCount()), 0);
    }

    // A flood while nothing takes the text stays within a bounded buffer.
    void floodWaitsInABoundedBuffer() {
        MSComm comm = control();
        comm.setCommPort(4);
        comm.setPortOpen(true);
        const QByteArray noise(4096, 'x');
        for (int sent = 0, round = 0; sent < 256 * 1024 && round < 2000; ++round) {
            sent += int(std::max<ssize_t>(0, ::write(m_modem->fd(), noise.data(), noise.size())));
            QCoreApplication::processEvents();
        }
        qint16 count = 0;
        QCOMPARE(errorOf([&] { count = comm.inBufferCount(); }), 0);
        QVERIFY2(count > 0 && count <= 16384, qPrintable(QString::number(count)));
        // The hang-up still goes out with the buffer full.
        QCOMPARE(errorOf([&] { comm.setOutput(QStringLiteral("ATH\r")); }), 0);
        QVERIFY(m_modem->receive("ATH\r").endsWith("ATH\r"));
    }

    void refusedValues_data() {
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<int>("error");
        QTest::newRow("port 0") << 0 << "9600,N,8,1" << int(InvalidPortNumber);
        QTest::newRow("port 256") << 256 << "9600,N,8,1" << int(InvalidPortNumber);
        QTest::newRow("bad settings") << 4 << "9600;N;8;1" << int(InvalidPropertyValue);
        QTest::newRow("spaces only") << 4 << "   " << int(InvalidPropertyValue);
    }
    void refusedValues() {
        QFETCH(int, port);
        QFETCH(QString, settings);
        QFETCH(int, error);
        MSComm comm = control();
        const int raised = errorOf([&] {
            comm.setCommPort(qint16(port));
            comm.setSettings(settings);
        });
        QCOMPARE(raised, error);
    }

    void settingsApplyToAnOpenPort() {
        MSComm comm = control();
        comm.setCommPort(4);
        comm.setSettings(QStringLiteral("9600,N,8,1"));
        comm.setPortOpen(true);
        const termios opened = m_modem->lineSettings();
        QCOMPARE(::cfgetospeed(&opened), speed_t(B9600));
        // A pseudo-terminal keeps its parity and data bits; speed and stop bits it takes.
        comm.setSettings(QStringLiteral("2400,N,8,2"));
        const termios changed = m_modem->lineSettings();
        QCOMPARE(::cfgetospeed(&changed), speed_t(B2400));
        QVERIFY(changed.c_cflag & CSTOPB);
    }

    // A pseudo-terminal cannot hold parity or data bits: no reason not to dial.
    // HUPCL is set whatever an earlier program left, so any end drops the line.
    void pseudoTerminalTakesAnyFramingAndHangsUpOnClose_data() {
        QTest::addColumn<QString>("settings");
        QTest::newRow("even, 7, 2") << "19200,E,7,2";
        QTest::newRow("odd, 8, 1") << "2400,O,8,1";
    }
    void pseudoTerminalTakesAnyFramingAndHangsUpOnClose() {
        QFETCH(QString, settings);
        termios left = m_modem->lineSettings();
        left.c_cflag &= ~tcflag_t(HUPCL);
        m_modem->setLineSettings(left);
        MSComm comm = control();
        comm.setCommPort(4);
        comm.setSettings(settings);
        QCOMPARE(errorOf([&] { comm.setPortOpen(true); }), 0);
        QVERIFY(m_modem->lineSettings().c_cflag & HUPCL);
        QCOMPARE(errorOf([&] { comm.setSettings(settings); }), 0);
    }

    // What was sent before the open cannot go out: the open fails, and the log says why.
    void writeThatFailsAtTheOpenSaysWhy() {
        const int slave =
            ::open(QFile::encodeName(m_modem->slave()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(slave >= 0);
        const auto keepOpen = qScopeGuard([slave] { ::close(slave); });
        QCOMPARE(::tcflow(slave, TCOOFF), 0); // output stopped: nothing can be written
        writeTimeout() = kShortWrite;         // the write, and the close's, wait it out
        const auto restore = qScopeGuard([] { writeTimeout() = kWriteTimeout; });
        MSComm comm = control();
        comm.setPortOpen(true);
        comm.setOutput(QStringLiteral("ATH\r"));
        comm.setCommPort(4);
        QCOMPARE(errorOf([&] { comm.setPortOpen(true); }), int(DeviceIoError));
        QVERIFY2(comm.openFailure().startsWith(QStringLiteral("COM4 (%1): ").arg(m_modem->slave())),
                 qPrintable(comm.openFailure()));
    }

    // A device in a subfolder is locked as lockdev and Qt name it or as FHS does.
    void subfolderDeviceLockUnderEitherName_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("Qt and lockdev") << "LCK..pts_3";
        QTest::newRow("FHS base name") << "LCK..3";
    }
    void subfolderDeviceLockUnderEitherName() {
        QFETCH(QString, name);
        QTemporaryDir locks;
        const qint64 self = QCoreApplication::applicationPid();
        QVERIFY(writeFile(locks.filePath(name), QStringLiteral("%1\n").arg(self, 10).toLatin1()));
        const DeviceLock lock = findDeviceLock(QStringLiteral("/dev/pts/3"), {locks.path()});
        QCOMPARE(int(lock.state), int(DeviceLock::Held));
        QCOMPARE(lock.pid, self);
    }

    // Each way a port is not had says its true cause in Spanish, the system's
    // words after it, and what to do; never QSerialPort's English lock text.
    void failureReasons_data() {
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("holder"); // a program holding the lock, or none
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("expected");
        const QString qtLock = QStringLiteral("Permission error while locking the device");
        QTest::newRow("no such device")
            << int(QSerialPort::DeviceNotFoundError) << "No such file or directory"
            << "" << int(DeviceUnavailable)
            << "El dispositivo no existe (No such file or directory)";
        QTest::newRow("locked by a program")
            << int(QSerialPort::PermissionError) << qtLock << "minicom" << int(PortInUse)
            << "El puerto está en uso por minicom (PID %1), según su archivo de bloqueo";
        QTest::newRow("locked, no lock file")
            << int(QSerialPort::PermissionError) << qtLock << "" << int(PortInUse)
            << "El puerto está en uso por otro programa; ciérrelo";
        QTest::newRow("opened exclusively")
            << int(QSerialPort::PermissionError) << "Device or resource busy"
            << "" << int(PortInUse) << "en uso por otro programa (Device or resource busy)";
        QTest::newRow("no lock folder")
            << int(QSerialPort::PermissionError) << "Permission error while creating lock file"
            << "" << int(PermissionDenied) << "No se pudo crear el archivo de bloqueo";
    }
    void failureReasons() {
        QFETCH(int, error);
        QFETCH(QString, reason);
        QFETCH(QString, holder);
        QFETCH(int, number);
        QFETCH(QString, expected);
        QTemporaryDir locks;
        QProcess process;
        const auto stop = qScopeGuard([&] { stopHolder(process); });
        if (!holder.isEmpty()) {
            const qint64 pid = startHolder(process, locks, holder);
            QVERIFY(writeFile(locks.filePath(QStringLiteral("LCK..cvdialer-test-port")),
                              QStringLiteral("%1\n").arg(pid, 10).toLatin1()));
            expected = expected.arg(pid);
        }
        const OpenFailure failure = describeOpenFailure(
            kTestPort, QSerialPort::SerialPortError(error), reason, {locks.path()});
        QCOMPARE(int(failure.number), number);
        QVERIFY2(failure.reason.contains(expected), qPrintable(failure.reason));
        QVERIFY(!failure.reason.contains(QLatin1String("Permission error")));
    }

    void deviceMapAndItsDefault() {
        QCOMPARE(targetsFor(4, QStringLiteral(" /dev/a\t/dev/b ")),
                 (QStringList{QStringLiteral("/dev/a"), QStringLiteral("/dev/b")}));
        QCOMPARE(targetsFor(3, QString()), QStringList{QStringLiteral("/dev/ttyS2")});
    }

    void missingDeviceIsUnavailable() {
        mapPort(7, QStringLiteral("/dev/cvdialer-no-such-port"));
        MSComm comm = control();
        comm.setCommPort(7);
        QCOMPARE(errorOf([&] { comm.setPortOpen(true); }), int(DeviceUnavailable));
        QVERIFY(
            comm.openFailure().startsWith(QStringLiteral("COM7 (/dev/cvdialer-no-such-port): ")));
    }

    void portHeldByAnotherProgramIsInUse() {
        QSerialPort holder(m_modem->slave());
        QVERIFY(holder.open(QIODevice::ReadWrite));
        MSComm comm = control();
        comm.setCommPort(4);
        QCOMPARE(errorOf([&] { comm.setPortOpen(true); }), int(PortInUse));
        QVERIFY2(comm.openFailure().contains(QStringLiteral("en uso por tst_mscomm (PID %1)")
                                                 .arg(QCoreApplication::applicationPid())),
                 qPrintable(comm.openFailure()));
    }

    void selectingAnotherPortClosesTheOpenOne() {
        PtyMaster second;
        mapPort(5, second.slave());
        MSComm comm = control();
        comm.setCommPort(4);
        comm.setPortOpen(true);
        comm.setCommPort(5);
        QCOMPARE(errorOf([&] { comm.setOutput(QString()); }), int(PortNotOpen));
        comm.setPortOpen(true);
        comm.setOutput(QStringLiteral("AT\r"));
        QCOMPARE(second.receive("AT\r"), QByteArray("AT\r"));
    }

    void hungUpLineIsLost() {
        MSComm comm = control();
        comm.setCommPort(4);
        comm.setPortOpen(true);
        QVERIFY(!comm.lineLost());
        m_modem->close();
        QTRY_VERIFY_WITH_TIMEOUT(comm.lineLost(), 5000);
    }
};

QTEST_GUILESS_MAIN(TestMSComm)
#include "tst_mscomm.moc"
