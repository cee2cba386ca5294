// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The floor's administrator: the floor's files, the journal record of every
// dial read back from a real systemd-journald, and --check, with
// build/cvdialer against build/fakemodem. The test runs in a mount namespace
// of its own (support/privatemounts.h) with a journald it starts there.
#include "fixture.h"
#include "support/privatemounts.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace e2e;

namespace {
const QString kFixedFile = QStringLiteral("/etc/cvdialer/CVDIALER.INI");
const QString kJournald = QStringLiteral("/lib/systemd/systemd-journald");

bool writeFile(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}
QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}
} // namespace

class TestFloorEndToEnd : public QObject {
    Q_OBJECT

    QTemporaryDir m_mounts;
    QString m_skip;
    QProcess m_journald;
    std::unique_ptr<Scratch> m_scratch;

    QString defaultsFile() const { return m_scratch->scratch(QStringLiteral("xdg/CVDIALER.INI")); }
    std::unique_ptr<Dialer> dialer() {
        auto run = std::make_unique<Dialer>(m_scratch->config, m_scratch->runtime);
        run->setEnvironment(QStringLiteral("XDG_CONFIG_DIRS"),
                            m_scratch->scratch(QStringLiteral("xdg")));
        return run;
    }
    // COM2 is device; parameters are more lines of [PARAMETROS].
    static QByteArray modemProfile(const QString& device, const QByteArray& parameters = {}) {
        return "[PARAMETROS]\nCOMM=2\nSETTINGS=9600,N,8,1\n" + parameters +
               "[PUERTOS]\nCOM2=" + device.toUtf8() + "\n";
    }
    // The one record the dialer with pid wrote, as journalctl reads it back.
    static QJsonObject recordOf(qint64 pid) {
        QDeadlineTimer deadline(10000);
        for (;;) {
            QProcess reader;
            reader.start(QStringLiteral("journalctl"),
                         {"--no-pager", "-o", "json", "SYSLOG_IDENTIFIER=cvdialer",
                          QStringLiteral("_PID=%1").arg(pid)});
            reader.waitForFinished(10000);
            const QByteArray line = reader.readAllStandardOutput().trimmed();
            if (!line.isEmpty() || deadline.hasExpired())
                return QJsonDocument::fromJson(line).object();
            QTest::qWait(50);
        }
    }

private Q_SLOTS:
    void initTestCase() {
        if (!QFileInfo::exists(kJournald))
            m_skip = QStringLiteral("no systemd-journald (Debian's package systemd)");
        else if (PrivateMounts::enter(m_mounts.path(), m_skip) && PrivateMounts::freshRun(m_skip))
            m_skip.clear();
        if (!m_skip.isEmpty())
            return;
        m_journald.start(kJournald, {});
        QVERIFY(m_journald.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(QStringLiteral("/run/systemd/journal/socket")),
                                 10000);
    }
    void cleanupTestCase() {
        if (m_journald.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(m_journald.processId()), SIGTERM);
        if (!m_journald.waitForFinished(5000))
            m_journald.kill();
    }
    void init() {
        if (!m_skip.isEmpty())
            QSKIP(qPrintable(m_skip));
        if (const auto missing = missingForEndToEnd())
            QSKIP(missing->constData());
        m_scratch = std::make_unique<Scratch>();
        QFile::remove(kFixedFile);
    }

    // Which file a value comes from: the user's beats the floor's default, the
    // administrator's fixed value beats both. The record says what was dialled.
    void floorFilesDecideTheDial_data() {
        QTest::addColumn<QByteArray>("defaults");
        QTest::addColumn<QByteArray>("own");
        QTest::addColumn<QByteArray>("fixed");
        QTest::addColumn<QByteArray>("dialled");
        QTest::newRow("no profile: the floor's defaults")
            << QByteArray("ANTEPONER=9\n") << QByteArray() << QByteArray()
            << QByteArray("ATDT95551234;");
        QTest::newRow("the user's key wins over a default")
            << QByteArray("[PARAMETROS]\nANTEPONER=9\n")
            << QByteArray("[PARAMETROS]\nANTEPONER=0\n") << QByteArray()
            << QByteArray("ATDT05551234;");
        QTest::newRow("a fixed key wins over the user's")
            << QByteArray("[PARAMETROS]\nANTEPONER=9\n")
            << QByteArray("[PARAMETROS]\nANTEPONER=0\n")
            << QByteArray("[PARAMETROS]\nANTEPONER=7\n") << QByteArray("ATDT75551234;");
    }
    void floorFilesDecideTheDial() {
        QFETCH(QByteArray, defaults);
        QFETCH(QByteArray, own);
        QFETCH(QByteArray, fixed);
        QFETCH(QByteArray, dialled);
        Modem modem({}, m_scratch->scratch());
        // The port comes from the floor alone: a user without a profile dials.
        QVERIFY(writeFile(defaultsFile(), modemProfile(modem.device(), defaults)));
        if (!own.isEmpty())
            m_scratch->writeProfile(QString::fromUtf8(own));
        if (!fixed.isEmpty())
            QVERIFY(writeFile(kFixedFile, fixed));
        auto run = dialer();
        run->start({QStringLiteral("#5551234#")});
        const qint64 pid = run->pid();
        QVERIFY2(run->waitForMessage(kDialled), qPrintable(run->stderrText()));
        QCOMPARE(run->dismissAndWait(), 0);
        QVERIFY2(modem.received().contains(dialled), modem.received().constData());
        const QJsonObject record = recordOf(pid);
        QCOMPARE(record.value("CVDIALER_STATUS").toString(), QStringLiteral("0"));
        QCOMPARE(record.value("CVDIALER_ORIGIN").toString(), QStringLiteral("orden"));
        QCOMPARE(record.value("CVDIALER_TARGET").toString(), modem.device());
        QCOMPARE(record.value("CVDIALER_NUMBER").toString(), QStringLiteral("***1234"));
        QCOMPARE(record.value("PRIORITY").toString(), QStringLiteral("6"));
        QVERIFY(!record.value("_CMDLINE").toString().contains(QLatin1String("5551234")));
    }

