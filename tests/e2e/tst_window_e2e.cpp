// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// build/cvdialer as a process: start-up's refusals and the settings window
// driven from the keyboard, as an operator would.
#include "fixture.h"

using namespace e2e;

class TestWindowEndToEnd : public QObject {
    Q_OBJECT

    std::unique_ptr<Scratch> m_scratch;

    std::unique_ptr<Dialer> dialer() {
        return std::make_unique<Dialer>(m_scratch->config, m_scratch->runtime);
    }
    static bool waitForSettingsWindow() {
        return xdotool({"search", "--sync", "--onlyvisible", "--name", "Marcador telefónico"});
    }
    static void typeInto(const QString& text) {
        QVERIFY(xdotool({"key", "Tab", "ctrl+a", "BackSpace"}));
        QVERIFY(xdotool({"type", "--delay", "20", text}));
    }

private Q_SLOTS:
    void initTestCase() {
        if (!haveDisplay())
            QSKIP("needs an X display (scripts/test runs these under Xvfb)");
    }
    void init() { m_scratch = std::make_unique<Scratch>(); }

    void blankCommandLineIsRefused() {
        auto run = dialer();
        run->start({});
        QVERIFY(run->waitForMessage(QStringLiteral("Error de Linea de Comandos")));
        QCOMPARE(run->dismissAndWait(), 1);
        QCOMPARE(m_scratch->profile(), QByteArray("<none>"));
    }

    void requestWithoutHashIsAnUntrappedError() {
        m_scratch->writeProfile(QStringLiteral("[PARAMETROS]\nCOMM=2\nSETTINGS=9600,N,8,1\n"));
        auto run = dialer();
        run->start({QStringLiteral("5551234")});
        QVERIFY(run->waitForMessage(QStringLiteral(
            "Error 5 en tiempo de ejecución: Llamada a procedimiento o argumento no válido")));
        screenshot(QStringLiteral("CVDialer"), QStringLiteral("untrapped-error.png"));
        QCOMPARE(run->dismissAndWait(), 2);
    }

    // A profile locked read-only by an administrator: the operator is told and
    // may give up, and the window stays open with what was typed.
    void readOnlyProfileBringsTheErrorNotice() {
        const QByteArray original("[PARAMETROS]\nCOMM=4\n");
        m_scratch->writeProfile(QString::fromUtf8(original));
        QFile::setPermissions(m_scratch->profilePath(), QFile::ReadOwner | QFile::ReadGroup);
        auto run = dialer();
        run->start({QStringLiteral("/Config")});
        QVERIFY(waitForSettingsWindow());
        typeInto(QStringLiteral("9"));
        QVERIFY(xdotool({"key", "Return"}));
        QVERIFY(run->waitForMessage(QStringLiteral("Error 70: Permiso denegado")));
        screenshot(QStringLiteral("Aviso al Operador"), QStringLiteral("error-notice.png"));
        QVERIFY(xdotool({"key", "Escape"})); // "Anular": the window stays
        QTRY_VERIFY_WITH_TIMEOUT(
            !xdotool({"search", "--onlyvisible", "--name", "Aviso al Operador"}), 10000);
        // No window manager gives the focus back: give it to the window.
        QVERIFY(
            xdotool({"search", "--onlyvisible", "--name", "Marcador telefónico", "windowfocus"}));
        QVERIFY(xdotool({"key", "Escape"}));
        QCOMPARE(run->waitForExit(), 0);
        QCOMPARE(m_scratch->profile(), original);
    }

    void settingsTypedAndSavedWithEnter() {
        m_scratch->writeProfile(
            QStringLiteral("; puesto 3\n[PARAMETROS]\nCOMM=1\n[MODEM]\nESPERA=30\n"));
        auto run = dialer();
        run->start({QStringLiteral("/Config")});
        QVERIFY(waitForSettingsWindow());
        typeInto(QStringLiteral("9"));
        typeInto(QStringLiteral(" 3 "));
        typeInto(QStringLiteral("19200,E,7,1"));
        screenshot(QStringLiteral("Marcador telefónico"), QStringLiteral("settings-window.png"));
        QVERIFY(xdotool({"key", "Return"}));
        QCOMPARE(run->waitForExit(), 0);
        QCOMPARE(m_scratch->profile(),
                 QByteArray("; puesto 3\n[PARAMETROS]\nCOMM=3\nANTEPONER=9\nSETTINGS=19200,E,7,1\n"
                            "[MODEM]\nESPERA=30\n"));
    }

    void escapeLeavesTheProfileUntouched() {
        const QString original = QStringLiteral("[PARAMETROS]\r\nCOMM=4\r\n");
        m_scratch->writeProfile(original);
        auto run = dialer();
        run->start({QStringLiteral("/config")});
        QVERIFY(waitForSettingsWindow());
        typeInto(QStringLiteral("777"));
        QVERIFY(xdotool({"key", "Escape"}));
        QCOMPARE(run->waitForExit(), 0);
        QCOMPARE(m_scratch->profile(), original.toUtf8());
    }

    void missingProfileOpensTheWindowOnADialRequest() {
        auto run = dialer();
        run->start({QStringLiteral("#5551234#")});
        QVERIFY(waitForSettingsWindow());
        QVERIFY(xdotool({"key", "Return"})); // focus is on "Salir"
        QCOMPARE(run->waitForExit(), 0);
        QCOMPARE(m_scratch->profile(), QByteArray("<none>"));
    }
};

QTEST_GUILESS_MAIN(TestWindowEndToEnd)
#include "tst_window_e2e.moc"
