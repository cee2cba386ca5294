// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// build/cvdialer through a real ser2net whose accepters speak TLS and demand a
// workstation certificate, with a throwaway authority the test makes: the bank
// is dialled only when both ends check out, and each refusal says why.
#include "fixture.h"
#include "ser2net.h"

#include <sys/stat.h>

using namespace e2e;

namespace {

bool openssl(const QStringList& arguments, const QString& dir) {
    QProcess tool;
    tool.setWorkingDirectory(dir);
    tool.start(QStringLiteral("openssl"), arguments);
    return tool.waitForFinished(20000) && tool.exitCode() == 0;
}

// A key and a certificate signed by ca ("" for one that signs itself).
bool certificate(const QString& name, const QString& subject, const QString& ca,
                 const QString& dir) {
    const QStringList key{"-newkey", "ec",          "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
                          "-keyout", name + ".key", "-subj",    "/CN=" + subject};
    if (ca.isEmpty())
        return openssl(QStringList{"req", "-x509", "-days", "2", "-out", name + ".pem"} + key, dir);
    QFile names(dir + "/" + name + ".ext");
    return names.open(QIODevice::WriteOnly) &&
           names.write("subjectAltName=DNS:" + subject.toUtf8() + "\n") > 0 &&
           (names.close(), true) && openssl(QStringList{"req", "-out", name + ".csr"} + key, dir) &&
           openssl({"x509", "-req", "-in", name + ".csr", "-CA", ca + ".pem", "-CAkey", ca + ".key",
                    "-CAcreateserial", "-days", "2", "-extfile", name + ".ext", "-out",
                    name + ".pem"},
                   dir);
}

} // namespace

class TestTlsEndToEnd : public QObject {
    Q_OBJECT

    std::unique_ptr<Scratch> m_scratch;
    QString m_certs;

private Q_SLOTS:
    void initTestCase() {
        if (const auto missing = missingForEndToEnd({"ser2net"}))
            QSKIP(missing->constData());
        m_scratch = std::make_unique<Scratch>();
        m_certs = m_scratch->scratch(QStringLiteral("certs"));
        const QString allowed = m_certs + QStringLiteral("/auth/puesto1/allowed_certs");
        QVERIFY(QDir().mkpath(allowed));
        QVERIFY(certificate("ca", "Banco de pruebas", {}, m_certs));
        QVERIFY(certificate("other-ca", "Otra autoridad", {}, m_certs));
        QVERIFY(certificate("server", "localhost", "ca", m_certs));
        QVERIFY(certificate("puesto1", "puesto1", "ca", m_certs));
        // Too weak for OpenSSL's default security level: the handshake fails.
        QVERIFY(openssl({"req", "-x509", "-days", "2", "-newkey", "rsa:1024", "-nodes", "-keyout",
                         "weak.key", "-subj", "/CN=localhost", "-out", "weak.pem"},
                        m_certs));
        QVERIFY(QFile::copy(m_certs + "/ca.pem", allowed + "/ca.pem"));
        QVERIFY(openssl({"rehash", allowed}, m_certs));
        QVERIFY(QFile::copy(m_certs + "/puesto1.key", m_certs + "/exposed.key"));
        QVERIFY(
            QFile::setPermissions(m_certs + "/puesto1.key", QFile::ReadOwner | QFile::WriteOwner));
    }