    // A polite kill while the modem dials: status 6 in the record, and the
    // number was never whole where other users could read it (ps).
    void cancelledDialIsRecordedMasked() {
        Modem modem({"--delay", "20000"}, m_scratch->scratch());
        QVERIFY(writeFile(defaultsFile(), modemProfile(modem.device())));
        auto run = dialer();
        run->start({QStringLiteral("tel:+34-91-555-1234")});
        const qint64 pid = run->pid();
        QVERIFY(run->waitForMessage(QStringLiteral("Un enlace pide llamar"), 20000));
        QVERIFY(!waitForVisibleWindow({"--name", "^CVDialer"}).isEmpty());
        const QByteArray shown = readFile(QStringLiteral("/proc/%1/cmdline").arg(pid));
        QVERIFY2(shown.contains("tel:+**-**-***-1234"), shown.constData());
        run->terminate();
        QCOMPARE(run->waitForExit(), 6);
        const QJsonObject record = recordOf(pid);
        QCOMPARE(record.value("CVDIALER_STATUS").toString(), QStringLiteral("6"));
        QCOMPARE(record.value("CVDIALER_ORIGIN").toString(), QStringLiteral("enlace"));
        QCOMPARE(record.value("CVDIALER_NUMBER").toString(), QStringLiteral("*********1234"));
        QCOMPARE(record.value("MESSAGE_ID").toString().size(), 32);
    }

    // The administrator's value shows and cannot be typed over; saving writes
    // neither it nor an untouched floor default into the user's profile.
    void fixedKeySurvivesASave() {
        QVERIFY(writeFile(defaultsFile(), "[PARAMETROS]\nSETTINGS=19200,E,7,1\n"));
        QVERIFY(writeFile(kFixedFile, "[PARAMETROS]\nCOMM=4\n"));
        m_scratch->writeProfile(QStringLiteral("[PARAMETROS]\nCOMM=2\nANTEPONER=0\n"));
        auto run = dialer();
        run->start({QStringLiteral("/Config")});
        QVERIFY(!waitForVisibleWindow({"--name", "^Marcador"}).isEmpty());
        // Salir, Anteponer, COMM: type in each field, then Aceptar with Return.
        QVERIFY(xdotool({"key", "Tab", "End", "1", "Tab", "End", "9", "Return"}));
        QCOMPARE(run->waitForExit(), 0);
        QCOMPARE(m_scratch->profile(), QByteArray("[PARAMETROS]\nCOMM=2\nANTEPONER=01\n"));
        QCOMPARE(readFile(kFixedFile), QByteArray("[PARAMETROS]\nCOMM=4\n"));
    }

    // A fixed value the dial cannot use is the administrator's to mend.
    void refusedFixedValueNamesTheFile() {
        QVERIFY(writeFile(kFixedFile, "[PARAMETROS]\nSETTINGS=9600,X,8,1\n"));
        m_scratch->writeProfile(QString::fromUtf8(modemProfile(QStringLiteral("/dev/null"))));
        auto run = dialer();
        run->start({QStringLiteral("#5551234#")});
        QCOMPARE(run->dismissAndWait(), 2);
        QVERIFY2(run->stderrText().contains(kFixedFile), qPrintable(run->stderrText()));
    }

    // One line per target, without a display; a dead one makes it status 3.
    void checkTriesEveryTarget() {
        Modem modem({}, m_scratch->scratch());
        m_scratch->writeProfile(
            QString::fromUtf8(modemProfile(modem.device() + " socket://127.0.0.1:9")));
        auto run = dialer();
        run->setEnvironment(QStringLiteral("DISPLAY"), QString());
        run->setEnvironment(QStringLiteral("WAYLAND_DISPLAY"), QString());
        run->start({QStringLiteral("--check")});
        QCOMPARE(run->waitForExit(), 3);
        const QStringList lines = run->stdoutText().split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines.at(0).startsWith(QStringLiteral("COM2 (%1): listo (").arg(modem.device())),
                 qPrintable(lines.at(0)));
        QVERIFY2(
            lines.at(1).startsWith(QStringLiteral("COM2 (socket://127.0.0.1:9): inalcanzable")),
            qPrintable(lines.at(1)));
        QVERIFY(modem.received().contains("AT\r"));
        QVERIFY(!modem.received().contains("ATDT"));
    }
};

QTEST_GUILESS_MAIN(TestFloorEndToEnd)
#include "tst_floor_e2e.moc"
