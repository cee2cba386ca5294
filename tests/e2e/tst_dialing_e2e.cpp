// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// build/cvdialer against build/fakemodem on a real pseudo-terminal.
#include "fixture.h"

#include <fcntl.h>
#include <pwd.h>
#include <QElapsedTimer>
#include <QLibraryInfo>
#include <QSerialPort>
#include <QStandardPaths>
#include <unistd.h>

using namespace e2e;

namespace {
const QString kLinkQuestion = QStringLiteral("Un enlace pide llamar al %1. ¿Marcar este número?");
const QString kLink = QStringLiteral("tel:+34-91-123-45-67;ext=2");

// A process to name in a lock: alive for the test's length, or already gone.
struct Holder {
    QProcess process;
    qint64 pid = 0;
    explicit Holder(bool alive) {
        process.start(QStringLiteral("sleep"), {QStringLiteral("60")});
        pid = process.waitForStarted() ? process.processId() : 0;
        if (!alive)
            stop();
    }
    ~Holder() { stop(); }
    void stop() {
        process.kill();
        process.waitForFinished();
    }
};

// The descriptors a child of this process starts with: the standard three and
// whatever this process holds that is not closed on exec, whatever it names
// (a launcher may pass down a log file, which QDir::System alone would skip).
qulonglong inheritedDescriptors() {
    qulonglong count = 3;
    const QStringList open = QDir(QStringLiteral("/proc/self/fd"))
                                 .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : open) {
        const int fd = name.toInt();
        const int flags = fd > 2 ? ::fcntl(fd, F_GETFD) : -1;
        if (flags >= 0 && !(flags & FD_CLOEXEC))
            ++count;
    }
    return count;
}

bool haveSystemLockFolder() {
    const QFileInfo folder(QStringLiteral("/run/lock"));
    return folder.isDir() && folder.isWritable();
}

// The device's lock in /run/lock as an FHS program writes it, ageSeconds old;
// removed with the object.
struct SystemLock {
    QString path;
    QByteArray content;
    bool written = false;
    SystemLock(QString device, const QString& form, qint32 pid, int ageSeconds)
        : path(QStringLiteral("/run/lock/LCK..") + device.mid(5).replace(u'/', u'_')) {
        const QByteArray hdb = QStringLiteral("%1").arg(pid, 10).toLatin1();
        content = form == QLatin1String("binary")
                      ? QByteArray(reinterpret_cast<const char*>(&pid), sizeof pid)
                  : form == QLatin1String("minicom") ? hdb + " minicom user\n"
                                                     : hdb + "\n";
        QFile file(path);
        written = file.open(QIODevice::WriteOnly) && file.write(content) == content.size() &&
                  file.flush() &&
                  file.setFileTime(QDateTime::currentDateTime().addSecs(-ageSeconds),
                                   QFileDevice::FileModificationTime);
    }
    ~SystemLock() { QFile::remove(path); }
    QByteArray now() const {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};
} // namespace

class TestDialingEndToEnd : public QObject {
    Q_OBJECT

    std::unique_ptr<Scratch> m_scratch;

