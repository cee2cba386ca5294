// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// Which way start-up goes for each request, and what it hands to the dial.
#include "dialersettings.h"
#include "fieldfinder.h"
#include "frmdialer.h"
#include "inifile.h"
#include "linkturn.h"
#include "processwide.h"
#include "startup.h"
#include "support/errorof.h"
#include "support/fakeplatform.h"
#include "support/profilehome.h"
#include "utilities.h"

#include <memory>
#include <QtTest>
#include <sys/file.h>

class TestStartup : public QObject {
    Q_OBJECT

    std::unique_ptr<ProfileHome> m_home;
    std::unique_ptr<FakePlatform> m_fake;

    void writeProfile(const QByteArray& text) { QVERIFY(m_home->write(text)); }
    // Runs start-up; returns the exit status, or -1 when it returned.
    int run(const QString& request) {
        Platform::setCommand(request);
        try {
            ModDialer::Main();
        } catch (const Platform::ProcessEnded& ended) {
            return ended.status;
        }
        return -1;
    }
    bool windowShown() const { return FrmDIALER::exists() && FrmDIALER::instance().isVisible(); }
    bool dialled() const { return m_fake->actions().contains(QStringLiteral("open")); }

private Q_SLOTS:
    void init() {
        m_home = std::make_unique<ProfileHome>();
        qputenv("XDG_RUNTIME_DIR", m_home->scratch().toUtf8());
        m_fake = std::make_unique<FakePlatform>();
        m_fake->serial.replies = [](const QString&) {
            return QStringList{"\r\nOK\r\n"};
        };
        ModDialer::DialerSettings = {};
        // Each test starts as a fresh process would, whatever ran before it.
        ProcessWide<IniFile>::discard();
        ProcessWide<Utilities>::discard();
        ProcessWide<FieldFinder>::discard();
        FrmDIALER::discardInstance();
    }
    void cleanup() {
        ModDialer::releaseLinkTurn(); // a run that ended early still holds it
        FrmDIALER::discardInstance();
        m_fake.reset();
    }

    void blankRequestIsRejectedBeforeAnythingElse_data() {
        QTest::addColumn<QString>("request");
        QTest::newRow("empty") << "";
        QTest::newRow("spaces") << "    ";
    }
    void blankRequestIsRejectedBeforeAnythingElse() {
        QFETCH(QString, request);
        writeProfile("[PARAMETROS]\nCOMM=2\nSETTINGS=9600,N,8,1\n");
        QCOMPARE(run(request), 1);
        QCOMPARE(
            m_fake->actions(),
            (QStringList{"msgbox Error de Linea de Comandos|16|Aviso al Operador!!!", "end 1"}));
        QVERIFY(!ProcessWide<Utilities>::exists());
        QVERIFY(!ProcessWide<IniFile>::exists());
        QVERIFY(!ProcessWide<FieldFinder>::exists());
        QVERIFY(!FrmDIALER::exists());
        QCOMPARE(ModDialer::DialerSettings.Comm, QString());
    }

    void configSwitchOpensTheWindowWithoutDialling_data() {
        QTest::addColumn<QString>("request");
        QTest::addColumn<bool>("window");
        QTest::newRow("small letters") << "/config" << true;
        QTest::newRow("capitals with a number") << "/CONFIG #5551234#" << true;
        QTest::newRow("mixed, leading spaces") << "   /cOnFiG" << true;
        QTest::newRow("glued to a number") << "/Config#5551234#" << true;
        QTest::newRow("inside the first word") << "x/configx" << true;
        QTest::newRow("not the first word") << "#5551234# /config" << false;
    }
    void configSwitchOpensTheWindowWithoutDialling() {
        QFETCH(QString, request);
        QFETCH(bool, window);
        writeProfile("[PARAMETROS]\nCOMM=2\nSETTINGS=9600,N,8,1\n");
        const int status = run(request);
        QCOMPARE(windowShown(), window);
        QCOMPARE(dialled(), !window);
        QCOMPARE(status, window ? -1 : 0);
    }

