// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The dial's record: the number masked, controls escaped, the journal's
// protocol or syslog's line, and a reader that takes nothing never holding
// the exit up for longer than the bound.
#include "dialrecord.h"
#include "support/stderrcapture.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A datagram socket bound at path, as the journal's or syslog's.
struct Listener {
    int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    explicit Listener(const QByteArray& path) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, path.constData(), sizeof address.sun_path);
        bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~Listener() { ::close(fd); }
    QByteArray receive() const {
        char buffer[8192];
        const ssize_t size = ::recv(fd, buffer, sizeof buffer, 0);
        return size < 0 ? QByteArray() : QByteArray(buffer, size);
    }
    bool bound = false;
};

// Sends to path until its reader's queue is full.
void fill(const QByteArray& path) {
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, path.constData(), sizeof address.sun_path);
    ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    const QByteArray datagram(1024, 'x');
    while (::send(fd, datagram.constData(), std::size_t(datagram.size()), 0) > 0) {
    }
    ::close(fd);
}

} // namespace

class TestDialRecord : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QByteArray m_journal, m_syslog;

private Q_SLOTS:
    void init() {
        DialRecord::discard();
        m_journal = QFile::encodeName(m_dir.filePath(QStringLiteral("journal")));
        m_syslog = QFile::encodeName(m_dir.filePath(QStringLiteral("log")));
        QFile::remove(QString::fromUtf8(m_journal));
        QFile::remove(QString::fromUtf8(m_syslog));
        DialRecord::setSockets(m_journal, m_syslog);
        DialRecord::begin(DialRecord::Origin::Request);
        DialRecord::setTarget(QStringLiteral("/dev/ttyS1"));
    }

    void numberShown_data() {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("field"); // "<none>": left out
        QTest::newRow("seven digits keep four") << "5551234"
                                                << ""
                                                << "***1234";
        QTest::newRow("six digits: none") << "123456"
                                          << ""
                                          << "******";
        QTest::newRow("other characters stay") << "00 34-91 5551234"
                                               << ""
                                               << "** **-** ***1234";
        QTest::newRow("completo") << "5551234"
                                  << "COMPLETO"
                                  << "5551234";
        QTest::newRow("nada") << "5551234"
                              << " nada "
                              << "<none>";
        QTest::newRow("controls escaped") << "55\n51234\x1b"
                                          << "completo"
                                          << "55\\x0a51234\\x1b";
    }
    void numberShown() {
        QFETCH(QString, number);
        QFETCH(QString, rule);
        QFETCH(QString, field);
        DialRecord::setNumber(number, rule);
        const QList<QByteArray> lines = DialRecord::journalFields(0).split('\n');
        QByteArray shown = "<none>";
        for (const QByteArray& line : lines) {
            if (line.startsWith("CVDIALER_NUMBER="))
                shown = line.mid(16);
        }
        QCOMPARE(QString::fromUtf8(shown), field);
    }

    // What ps shows: the same mask over the arguments, each keeping its length.
    void argumentsMaskedInPlace() {
        char program[] = "cvdialer", first[] = "#555", second[] = "1234#";
        char* argv[] = {program, first, second, nullptr};
        DialRecord::maskArguments(3, argv);
        QCOMPARE(QByteArray(argv[0]), QByteArray("cvdialer"));
        QCOMPARE(QByteArray(argv[1]) + ' ' + argv[2], QByteArray("#*** 1234#"));
    }

    void journalTakesTheFields() {
        Listener journal(m_journal);
        QVERIFY(journal.bound);
        DialRecord::setNumber(QStringLiteral("5551234"), {});
        DialRecord::write(4);
        const QByteArray got = journal.receive();
        QCOMPARE(got, DialRecord::journalFields(4));
        QVERIFY(got.contains("\nPRIORITY=4\n"));
        QVERIFY(got.contains("\nCVDIALER_STATUS=4\nCVDIALER_ORIGIN=orden\n"));
        DialRecord::write(0);
        QVERIFY(journal.receive().isEmpty()); // one record per run
    }

    // The watchdog's end, from a signal handler: the record as last prepared.
    void watchdogSendsThePreparedRecord() {
        Listener journal(m_journal);
        QVERIFY(journal.bound);
        DialRecord::setNumber(QStringLiteral("5551234"), {});
        DialRecord::writeFromSignal(3);
        QCOMPARE(journal.receive(), DialRecord::journalFields(3));
        DialRecord::write(3);
        QVERIFY(journal.receive().isEmpty()); // still one record per run
    }

    void withoutAJournalOneSyslogLine() {
        Listener syslog(m_syslog);
        QVERIFY(syslog.bound);
        DialRecord::setNumber(QStringLiteral("5551234"), {});
        DialRecord::write(3);
        const QString line = QString::fromUtf8(syslog.receive());
        QVERIFY2(line.startsWith(QLatin1String("<11>")), qPrintable(line)); // user, err
        QVERIFY2(line.endsWith(QStringLiteral("cvdialer[%1]: Puerto del módem no disponible o "
                                              "perdido al ***1234 por /dev/ttyS1 (estado=3 "
                                              "origen=orden destino=/dev/ttyS1 numero=***1234)")
                                   .arg(::getpid())),
                 qPrintable(line));
    }

    void noLoggerAtAllSaysNothing() {
        StderrCapture err;
        DialRecord::write(0);
        QCOMPARE(err.text(), QString());
    }

    // A journal that takes nothing loses the record, says so, and costs the
    // exit no more than the bound.
    void fullJournalCostsAtMostTheBound() {
        Listener journal(m_journal);
        QVERIFY(journal.bound);
        fill(m_journal);
        StderrCapture err;
        QElapsedTimer took;
        took.start();
        DialRecord::write(0);
        const qint64 ms = took.elapsed();
        QVERIFY2(ms >= DialRecord::kBound.count() - 10 && ms < DialRecord::kBound.count() + 50,
                 qPrintable(QString::number(ms)));
        QVERIFY(err.text().contains(QStringLiteral("se perdió el registro")));
    }
};

QTEST_GUILESS_MAIN(TestDialRecord)
#include "tst_dialrecord.moc"