    void bankChecksBothEnds_data() {
        QTest::addColumn<QStringList>("targets"); // {scheme, host} pairs, modem 0 then 1
        QTest::addColumn<QString>("red");
        QTest::addColumn<QString>("refusal"); // empty: it dials
        const QString ours = "CA=ca.pem\nCERTIFICADO=puesto1.pem\nCLAVE=puesto1.key\n";
        QTest::newRow("trusted both ways") << QStringList{"rfc2217+tls", "localhost"} << ours << "";
        QTest::newRow("socket+tls") << QStringList{"socket+tls", "localhost"} << ours << "";
        QTest::newRow("untrusted server") << QStringList{"rfc2217+tls", "localhost"}
                                          << QString(ours).replace("CA=ca.pem", "CA=other-ca.pem")
                                          << "el certificado del servidor no es de confianza";
        QTest::newRow("wrong host name") << QStringList{"rfc2217+tls", "127.0.0.1"} << ours
                                         << "el certificado del servidor no es de 127.0.0.1";
        QTest::newRow("no workstation certificate")
            << QStringList{"rfc2217+tls", "localhost"} << "CA=ca.pem\n"
            << "el banco de módems exige un certificado de este puesto";
        QTest::newRow("key others can read") << QStringList{"rfc2217+tls", "localhost"}
                                             << QString(ours).replace("puesto1.key", "exposed.key")
                                             << "la pueden leer otros usuarios";
        // Whoever may change the authority decides whom the dialer trusts; a
        // FIFO would block its read.
        QTest::newRow("authority others may write")
            << QStringList{"rfc2217+tls", "localhost"}
            << QString(ours).replace("CA=ca.pem", "CA=open-ca.pem")
            << "[RED] CA: " + QStringLiteral("%1/open-ca.pem lo pueden modificar otros usuarios");
        QTest::newRow("authority that is a FIFO")
            << QStringList{"rfc2217+tls", "localhost"}
            << QString(ours).replace("CA=ca.pem", "CA=fifo-ca.pem")
            << "fifo-ca.pem ([RED] CA) no es un archivo normal";
        QTest::newRow("pool: the first fails its certificate")
            << QStringList{"rfc2217+tls", "127.0.0.1", "rfc2217+tls", "localhost"} << ours << "";
    }
    void bankChecksBothEnds() {
        QFETCH(QStringList, targets);
        QFETCH(QString, red);
        QFETCH(QString, refusal);
        Scratch scratch;
        QVERIFY(QDir().mkpath(scratch.scratch(QStringLiteral("0"))));
        Modem first({}, scratch.scratch(QStringLiteral("0"))), second({}, scratch.scratch());
        const QString keys = QStringLiteral("key=%1/server.key,cert=%1/server.pem").arg(m_certs);
        Ser2net server({first.device(), second.device()}, scratch.scratch(),
                       Ser2netTls{keys + ",clientauth", m_certs + "/auth"});
        QVERIFY(server.ready());
        QStringList pool;
        for (int i = 0; i + 1 < targets.size(); i += 2) {
            const QString& host = targets[i + 1];
            pool << (targets[i] == "socket+tls" ? server.rawTls(i / 2, host)
                                                : server.rfc2217Tls(i / 2, host));
        }
        // Relative paths are taken from the profile's folder: the certificates go there.
        for (const QString& file : QDir(m_certs).entryList({"*.pem", "*.key"}, QDir::Files))
            QFile::copy(m_certs + "/" + file, scratch.config + "/" + file);
        const auto owner = QFile::ReadOwner | QFile::WriteOwner;
        QFile::setPermissions(scratch.config + "/puesto1.key", owner);
        QFile::setPermissions(scratch.config + "/exposed.key", owner | QFile::ReadOther);
        QFile::copy(m_certs + "/ca.pem", scratch.config + "/open-ca.pem");
        ::chmod(QFile::encodeName(scratch.config + "/open-ca.pem").constData(), 0666);
        ::mkfifo(QFile::encodeName(scratch.config + "/fifo-ca.pem").constData(), 0644);
        refusal.replace(QLatin1String("%1"), scratch.config);
        scratch.writeModemProfile(pool.join(' '), {}, "[RED]\n" + red);
        Dialer dialer(scratch.config, scratch.runtime);
        dialer.start({QStringLiteral("#5551234#")});
        if (refusal.isEmpty()) {
            QVERIFY2(dialer.waitForMessage(kDialled), qPrintable(dialer.stderrText()));
            Modem& dialled = targets.size() > 2 ? second : first;
            QVERIFY(dialled.received().contains("ATDT05551234;\r"));
            dialer.signal(SIGTERM);
            QCOMPARE(dialer.waitForExit(), 0);
            return;
        }
        QVERIFY2(dialer.waitForMessage(QStringLiteral("COM2 no está disponible"), 10000),
                 qPrintable(dialer.stderrText()));
        dialer.signal(SIGTERM);
        QCOMPARE(dialer.waitForExit(), 3);
        QVERIFY2(dialer.stderrText().contains(refusal), qPrintable(dialer.stderrText()));
        QCOMPARE(first.received(), QByteArray());
    }