    std::unique_ptr<Modem> startModem(const QStringList& options) {
        auto modem = std::make_unique<Modem>(options, m_scratch->scratch());
        if (modem->device().isEmpty())
            qWarning("fakemodem printed no device");
        return modem;
    }
    void profileFor(const QString& device, const QString& extra = {}) {
        m_scratch->writeModemProfile(device, {}, extra);
    }
    std::unique_ptr<Dialer> dialer() {
        return std::make_unique<Dialer>(m_scratch->config, m_scratch->runtime);
    }
    // Runs the dialer as nobody on the offscreen platform, dismissing the
    // port-unavailable message with a polite kill; returns what it wrote on
    // stderr, with its exit status at the end.
    QString runAsNobody(const QString& request) {
        const passwd* nobody = ::getpwnam("nobody");
        const QString home = m_scratch->scratch(QStringLiteral("nobody"));
        QDir().mkpath(home);
        if (!nobody || ::chown(QFile::encodeName(home).constData(), nobody->pw_uid, 0) != 0)
            return QStringLiteral("no user nobody");
        for (const QString& dir : {m_scratch->scratch(), m_scratch->config})
            QFile::setPermissions(dir, QFile::Permissions(0x7755));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_scratch->config);
        env.insert(QStringLiteral("HOME"), home);
        env.remove(QStringLiteral("XDG_RUNTIME_DIR")); // root's
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QProcess run;
        run.setProcessEnvironment(env);
        run.setReadChannel(QProcess::StandardError);
        run.start(QStringLiteral("setpriv"), {"--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                              buildPath(QStringLiteral("cvdialer")), request});
        QByteArray said;
        QDeadlineTimer deadline(20000);
        while (!said.contains(kUnavailable.toUtf8()) && !deadline.hasExpired() &&
               run.waitForReadyRead(int(deadline.remainingTime())))
            said += run.readAllStandardError();
        ::kill(pid_t(run.processId()), SIGTERM);
        run.waitForFinished(20000);
        return QString::fromUtf8(said + run.readAllStandardError()) +
               QStringLiteral("\nstatus %1").arg(run.exitCode());
    }

private Q_SLOTS:
    void initTestCase() {
        if (const auto missing = missingForEndToEnd())
            QSKIP(missing->constData());
    }
    void init() { m_scratch = std::make_unique<Scratch>(); }

    void dialAnsweredWithOk_data() {
        QTest::addColumn<QStringList>("modemOptions");
        QTest::addColumn<QString>("settings");
        QTest::newRow("plain") << QStringList{} << "9600,N,8,1";
        QTest::newRow("small letters") << QStringList{"--lower"} << "9600,N,8,1";
        QTest::newRow("split over two writes")
            << QStringList{"--split", "--delay", "300"} << "9600,N,8,1";
        QTest::newRow("garbage first, no echo")
            << QStringList{"--garbage", "--no-echo"} << "9600,N,8,1";
        // A pseudo-terminal cannot hold parity or 7 bits: noted, and dialled.
        QTest::newRow("even parity, 7 bits") << QStringList{} << "19200,E,7,2";
    }
    void dialAnsweredWithOk() {
        QFETCH(QStringList, modemOptions);
        QFETCH(QString, settings);
        auto modem = startModem(modemOptions);
        m_scratch->writeModemProfile(modem->device(), settings);
        auto run = dialer();
        run->start({QStringLiteral("#5551234#")});
        QVERIFY2(run->waitForMessage(kDialled), qPrintable(run->stderrText()));
        if (QTest::currentDataTag() == QLatin1String("plain"))
            screenshot(QStringLiteral("CVDialer"), QStringLiteral("dialled-message.png"));
        // The line stays off-hook until the operator dismisses the message.
        QCOMPARE(modem->received(), QByteArray("ATH\rATDT05551234;\r"));
        QCOMPARE(run->dismissAndWait(), 0);
        QVERIFY(modem->waitReceived("ATDT05551234;\rATH\r"));
        QCOMPARE(modem->received(), QByteArray("ATH\rATDT05551234;\rATH\r"));
        // The modem sees the speed asked for, and HUPCL set for any end of the dialer.
        const QString speed = settings.section(QLatin1Char(','), 0, 0);
        QVERIFY2(modem->log().contains(QStringLiteral("line: %1 baud, hupcl").arg(speed).toUtf8()),
                 modem->log().constData());
        const bool framingRefused = settings.contains(QLatin1Char('E'));
        QCOMPARE(run->stderrText().count(
                     QStringLiteral("cvdialer: aviso: COM2 (%1) es un pseudo-terminal")
                         .arg(modem->device())),
                 framingRefused ? 1 : 0);
    }

    // A sound system with no device and no sound server: the cue cannot play.
    void withoutSound(Dialer& run) {
        const QString noDevices = m_scratch->scratch(QStringLiteral("alsa.conf"));
        QFile conf(noDevices);
        QVERIFY(conf.open(QIODevice::WriteOnly) && conf.write("# no devices\n") > 0);
        run.setEnvironment(QStringLiteral("CANBERRA_DRIVER"), QStringLiteral("alsa"));
        run.setEnvironment(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:/nonexistent"));
        run.setEnvironment(QStringLiteral("ALSA_CONFIG_PATH"), noDevices);
    }

    // The cue's one note says why it is silent; ALSA's own lines stay out of the log.
    void noSoundServerLeavesOneNote() {
        auto modem = startModem({});
        profileFor(modem->device());
        auto run = dialer();
        withoutSound(*run);
        run->start({QStringLiteral("#5551234#")});
        QVERIFY2(run->waitForMessage(kDialled), qPrintable(run->stderrText()));
        QCOMPARE(run->dismissAndWait(), 0);
        QCOMPARE(run->stderrText().count(QLatin1String("cvdialer: aviso: sin sonido de aviso")), 1);
        QVERIFY2(!run->stderrText().contains(QLatin1String("ALSA lib")),
                 qPrintable(run->stderrText()));
    }

    // Qt's Wayland backend has no bell: the note must not claim one rang.
    void waylandSessionHasNoBell() {
        const QString weston = QStandardPaths::findExecutable(QStringLiteral("weston"));
        const QString plugin = QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                               QStringLiteral("/platforms/libqwayland-generic.so");
        if (weston.isEmpty() || !QFile::exists(plugin))
            QSKIP("needs weston and qt6-wayland (scripts/setup installs them)");
        QProcess compositor;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_scratch->runtime);
        compositor.setProcessEnvironment(env);
        compositor.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        compositor.start(
            weston, {"--backend=headless-backend.so", "--socket=cvdialer-test", "--idle-time=0"});
        const auto stop = qScopeGuard([&] {
            compositor.terminate();
            if (!compositor.waitForFinished(5000))
                compositor.kill();
        });
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_scratch->runtime + "/cvdialer-test"), 10000);
        auto modem = startModem({});
        profileFor(modem->device());
        auto run = dialer();
        withoutSound(*run);
        run->setEnvironment(QStringLiteral("DISPLAY"), QString());
        run->setEnvironment(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("cvdialer-test"));
        run->setEnvironment(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        run->start({QStringLiteral("#5551234#")});
        QVERIFY2(run->waitForMessage(kDialled), qPrintable(run->stderrText()));
        QVERIFY2(run->stderrText().contains(
                     QStringLiteral("no suena nada (la sesión Wayland no tiene timbre)")),
                 qPrintable(run->stderrText()));
        QVERIFY(!run->stderrText().contains(QLatin1String("suena el timbre")));
        run->terminate(); // no xdotool here: a polite kill answers the message
        QCOMPARE(run->waitForExit(), 0);
        QVERIFY(modem->waitReceived("ATDT05551234;\rATH\r"));
    }

