// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// What anyone on the workstation can put in a dial's way: a FIFO under the
// port's lock name, a profile that is a FIFO or a link to /dev/zero, a
// profile others may change; and a launcher that stopped reading stderr.
#include "fixture.h"

#include <grp.h>
#include <optional>
#include <pwd.h>
#include <QElapsedTimer>
#include <sys/stat.h>
#include <unistd.h>

using namespace e2e;

namespace {

struct Fifo {
    QString path;
    bool made;
    explicit Fifo(const QString& name)
        : path(name), made(::mkfifo(QFile::encodeName(name).constData(), 0644) == 0) {}
    ~Fifo() { QFile::remove(path); }
};

} // namespace

class TestUntrustedEndToEnd : public QObject {
    Q_OBJECT

    std::unique_ptr<Scratch> m_scratch;

private Q_SLOTS:
    void initTestCase() {
        if (const auto missing = missingForEndToEnd())
            QSKIP(missing->constData());
    }
    void init() { m_scratch = std::make_unique<Scratch>(); }

    // Any user may make a FIFO in /run/lock; opening it to read would block.
    void fifoLockIsThePortUnavailable() {
        if (!QFileInfo(QStringLiteral("/run/lock")).isWritable())
            QSKIP("needs a writable /run/lock");
        Modem modem({}, m_scratch->scratch());
        const Fifo lock(QStringLiteral("/run/lock/LCK..") +
                        modem.device().mid(5).replace(QLatin1Char('/'), QLatin1Char('_')));
        QVERIFY(lock.made);
        m_scratch->writeModemProfile(modem.device());
        Dialer run(m_scratch->config, m_scratch->runtime);
        QElapsedTimer clock;
        clock.start();
        run.start({QStringLiteral("#5551234#")});
        QVERIFY2(run.waitForMessage(kUnavailable, 5000), qPrintable(run.stderrText()));
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        run.signal(SIGTERM);
        QCOMPARE(run.waitForExit(), 3);
        // The reason, with the file (under /var/lock or /run/lock), follows the message.
        QVERIFY2(run.stderrText().contains(QFileInfo(lock.path).fileName() +
                                           QStringLiteral(" debería ser un archivo de bloqueo")),
                 qPrintable(run.stderrText()));
        QCOMPARE(modem.received(), QByteArray());
    }

