// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// build/cvdialer as a process: start-up's refusals and the settings window
// driven from the keyboard, as an operator would.
#include "fixture.h"

#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <unistd.h>
#include <xcb/xcb.h>

using namespace e2e;

namespace {

// What a window manager's close button does: it asks the window to close
// itself (WM_DELETE_WINDOW). Xvfb runs no window manager, so the test asks.
bool sendCloseRequest(xcb_window_t window) {
    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    const auto disconnect = qScopeGuard([x] { xcb_disconnect(x); });
    if (xcb_connection_has_error(x))
        return false;
    const auto atom = [x](const char* name) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            x, xcb_intern_atom(x, 0, uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t found = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return found;
    };
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(x, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    return xcb_flush(x) > 0;
}

} // namespace

class TestWindowEndToEnd : public QObject {
    Q_OBJECT

    std::unique_ptr<Scratch> m_scratch;

    std::unique_ptr<Dialer> dialer() {
        return std::make_unique<Dialer>(m_scratch->config, m_scratch->runtime);
    }
    std::unique_ptr<Dialer> withoutDisplay() {
        auto run = dialer();
        run->setEnvironment(QStringLiteral("DISPLAY"), QString());
        run->setEnvironment(QStringLiteral("WAYLAND_DISPLAY"), QString());
        return run;
    }
    // The window of this run: a window the last run left may still be on the
    // screen for a moment after that run ended. Its id; empty when none came.
    static QString waitForSettingsWindow(const Dialer& run) {
        return waitForVisibleWindow(
            {"--all", "--pid", QString::number(run.pid()), "--name", "Marcador telefónico"});
    }
    // As an operator clicks the close button again when nothing happens: a
    // request that comes while the window is still being set up can be lost.
    static int closeUntilExit(Dialer& run, const QString& window) {
        int status = -1;
        for (QDeadlineTimer deadline(20000); status == -1 && !deadline.hasExpired();) {
            if (!sendCloseRequest(window.toUInt()))
                return -2;
            status = run.waitForExit(150);
        }
        return status;
    }
    static void typeInto(const QString& text) {
        QVERIFY(xdotool({"key", "Tab", "ctrl+a", "BackSpace"}));
        QVERIFY(xdotool({"type", "--delay", "20", text}));
    }

private Q_SLOTS:
    void initTestCase() {
        if (const auto missing = missingForEndToEnd())
            QSKIP(missing->constData());
    }
    void init() { m_scratch = std::make_unique<Scratch>(); }

    // Nothing said but one Spanish line, on any platform Qt cannot open.
    void noDisplayIsOneLineAndStatusTwo_data() {
        QTest::addColumn<QString>("platform");
        QTest::newRow("Qt's choice") << QString();
        QTest::newRow("xcb") << "xcb";
        QTest::newRow("wayland") << "wayland";
    }
    void noDisplayIsOneLineAndStatusTwo() {
        QFETCH(QString, platform);
        m_scratch->writeProfile(QStringLiteral("[PARAMETROS]\nCOMM=2\nSETTINGS=9600,N,8,1\n"));
        auto run = withoutDisplay();
        run->setEnvironment(QStringLiteral("QT_QPA_PLATFORM"), platform);
        run->start({QStringLiteral("#5551234#")});
        QCOMPARE(run->waitForExit(), 2);
        const QStringList lines = run->stderrText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().startsWith(QLatin1String("cvdialer: aviso: no hay pantalla")),
                 qPrintable(lines.first()));
    }