    // A link asks before the line is taken, showing the number as it will go
    // out (prefix and international code applied); Enter dials it.
    void telLinkAsksThenDialsTheShownNumber() {
        auto modem = startModem({});
        profileFor(modem->device(), QStringLiteral("[MODEM]\nINTERNACIONAL=00\n"));
        auto run = dialer();
        run->start({kLink});
        QVERIFY2(run->waitForMessage(kLinkQuestion.arg("00034911234567")),
                 qPrintable(run->stderrText()));
        screenshot(QStringLiteral("CVDialer"), QStringLiteral("tel-question.png"));
        // Pressed again only while nothing went out: the first press may come
        // before the box has the focus.
        for (int press = 0; press < 5 && !modem->waitReceived("ATDT", 3000); ++press)
            QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Return")}));
        QVERIFY2(run->waitForMessage(kDialled), qPrintable(run->stderrText()));
        QCOMPARE(run->dismissAndWait(), 0);
        QVERIFY(modem->waitReceived("ATDT00034911234567;\rATH\r"));
        QCOMPARE(modem->received(), QByteArray("ATH\rATDT00034911234567;\rATH\r"));
    }

    // Esc, or a polite kill while the question is up: the line was never
    // taken, nothing is sent, status 6.
    void telLinkQuestionCancelledSendsNothing_data() {
        QTest::addColumn<bool>("signalled");
        QTest::newRow("Esc") << false;
        QTest::newRow("SIGTERM") << true;
    }
    void telLinkQuestionCancelledSendsNothing() {
        QFETCH(bool, signalled);
        auto modem = startModem({});
        profileFor(modem->device());
        auto run = dialer();
        run->start({kLink});
        QVERIFY2(run->waitForMessage(kLinkQuestion.arg("00034911234567")),
                 qPrintable(run->stderrText()));
        QSerialPort other(modem->device()); // free while the operator decides
        QVERIFY2(other.open(QIODevice::ReadWrite), qPrintable(other.errorString()));
        other.close();
        if (signalled)
            run->signal(SIGTERM);
        QCOMPARE(signalled ? run->waitForExit() : run->dismissAndWait(QStringLiteral("Escape")), 6);
        QCOMPARE(modem->received(), QByteArray());
    }