    // Refused at once, on the dial path and the window path, naming the file.
    void profileThatIsNoFileIsRefused_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("request");
        for (const char* kind : {"fifo", "/dev/zero"}) {
            QTest::addRow("%s, dial", kind) << kind << "#5551234#";
            QTest::addRow("%s, /Config", kind) << kind << "/Config";
        }
    }
    void profileThatIsNoFileIsRefused() {
        QFETCH(QString, kind);
        QFETCH(QString, request);
        QDir().mkpath(m_scratch->config);
        const QString profile = m_scratch->profilePath();
        std::optional<Fifo> fifo;
        if (kind == QLatin1String("fifo"))
            QVERIFY(fifo.emplace(profile).made);
        else
            QVERIFY(QFile::link(kind, profile));
        Dialer run(m_scratch->config, m_scratch->runtime);
        QElapsedTimer clock;
        clock.start();
        run.start({request});
        QVERIFY2(run.waitForMessage(QStringLiteral("Error 75 en tiempo de ejecución"), 5000),
                 qPrintable(run.stderrText()));
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(run.stderrText().contains(profile), qPrintable(run.stderrText()));
        QCOMPARE(run.dismissAndWait(), 2);
    }

    // Whoever may write the profile decides what is dialled (a prefix that
    // forwards the line): only its owner, root, or a user private group.
    void profileOthersMayChange_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("groupName");
        QTest::addColumn<QString>("owner");
        QTest::addColumn<bool>("dials");
        const QString mine = QString::fromLocal8Bit(::getpwuid(::getuid())->pw_name);
        const QString privateGroup = QString::fromLocal8Bit(::getgrgid(::getgid())->gr_name);
        QTest::newRow("0644") << 0644 << privateGroup << mine << true;
        QTest::newRow("0664, user private group") << 0664 << privateGroup << mine << true;
        QTest::newRow("0666") << 0666 << privateGroup << mine << false;
        QTest::newRow("0664, shared group") << 0664 << "users" << mine << false;
        QTest::newRow("0644, another user's") << 0644 << privateGroup << "nobody" << false;
    }
    void profileOthersMayChange() {
        QFETCH(int, mode);
        QFETCH(QString, groupName);
        QFETCH(QString, owner);
        QFETCH(bool, dials);
        const group* entry = ::getgrnam(groupName.toLocal8Bit().constData());
        const passwd* account = ::getpwnam(owner.toLocal8Bit().constData());
        if (!entry || !account)
            QSKIP("needs the group and the user of this row");
        Modem modem({}, m_scratch->scratch());
        m_scratch->writeModemProfile(modem.device());
        const QByteArray path = QFile::encodeName(m_scratch->profilePath());
        QVERIFY(::chown(path.constData(), account->pw_uid, entry->gr_gid) == 0);
        QVERIFY(::chmod(path.constData(), mode_t(mode)) == 0);
        Dialer run(m_scratch->config, m_scratch->runtime);
        run.start({QStringLiteral("#5551234#")});
        if (dials) {
            QVERIFY2(run.waitForMessage(kDialled), qPrintable(run.stderrText()));
            QCOMPARE(run.dismissAndWait(), 0);
            return;
        }
        QVERIFY2(run.waitForMessage(QStringLiteral("Error 70 en tiempo de ejecución"), 5000),
                 qPrintable(run.stderrText()));
        const QString said = run.stderrText();
        QVERIFY2(said.contains(m_scratch->profilePath()) &&
                     said.contains(QStringLiteral("%1").arg(mode, 4, 8, QLatin1Char('0'))),
                 qPrintable(said));
        // A polite kill closes the refusal at once, as it closes a dial's boxes.
        QElapsedTimer clock;
        clock.start();
        run.signal(SIGTERM);
        QCOMPARE(run.waitForExit(5000), 2);
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(modem.received(), QByteArray());
        // The window still opens, and saving keeps the file's mode.
        Dialer window(m_scratch->config, m_scratch->runtime);
        window.start({QStringLiteral("/Config")});
        QVERIFY(!waitForVisibleWindow({"--name", "Marcador telefónico"}).isEmpty());
        window.dismissAndWait(QStringLiteral("Return"));
        struct stat info {};
        QVERIFY(::stat(path.constData(), &info) == 0);
        QCOMPARE(int(info.st_mode & 0777), mode);
    }

    // A launcher whose stderr pipe has gone away: the dial goes on, the
    // operator is told, and the line is hung up.
    void stderrNobodyReads() {
        Modem modem({}, m_scratch->scratch());
        m_scratch->writeModemProfile(modem.device());
        const QString status = m_scratch->scratch(QStringLiteral("status"));
        QProcess shell;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_scratch->config);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_scratch->runtime);
        shell.setProcessEnvironment(env);
        shell.start(QStringLiteral("bash"),
                    {"-c", "{ \"$0\" '#5551234#' 2>&1 >/dev/null; echo $? >\"$1\"; } | true",
                     buildPath(QStringLiteral("cvdialer")), status});
        QVERIFY(modem.waitReceived("ATDT05551234;\r"));
        QDeadlineTimer deadline(20000);
        while (!shell.waitForFinished(150) && !deadline.hasExpired())
            xdotool({QStringLiteral("key"), QStringLiteral("Return")});
        QFile result(status);
        QVERIFY(result.open(QIODevice::ReadOnly));
        QCOMPARE(result.readAll().trimmed(), QByteArray("0"));
        const QByteArray received = modem.received();
        QVERIFY2(received.indexOf("ATH\r", received.indexOf("ATDT")) > 0, received.constData());
    }
};

QTEST_MAIN(TestUntrustedEndToEnd)
#include "tst_untrusted_e2e.moc"