    void incompleteSerialSettingsOpenTheWindow_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("window");
        QTest::newRow("no file") << QByteArray() << true;
        QTest::newRow("no COMM") << QByteArray("[PARAMETROS]\nSETTINGS=9600,N,8,1\n") << true;
        QTest::newRow("COMM of spaces")
            << QByteArray("[PARAMETROS]\nCOMM=\"   \"\nSETTINGS=9600,N,8,1\n") << true;
        QTest::newRow("SETTINGS empty") << QByteArray("[PARAMETROS]\nCOMM=2\nSETTINGS=\n") << true;
        QTest::newRow("SETTINGS of spaces dials")
            << QByteArray("[PARAMETROS]\nCOMM=2\nSETTINGS=\"  \"\n") << false;
        QTest::newRow("no ANTEPONER dials")
            << QByteArray("[PARAMETROS]\nCOMM=2\nSETTINGS=9600,N,8,1\n") << false;
    }
    void incompleteSerialSettingsOpenTheWindow() {
        QFETCH(QByteArray, file);
        QFETCH(bool, window);
        if (!file.isEmpty())
            writeProfile(file);
        run(QStringLiteral("#5551234#"));
        QCOMPARE(windowShown(), window);
        QCOMPARE(dialled(), !window);
    }

    void numberWithPrefixIsHandedToTheDial() {
        writeProfile("[PARAMETROS]\nANTEPONER=0,\nCOMM=2\nSETTINGS=9600,N,8,1\n");
        QCOMPARE(run(QStringLiteral("cliente 17 #555 1234#")), 0);
        QVERIFY(m_fake->actions().contains(QStringLiteral("out ATDT0,555 1234;\\r")));
        QVERIFY(!FrmDIALER::exists()); // the fake line stands in for the window's
    }

    void telLinkDialsWithTheAccessCodeAndPrefix_data() {
        QTest::addColumn<QString>("request");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("sent");
        QTest::newRow("international") << "tel:+1-555-0100"
                                       << "011"
                                       << "out ATDT901115550100;\\r";
        // Only digits may stand for "+": a ";" would end the dial command early.
        QTest::newRow("code that is not digits") << "tel:+1-555-0100"
                                                 << "0;1"
                                                 << "out ATDT90015550100;\\r";
    }
    void telLinkDialsWithTheAccessCodeAndPrefix() {
        QFETCH(QString, request);
        QFETCH(QString, code);
        QFETCH(QString, sent);
        writeProfile(("[PARAMETROS]\nANTEPONER=9\nCOMM=2\nSETTINGS=9600,N,8,1\n"
                      "[MODEM]\nINTERNACIONAL=" +
                      code + "\n")
                         .toUtf8());
        QCOMPARE(run(request), 0);
        QVERIFY2(m_fake->actions().contains(sent), qPrintable(m_fake->actions().join(" / ")));
        // A link asks first, showing what goes out; a "#" request never asks.
        const QString dialled = sent.mid(8).chopped(3);
        const qsizetype asked = m_fake->actions().indexOf(
            QStringLiteral("question Un enlace pide llamar al %1. ¿Marcar este número?|Marcar")
                .arg(dialled));
        QVERIFY(asked >= 0);
        QVERIFY(asked < m_fake->actions().indexOf(QStringLiteral("open")));
    }

    // A link is judged whole before the switch and the profile: a "#" in it
    // is the page's fragment, "/Config" in it no switch.
    void linksAreJudgedBeforeTheSwitchAndTheProfile_data() {
        QTest::addColumn<QString>("request");
        QTest::newRow("fragment") << "tel:+34911234567#*21*0900123456#";
        QTest::newRow("a # request after a link") << "tel:+1 #5551234#";
        QTest::newRow("switch") << "tel:/Config";
        QTest::newRow("switch after parameters") << "tel:555;/Config";
    }
    void linksAreJudgedBeforeTheSwitchAndTheProfile() {
        QFETCH(QString, request);
        writeProfile("[PARAMETROS]\nANTEPONER=0\nCOMM=2\nSETTINGS=9600,N,8,1\n");
        const int error = errorOf([&] { run(request); });
        QVERIFY(!windowShown());
        QVERIFY(ModDialer::isDialRequest(request));        // the cancel signals stay
        if (request.endsWith(QLatin1String(";/Config"))) { // a valid link: asked
            QCOMPARE(error, 0);
            QVERIFY(m_fake->actions().contains(QStringLiteral("out ATDT0555;\\r")));
            return;
        }
        QCOMPARE(error, int(InvalidProcedureCall));
        QVERIFY(!ProcessWide<IniFile>::exists());
        QVERIFY(m_fake->actions().isEmpty());
    }

    // While another run's link question is up a link ends at once, asking
    // nothing; the turn is given back once a question has its answer.
    void oneLinkQuestionAtATime() {
        writeProfile("[PARAMETROS]\nCOMM=2\nSETTINGS=9600,N,8,1\n");
        QFile other(m_home->scratch(QStringLiteral("cvdialer-enlace.lock")));
        QVERIFY(other.open(QIODevice::ReadWrite));
        QCOMPARE(::flock(other.handle(), LOCK_EX | LOCK_NB), 0);
        QCOMPARE(run(QStringLiteral("tel:5551234")), 6);
        QCOMPARE(m_fake->actions(), QStringList{"end 6"});
        QCOMPARE(::flock(other.handle(), LOCK_UN), 0);
        m_fake->answers = {Platform::vbAbort}; // anything but vbOK answers "Cancelar"
        QCOMPARE(run(QStringLiteral("tel:5551234")), 6);
        m_fake->log.clear();
        QCOMPARE(run(QStringLiteral("tel:5551234")), 0);
        QVERIFY(m_fake->actions().contains(QStringLiteral("out ATDT5551234;\\r")));
        QCOMPARE(::flock(other.handle(), LOCK_EX | LOCK_NB), 0);
    }

    void refusedNumbersSendNothing_data() {
        QTest::addColumn<QString>("request");
        QTest::addColumn<int>("error");
        QTest::newRow("no #") << "5551234" << int(InvalidProcedureCall);
        QTest::newRow("# last") << "5551234#" << int(InvalidProcedureCall);
        QTest::newRow("carriage return") << "#555\rATH#" << int(InvalidProcedureCall);
    }
    void refusedNumbersSendNothing() {
        QFETCH(QString, request);
        QFETCH(int, error);
        writeProfile("[PARAMETROS]\nCOMM=2\nSETTINGS=9600,N,8,1\n");
        QCOMPARE(errorOf([&] { run(request); }), error);
        QVERIFY(m_fake->actions().isEmpty());
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