    // Exactly these requests, answered with no display, and the profile's path
    // found even without HOME, from the password database.
    void helpAndVersionNeedNoDisplay_data() {
        QTest::addColumn<QString>("request");
        QTest::addColumn<QStringList>("printed");
        const passwd* user = ::getpwuid(::getuid());
        QVERIFY(user);
        QTest::newRow("--help") << "--help"
                                << QStringList{"Uso: cvdialer '#NÚMERO#'", "cvdialer /Config",
                                               QStringLiteral("Perfil: %1/.config/CVDIALER.INI\n")
                                                   .arg(QFile::decodeName(user->pw_dir)),
                                               "man cvdialer"};
        QTest::newRow("--version") << "--version" << QStringList{"cvdialer " CV_VERSION "\n"};
    }
    void helpAndVersionNeedNoDisplay() {
        QFETCH(QString, request);
        QFETCH(QStringList, printed);
        auto run = withoutDisplay();
        run->setEnvironment(QStringLiteral("HOME"), QString());
        run->setEnvironment(QStringLiteral("XDG_CONFIG_HOME"), QString());
        run->start({request});
        QCOMPARE(run->waitForExit(), 0);
        const QString out = run->stdoutText();
        for (const QString& text : printed)
            QVERIFY2(out.contains(text), qPrintable(out));
        QCOMPARE(run->stderrText(), QString());
    }