    // What reaches the modem for each request: the number, or nothing when the
    // request could carry commands or would dial a wrong number (error 5).
    void requestsAtTheModem_data() {
        QTest::addColumn<QString>("request");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QByteArray>("dialled"); // empty: refused, saying why
        QTest::addColumn<QString>("why");
        const QByteArray refused;
        QTest::newRow("commands after ;") << "#555;&F&W#"
                                          << "0" << refused << "El número tiene un \";\"";
        QTest::newRow("; in ANTEPONER") << "#5551234#"
                                        << "0;&F" << refused << "ANTEPONER tiene un \";\"";
        QTest::newRow("DT...; of 41") << "#" + QString(37, QLatin1Char('5')) + "#"
                                      << "0" << refused << "suman 41 caracteres";
        QTest::newRow("DT...; of 40") << "#" + QString(36, QLatin1Char('5')) + "#"
                                      << "0"
                                      << "0" + QByteArray(36, '5') << "";
    }
    void requestsAtTheModem() {
        QFETCH(QString, request);
        QFETCH(QString, prefix);
        QFETCH(QByteArray, dialled);
        QFETCH(QString, why);
        auto modem = startModem({});
        profileFor(modem->device());
        m_scratch->writeProfile(
            QString::fromUtf8(m_scratch->profile())
                .replace(QLatin1String("ANTEPONER=0"), QLatin1String("ANTEPONER=") + prefix));
        auto run = dialer();
        run->start({request});
        if (dialled.isEmpty()) {
            QVERIFY2(run->waitForMessage(QStringLiteral("Error 5 en tiempo de ejecución: ")),
                     qPrintable(run->stderrText()));
            QCOMPARE(run->dismissAndWait(), 2);
            QVERIFY2(run->stderrText().contains(why), qPrintable(run->stderrText()));
            QCOMPARE(modem->received(), QByteArray());
            return;
        }
        QVERIFY2(run->waitForMessage(kDialled), qPrintable(run->stderrText()));
        QCOMPARE(run->dismissAndWait(), 0);
        const QByteArray sent = "ATH\rATDT" + dialled + ";\rATH\r";
        QVERIFY(modem->waitReceived(sent));
        QCOMPARE(modem->received(), sent);
    }

    void failureResultCode() {
        auto modem = startModem({"--result", "NO DIALTONE"});
        profileFor(modem->device());
        auto run = dialer();
        run->start({QStringLiteral("#5551234#")});
        QVERIFY2(run->waitForMessage(QStringLiteral("El módem no pudo marcar: NO DIALTONE")),
                 qPrintable(run->stderrText()));
        screenshot(QStringLiteral("CVDialer"), QStringLiteral("modem-failure.png"));
        QCOMPARE(run->dismissAndWait(), 4);
        QVERIFY(modem->waitReceived("ATDT05551234;\rATH\r"));
    }

    void silentModemTimesOutAndIsStoppedBeforeTheHangUp() {
        auto modem = startModem({"--dial-silent"});
        profileFor(modem->device(), QStringLiteral("[MODEM]\nESPERA=2\n"));
        auto run = dialer();
        run->start({QStringLiteral("#5551234#")});
        QVERIFY2(run->waitForMessage(QStringLiteral("El módem no respondió en 2 segundos.")),
                 qPrintable(run->stderrText()));
        screenshot(QStringLiteral("CVDialer"), QStringLiteral("no-answer.png"));
        // The dial is stopped before the operator is told, the hang-up after.
        QCOMPARE(modem->received(), QByteArray("ATH\rATDT05551234;\r\r"));
        QCOMPARE(run->dismissAndWait(), 5);
        QVERIFY(modem->waitReceived("\r\rATH\r"));
        QCOMPARE(modem->received(), QByteArray("ATH\rATDT05551234;\r\rATH\r"));
    }