    // A pool whose first bank fails the handshake goes on to the next: the
    // alert OpenSSL writes to a server that already closed must not kill it.
    void weakFirstBankThenTheGoodOne() {
        Scratch scratch;
        QVERIFY(QDir().mkpath(scratch.scratch(QStringLiteral("0"))));
        Modem first({}, scratch.scratch(QStringLiteral("0"))), second({}, scratch.scratch());
        Ser2net weak({first.device()}, scratch.scratch(QStringLiteral("0")),
                     Ser2netTls{QStringLiteral("key=%1/weak.key,cert=%1/weak.pem").arg(m_certs),
                                m_certs + "/auth"});
        Ser2net good({second.device()}, scratch.scratch(),
                     Ser2netTls{QStringLiteral("key=%1/server.key,cert=%1/server.pem").arg(m_certs),
                                m_certs + "/auth"});
        QVERIFY(weak.ready() && good.ready());
        QFile::copy(m_certs + "/ca.pem", scratch.config + "/ca.pem");
        scratch.writeModemProfile(weak.rfc2217Tls(0, "localhost") + ' ' +
                                      good.rfc2217Tls(0, "localhost"),
                                  {}, "[RED]\nCA=ca.pem\n");
        Dialer dialer(scratch.config, scratch.runtime);
        dialer.start({QStringLiteral("#5551234#")});
        QVERIFY2(dialer.waitForMessage(kDialled), qPrintable(dialer.stderrText()));
        QVERIFY(second.received().contains("ATDT05551234;\r"));
        dialer.signal(SIGTERM);
        QCOMPARE(dialer.waitForExit(), 0);
    }

    // OpenSSL writes with write(): a bank gone away must be the connection
    // lost (status 3), not SIGPIPE, whether the dial waits or its message is up.
    void bankGoneIsTheConnectionLost_data() {
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<bool>("messageUp");
        QTest::addColumn<int>("stopSignal");
        QTest::newRow("rfc2217+tls, ser2net stopped while waiting")
            << "rfc2217+tls" << false << int(SIGTERM);
        QTest::newRow("socket+tls, ser2net stopped while waiting")
            << "socket+tls" << false << int(SIGTERM);
        QTest::newRow("rfc2217+tls, connection cut (ser2net killed) while waiting")
            << "rfc2217+tls" << false << int(SIGKILL);
        QTest::newRow("rfc2217+tls, ser2net stopped with the message up")
            << "rfc2217+tls" << true << int(SIGTERM);
        QTest::newRow("socket+tls, connection cut with the message up")
            << "socket+tls" << true << int(SIGKILL);
    }
    void bankGoneIsTheConnectionLost() {
        QFETCH(QString, scheme);
        QFETCH(bool, messageUp);
        QFETCH(int, stopSignal);
        Scratch scratch;
        Modem modem(messageUp ? QStringList{} : QStringList{"--dial-silent"}, scratch.scratch());
        const QString keys = QStringLiteral("key=%1/server.key,cert=%1/server.pem").arg(m_certs);
        auto server = std::make_unique<Ser2net>(QStringList{modem.device()}, scratch.scratch(),
                                                Ser2netTls{keys, m_certs + "/auth"});
        QVERIFY(server->ready());
        QFile::copy(m_certs + "/ca.pem", scratch.config + "/ca.pem");
        scratch.writeModemProfile(scheme == "socket+tls" ? server->rawTls(0, "localhost")
                                                         : server->rfc2217Tls(0, "localhost"),
                                  {}, "[RED]\nCA=ca.pem\n");
        Dialer dialer(scratch.config, scratch.runtime);
        dialer.start({QStringLiteral("#5551234#")});
        if (messageUp)
            QVERIFY2(dialer.waitForMessage(kDialled), qPrintable(dialer.stderrText()));
        else
            QVERIFY(modem.waitReceived("ATDT05551234;\r"));
        server->stopWith(stopSignal);
        if (!messageUp)
            QVERIFY2(dialer.waitForMessage(QStringLiteral("Se perdió la conexión con el módem.")),
                     qPrintable(dialer.stderrText()));
        dialer.signal(SIGTERM);
        QCOMPARE(dialer.waitForExit(), 3);
    }
};

QTEST_MAIN(TestTlsEndToEnd)
#include "tst_tls_e2e.moc"