    void helpWithMoreIsAnOrdinaryRequest() {
        auto run = dialer();
        run->start({QStringLiteral("--help"), QStringLiteral("#5551234#")});
        QVERIFY(!waitForSettingsWindow(*run).isEmpty()); // no profile: the settings are missing
        QVERIFY(xdotool({"key", "Escape"}));
        QCOMPARE(run->waitForExit(), 7);
        QCOMPARE(run->stdoutText(), QString());
    }

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
        const QString window = waitForSettingsWindow(*run);
        QVERIFY(!window.isEmpty());
        typeInto(QStringLiteral("9"));
        QVERIFY(xdotool({"key", "Return"}));
        QVERIFY(run->waitForMessage(QStringLiteral("Error 70: Permiso denegado")));
        screenshot(QStringLiteral("Aviso al Operador"), QStringLiteral("error-notice.png"));
        QVERIFY(xdotool({"key", "Escape"})); // "Anular": the window stays
        QTRY_VERIFY_WITH_TIMEOUT(
            !xdotool({"search", "--onlyvisible", "--name", "Aviso al Operador"}), 10000);
        // No window manager gives the focus back: give it to the window.
        QVERIFY(xdotool({"windowfocus", window}));
        QVERIFY(xdotool({"key", "Escape"}));
        QCOMPARE(run->waitForExit(), 0);
        QCOMPARE(m_scratch->profile(), original);
    }

    void settingsTypedAndSavedWithEnter() {
        m_scratch->writeProfile(
            QStringLiteral("; puesto 3\n[PARAMETROS]\nCOMM=1\n[MODEM]\nESPERA=30\n"));
        auto run = dialer();
        run->start({QStringLiteral("/Config")});
        QVERIFY(!waitForSettingsWindow(*run).isEmpty());
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
        QVERIFY(!waitForSettingsWindow(*run).isEmpty());
        typeInto(QStringLiteral("777"));
        QVERIFY(xdotool({"key", "Escape"}));
        QCOMPARE(run->waitForExit(), 0);
        QCOMPARE(m_scratch->profile(), original.toUtf8());
    }

    // An X11 window manager shows the icon the window itself carries.
    void windowCarriesItsIcon() {
        auto run = dialer();
        run->start({QStringLiteral("/Config")});
        const QString window = waitForSettingsWindow(*run);
        QVERIFY(!window.isEmpty());
        QProcess xprop;
        xprop.start(QStringLiteral("xprop"), {"-id", window, "_NET_WM_ICON"});
        QVERIFY(xprop.waitForFinished(10000));
        const QString icon = QString::fromUtf8(xprop.readAllStandardOutput());
        QVERIFY2(icon.startsWith(QLatin1String("_NET_WM_ICON(CARDINAL) = ")), qPrintable(icon));
        QVERIFY(xdotool({"key", "Escape"}));
        QCOMPARE(run->waitForExit(), 0);
    }

    // Nothing was dialled, and the application that asked must be able to tell.
    void dialRequestLeftInTheWindowEndsWithSeven_data() {
        QTest::addColumn<QString>("request");
        QTest::addColumn<QStringList>("wayOut");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("saved");
        const QByteArray none("<none>");
        QTest::newRow("Aceptar") << "#5551234#" << QStringList{"key", "Tab", "Return"} << 7
                                 << QByteArray("[PARAMETROS]\nANTEPONER=\nCOMM=2\n"
                                               "SETTINGS=9600,N,8,1\n");
        QTest::newRow("Salir") << "#5551234#" << QStringList{"key", "Return"} << 7 << none;
        QTest::newRow("Esc") << "#5551234#" << QStringList{"key", "Escape"} << 7 << none;
        QTest::newRow("close button") << "#5551234#" << QStringList() << 7 << none;
        QTest::newRow("close button, /Config") << "/Config" << QStringList() << 0 << none;
        // A polite kill closes it as the close button does.
        QTest::newRow("SIGTERM, /Config") << "/Config" << QStringList{"signal", "15"} << 0 << none;
        QTest::newRow("SIGHUP") << "#5551234#" << QStringList{"signal", "1"} << 7 << none;
    }
    void dialRequestLeftInTheWindowEndsWithSeven() {
        QFETCH(QString, request);
        QFETCH(QStringList, wayOut);
        QFETCH(int, status);
        QFETCH(QByteArray, saved);
        auto run = dialer();
        run->start({request});
        const QString window = waitForSettingsWindow(*run);
        QVERIFY(!window.isEmpty());
        if (wayOut.isEmpty())
            QCOMPARE(closeUntilExit(*run, window), status);
        else if (wayOut.first() == QLatin1String("signal"))
            run->signal(wayOut.last().toInt());
        else
            QVERIFY(xdotool(wayOut));
        QCOMPARE(run->waitForExit(), status);
        QCOMPARE(m_scratch->profile(), saved);
    }

    // The operator is told which field and its form, the file stays as it was,
    // and the field comes back selected: what is typed next replaces it.
    void unusableValueIsRefusedAndTypedAgain() {
        const QString original =
            QStringLiteral("[PARAMETROS]\r\nANTEPONER=0\r\nCOMM=2\r\nSETTINGS=9600,N,8,1\r\n");
        m_scratch->writeProfile(original);
        auto run = dialer();
        run->start({QStringLiteral("/Config")});
        const QString window = waitForSettingsWindow(*run);
        QVERIFY(!window.isEmpty());
        QVERIFY(xdotool({"key", "Tab", "Tab"}));
        typeInto(QStringLiteral("9600,X,8,1"));
        QVERIFY(xdotool({"key", "Return"}));
        QVERIFY(run->waitForMessage(
            QStringLiteral("El valor de \"Settings\" no sirve para marcar: \"9600,X,8,1\".")));
        screenshot(QStringLiteral("CVDialer"), QStringLiteral("settings-refused.png"));
        QCOMPARE(m_scratch->profile(), original.toUtf8());
        QVERIFY(xdotool({"key", "Return"}));
        QTRY_VERIFY_WITH_TIMEOUT(!xdotool({"search", "--onlyvisible", "--name", "^CVDialer"}),
                                 10000);
        // No window manager gives the focus back: give it to the window.
        QVERIFY(xdotool({"windowfocus", window}));
        QVERIFY(xdotool({"type", "--delay", "20", "19200,E,7,1"}));
        QVERIFY(xdotool({"key", "Return"}));
        QCOMPARE(run->waitForExit(), 0);
        QCOMPARE(m_scratch->profile(),
                 QByteArray("[PARAMETROS]\r\nANTEPONER=0\r\nCOMM=2\r\nSETTINGS=19200,E,7,1\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestWindowEndToEnd)
#include "tst_window_e2e.moc"