    // Ctrl-\ in a terminal sends SIGQUIT: a cancel too, not a core dump.
    void terminatedWhileWaitingStillHangsUp_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGQUIT") << SIGQUIT;
    }
    void terminatedWhileWaitingStillHangsUp() {
        QFETCH(int, signal);
        auto modem = startModem({"--delay", "60000"});
        profileFor(modem->device());
        auto run = dialer();
        run->start({QStringLiteral("#5551234#")});
        QVERIFY(modem->waitReceived("ATDT05551234;\r"));
        if (signal == SIGTERM)
            screenshot(QStringLiteral("CVDialer"), QStringLiteral("dialling-window.png"));
        run->signal(signal);
        QCOMPARE(run->waitForExit(), 6);
        QCOMPARE(modem->received(), QByteArray("ATH\rATDT05551234;\r\rATH\r"));
        QVERIFY(!run->stderrText().contains(kDialled));
    }

    // Nobody may be at the screen to dismiss the message: a polite kill closes
    // it, and the modem is still hung up.
    void terminatedWhileTheMessageIsUpStillHangsUp() {
        auto modem = startModem({});
        profileFor(modem->device());
        auto run = dialer();
        run->start({QStringLiteral("#5551234#")});
        QVERIFY2(run->waitForMessage(kDialled), qPrintable(run->stderrText()));
        run->terminate();
        QCOMPARE(run->waitForExit(), 0);
        QVERIFY(modem->waitReceived("ATDT05551234;\rATH\r"));
        QCOMPARE(modem->received(), QByteArray("ATH\rATDT05551234;\rATH\r"));
    }

    void lineHungUpWhileWaiting() {
        auto modem = startModem({"--delay", "60000", "--hangup-after", "300"});
        profileFor(modem->device());
        auto run = dialer();
        run->start({QStringLiteral("#5551234#")});
        QVERIFY2(run->waitForMessage(QStringLiteral("Se perdió la conexión con el módem.")),
                 qPrintable(run->stderrText()));
        screenshot(QStringLiteral("CVDialer"), QStringLiteral("line-lost.png"));
        QCOMPARE(run->dismissAndWait(), 3);
    }

    void portThatDoesNotExist() {
        profileFor(QStringLiteral("/dev/cvdialer-no-such-port"));
        auto run = dialer();
        run->start({QStringLiteral("#5551234#")});
        QVERIFY(run->waitForMessage(QStringLiteral(
            "COM2 no está disponible. Cambie la propiedad CommPort a otro puerto.")));
        screenshot(QStringLiteral("CVDialer"), QStringLiteral("port-unavailable.png"));
        QCOMPARE(run->dismissAndWait(), 3);
        QVERIFY2(run->stderrText().contains(
                     QLatin1String("cvdialer: COM2 (/dev/cvdialer-no-such-port): ")),
                 qPrintable(run->stderrText()));
    }

    void portHeldByAnotherProcess() {
        auto modem = startModem({});
        profileFor(modem->device());
        QSerialPort holder(modem->device());
        QVERIFY(holder.open(QIODevice::ReadWrite));
        auto run = dialer();
        run->start({QStringLiteral("#5551234#")});
        QVERIFY(run->waitForMessage(QStringLiteral(
            "COM2 no está disponible. Cambie la propiedad CommPort a otro puerto.")));
        QCOMPARE(run->dismissAndWait(), 3);
        QVERIFY2(run->stderrText().contains(
                     QStringLiteral("COM2 (%1): El puerto está en uso por tst_dialing_e2e (PID %2)")
                         .arg(modem->device())
                         .arg(QCoreApplication::applicationPid())),
                 qPrintable(run->stderrText()));
        QCOMPARE(modem->received(), QByteArray());
    }

    // A second tel: click while the first dial is up: told why, and the first
    // dial goes on undisturbed.
    void secondDialOnTheSamePortIsToldOneIsInProgress() {
        auto modem = startModem({"--delay", "60000"});
        profileFor(modem->device());
        auto first = dialer();
        first->start({QStringLiteral("#5551234#")});
        QVERIFY(modem->waitReceived("ATDT05551234;\r"));
        auto second = dialer();
        second->start({QStringLiteral("#5559999#")});
        QVERIFY(second->waitForMessage(QStringLiteral(
            "COM2 no está disponible. Cambie la propiedad CommPort a otro puerto.")));
        QCOMPARE(second->dismissAndWait(), 3);
        // Said in Spanish, naming the dial that holds it: never Qt's English lock text.
        QVERIFY2(second->stderrText().contains(
                     QStringLiteral("en uso por cvdialer (PID %1): ya hay una llamada en curso")
                         .arg(first->pid())),
                 qPrintable(second->stderrText()));
        QVERIFY(!second->stderrText().contains(QLatin1String("Permission error")));
        first->terminate();
        QCOMPARE(first->waitForExit(), 6);
        QVERIFY(!modem->received().contains("5559999"));
    }

    // A session short of descriptors or memory never leaves the line held with
    // nobody told: too few descriptors to finish a dial, or too little memory
    // for the message's window (Qt would block for good), and none starts.
    // The stated need is what is checked: a limit that leaves a dial exactly
    // the 32 descriptors its note says it needs, its own pipe among them,
    // dials (ulimit -n 35 where only the standard three are inherited).
    // tst_memory_e2e sweeps the memory band.
    void shortOfResources_data() {
        QTest::addColumn<int>("resource");
        QTest::addColumn<qulonglong>("limit");
        QTest::newRow("ulimit -n 12") << int(RLIMIT_NOFILE) << 12ULL;
        QTest::newRow("ulimit -n as the note says") << int(RLIMIT_NOFILE) << 0ULL;
        QTest::newRow("ulimit -v 96M") << int(RLIMIT_AS) << 96ULL * 1024 * 1024;
    }
    void shortOfResources() {
        QFETCH(int, resource);
        QFETCH(qulonglong, limit);
        auto modem = startModem({});
        profileFor(modem->device());
        auto run = dialer();
        if (limit == 0) // what the dialer inherits, and the 32 its note says a dial needs
            limit = inheritedDescriptors() + 32;
        run->setLimit(resource, rlim_t(limit));
        // The window that never comes up is given up on in a second, not five.
        run->setEnvironment(QStringLiteral("CVDIALER_TEST_WAITS"), QStringLiteral("stall=1000"));
        run->start({QStringLiteral("#5551234#")});
        if (resource == RLIMIT_NOFILE && limit > 12) {
            QVERIFY2(run->waitForMessage(kDialled), qPrintable(run->stderrText()));
            QCOMPARE(run->dismissAndWait(), 0);
            return;
        }
        if (resource == RLIMIT_NOFILE) {
            QCOMPARE(run->waitForExit(), 2);
            QVERIFY(
                run->stderrText().startsWith(QLatin1String("cvdialer: aviso: no se puede marcar")));
            QVERIFY(run->stderrText().contains(QLatin1String("(ulimit -n)")));
            QCOMPARE(modem->received(), QByteArray());
            return;
        }
        QCOMPARE(run->waitForExit(), 2);
        QVERIFY2(run->stderrText().contains(QLatin1String("no queda memoria")),
                 qPrintable(run->stderrText()));
        QVERIFY(!modem->received().contains("ATDT"));
    }

    // Another program's lock on the modem, in any form, is honoured however
    // long it has been held (QSerialPort alone takes a lock of this user older
    // than 30 s, or one without its own fields, for stale and deletes it); a
    // gone process's lock is removed, whatever its age.
    void lockFilesOfOtherPrograms_data() {
        QTest::addColumn<QString>("form");
        QTest::addColumn<bool>("alive");
        QTest::newRow("HDB UUCP, alive") << "HDB UUCP" << true;
        QTest::newRow("minicom's, alive") << "minicom" << true;
        QTest::newRow("binary, alive") << "binary" << true;
        QTest::newRow("HDB UUCP, gone") << "HDB UUCP" << false;
        QTest::newRow("binary, gone") << "binary" << false;
    }
    void lockFilesOfOtherPrograms() {
        QFETCH(QString, form);
        QFETCH(bool, alive);
        if (!haveSystemLockFolder())
            QSKIP("no writable /run/lock for a program's lock file");
        auto modem = startModem({});
        profileFor(modem->device());
        const Holder holder(alive);
        // A live holder's lock an hour old, as a long session leaves it; a
        // gone one's fresh, which QSerialPort alone would still refuse.
        const SystemLock lock(modem->device(), form, qint32(holder.pid), alive ? 3600 : 0);
        QVERIFY(lock.written);
        auto run = dialer();
        run->start({QStringLiteral("#5551234#")});
        if (!alive) {
            QVERIFY2(run->waitForMessage(kDialled), qPrintable(run->stderrText()));
            QVERIFY(lock.now() != lock.content);
            QCOMPARE(run->dismissAndWait(), 0);
            QVERIFY(modem->waitReceived("ATDT05551234;\rATH\r"));
            return;
        }
        QVERIFY(run->waitForMessage(kUnavailable));
        QCOMPARE(run->dismissAndWait(), 3);
        QVERIFY2(run->stderrText().contains(
                     QStringLiteral("COM2 (%1): El puerto está en uso por sleep (PID %2)")
                         .arg(modem->device())
                         .arg(holder.pid)),
                 qPrintable(run->stderrText()));
        QCOMPARE(lock.now(), lock.content);
        QCOMPARE(modem->received(), QByteArray());
    }

    // As a user the system refuses things to (root is refused nothing): a
    // device only root may open is a permission failure (70), not a busy
    // port; root's lock of a gone process stays, named for an administrator.
    void asAnotherUser_data() {
        QTest::addColumn<bool>("locked");
        QTest::addColumn<QString>("said"); // the reason, as a pattern
        QTest::newRow("device only root may open")
            << false << "Permiso denegado.*; el operador debe pertenecer al grupo .* dialout";
        QTest::newRow("root's lock, process gone")
            << true
            << "El archivo de bloqueo .* no puede quitarlo.*: un administrador debe borrarlo";
    }
    void asAnotherUser() {
        QFETCH(bool, locked);
        QFETCH(QString, said);
        if (::geteuid() != 0 ||
            QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty() ||
            !haveSystemLockFolder())
            QSKIP("needs root, setpriv and /run/lock to run the dialer as nobody");
        auto modem = startModem({});
        profileFor(modem->device());
        QVERIFY(QFile::setPermissions(modem->device(), locked
                                                           ? QFile::Permissions(0x6666)
                                                           : QFile::ReadOwner | QFile::WriteOwner));
        const Holder gone(false);
        std::optional<SystemLock> lock;
        if (locked)
            QVERIFY(lock.emplace(modem->device(), "HDB UUCP", qint32(gone.pid), 0).written);
        const QString err = runAsNobody(QStringLiteral("#5551234#"));
        const QRegularExpression reason(
            QStringLiteral("cvdialer: COM2 \\(%1\\): %2")
                .arg(QRegularExpression::escape(modem->device()), said));
        QVERIFY2(err.contains(reason) && err.endsWith(QLatin1String("\nstatus 3")),
                 qPrintable(err));
        QVERIFY(!err.contains(QLatin1String("en uso")));
        QVERIFY(!err.contains(QLatin1String("paso omitido")) || err.contains("error 70"));
        QVERIFY(!lock || lock->now() == lock->content);
        QCOMPARE(modem->received(), QByteArray());
    }

    void numberWithCarriageReturnIsRefused() {
        auto modem = startModem({});
        profileFor(modem->device());
        auto run = dialer();
        run->start({QStringLiteral("#555\rATH1#")});
        QVERIFY(run->waitForMessage(QStringLiteral("Error 5 en tiempo de ejecución: ")));
        QCOMPARE(run->dismissAndWait(), 2);
        QCOMPARE(modem->received(), QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestDialingEndToEnd)
#include "tst_dialing_e2e.moc"
