// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// tel: links as a web page fires them, against build/fakemodem, answered with
// real X input: what a link may dial, when its question may be answered, how
// many questions are up, and that the request's text is never markup.
#include "fixture.h"

#include <QElapsedTimer>
#include <QSize>

using namespace e2e;

namespace {
const QString kLinkQuestion = QStringLiteral("Un enlace pide llamar al %1. ¿Marcar este número?");
const QString kError5 = QStringLiteral("Error 5 en tiempo de ejecución: ");
const QString kTurnedAway = QStringLiteral("otro enlace espera respuesta");

QString xdotoolOutput(const QStringList& arguments) {
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    if (!tool.waitForFinished(10000))
        tool.kill();
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

// The dialer's visible windows (all are titled "CVDialer").
QStringList visibleWindows() {
    return xdotoolOutput({"search", "--onlyvisible", "--name", "^CVDialer$"})
        .split(u'\n', Qt::SkipEmptyParts);
}

// Waits until a window of the run is on the screen; its id.
QString waitForWindow(const Dialer& run) {
    return waitForVisibleWindow({"--pid", QString::number(run.pid()), "--name", "^CVDialer$"});
}

QSize windowSize(const QString& window) {
    const QString shell = xdotoolOutput({"getwindowgeometry", "--shell", window});
    const auto value = [&](const QString& name) {
        return shell.section(name + u'=', 1).section(u'\n', 0, 0).toInt();
    };
    return {value(QStringLiteral("WIDTH")), value(QStringLiteral("HEIGHT"))};
}

// The size the window keeps once laid out: the same in two readings 200 ms
// apart, within 5 s.
QSize settledSize(const QString& window) {
    QSize last = windowSize(window);
    for (QDeadlineTimer deadline(5000); !deadline.hasExpired();) {
        QTest::qWait(200);
        const QSize now = windowSize(window);
        if (now == last)
            return now;
        last = now;
    }
    return {};
}

// The question as the operator meets it: a key, Return held down for 1.6 s
// (it repeats), or a click on "Marcar" (left of "Cancelar" at the bottom right).
void answer(const QString& window, const QString& how) {
    if (how == QLatin1String("hold")) {
        QVERIFY(xdotool({"keydown", "Return"}));
        QTest::qWait(1600);
        QVERIFY(xdotool({"keyup", "Return"}));
        return;
    }
    if (how != QLatin1String("click")) {
        QVERIFY(xdotool({QStringLiteral("key"), how}));
        return;
    }
    const QSize size = windowSize(window);
    QVERIFY(xdotool({"mousemove", "--window", window, QString::number(size.width() - 129),
                     QString::number(size.height() - 22), "click", "1"}));
}
} // namespace

class TestLinkEndToEnd : public QObject {
    Q_OBJECT

    std::unique_ptr<Scratch> m_scratch;
    std::unique_ptr<Modem> m_modem;

    std::unique_ptr<Dialer> dialer() {
        return std::make_unique<Dialer>(m_scratch->config, m_scratch->runtime);
    }
    void startModem(const QStringList& options = {}) {
        m_modem = std::make_unique<Modem>(options, m_scratch->scratch());
        QVERIFY(!m_modem->device().isEmpty());
        m_scratch->writeModemProfile(m_modem->device());
    }
    // The desktop's tel: handler is the dialer, behind a wrapper that keeps
    // its PID and exit status in the scratch folder; xdg-open sees this
    // desktop only.
    QString registerHandler(Dialer& run) {
        const QString data = m_scratch->scratch(QStringLiteral("data"));
        const QString status = m_scratch->scratch(QStringLiteral("status"));
        const QString wrapper = m_scratch->scratch(QStringLiteral("cvdialer-handler"));
        QDir().mkpath(data + QStringLiteral("/applications"));
        QFile script(wrapper);
        if (!script.open(QIODevice::WriteOnly))
            return {};
        script.write(QStringLiteral("#!/bin/sh\n\"%1\" \"$@\" &\necho $! >\"%2.pid\"\n"
                                    "wait $!\necho $? >\"%2\"\n")
                         .arg(buildPath(QStringLiteral("cvdialer")), status)
                         .toUtf8());
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile entry(data + QStringLiteral("/applications/cvdialer.desktop"));
        QFile defaults(m_scratch->config + QStringLiteral("/mimeapps.list"));
        if (!entry.open(QIODevice::WriteOnly) || !defaults.open(QIODevice::WriteOnly))
            return {};
        entry.write(QStringLiteral("[Desktop Entry]\nType=Application\nName=CVDialer\n"
                                   "Exec=%1 %u\nMimeType=x-scheme-handler/tel;\nNoDisplay=true\n")
                        .arg(wrapper)
                        .toUtf8());
        defaults.write("[Default Applications]\nx-scheme-handler/tel=cvdialer.desktop\n");
        run.setEnvironment(QStringLiteral("XDG_DATA_HOME"), data);
        run.setEnvironment(QStringLiteral("XDG_DATA_DIRS"), m_scratch->scratch("none"));
        run.setEnvironment(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("X-Generic"));
        run.setEnvironment(QStringLiteral("BROWSER"), QStringLiteral("false"));
        return status;
    }

private Q_SLOTS:
    void initTestCase() {
        if (const auto missing = missingForEndToEnd({"xdotool", "xdg-open"}))
            QSKIP(missing->constData());
    }
    void init() { m_scratch = std::make_unique<Scratch>(); }
    void cleanup() {
        // A handler xdg-open started outlives it when a test fails; until
        // its status is written, its PID is still its own.
        QFile handler(m_scratch->scratch(QStringLiteral("status.pid")));
        const int pid = handler.open(QIODevice::ReadOnly) ? handler.readAll().trimmed().toInt() : 0;
        if (pid > 0 && !QFile::exists(m_scratch->scratch(QStringLiteral("status"))))
            ::kill(pid_t(pid), SIGKILL);
        m_modem.reset();
    }

    // Whatever follows a "#" in a link is the page's fragment: the whole link
    // is refused, before the switch and the profile, asking nothing.
    void linkWithAHashIsRefused_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("desktop"); // through xdg-open, as a browser runs it
        QTest::newRow("call forwarding") << QStringList{"tel:+34911234567#*21*0900123456#"} << true;
        QTest::newRow("hook flash") << QStringList{"tel:#,,,!W@5551234#"} << true;
        QTest::newRow("a # request after") << QStringList{"tel:+1", "#5551234#"} << false;
        QTest::newRow("the switch") << QStringList{"tel:/Config"} << false;
    }
    void linkWithAHashIsRefused() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, desktop);
        startModem();
        auto run = dialer();
        const QString status = desktop ? registerHandler(*run) : QString();
        if (desktop)
            run->start(arguments, QStringLiteral("xdg-open"));
        else
            run->start(arguments);
        QVERIFY2(run->waitForMessage(kError5), qPrintable(run->stderrText()));
        const int exit = run->dismissAndWait();
        QFile kept(status);
        QCOMPARE(
            desktop && kept.open(QIODevice::ReadOnly) ? kept.readAll().trimmed().toInt() : exit, 2);
        QVERIFY(!run->stderrText().contains(kLinkQuestion.section(u' ', 0, 2)));
        QCOMPARE(m_modem->received(), QByteArray());
        QVERIFY(visibleWindows().isEmpty()); // no settings window either
    }

    // Keys and clicks meant for another window, 0.1 to 0.4 s after the
    // question shows, do not dial; the same after its second does.
    void earlyAnswersDoNotDial_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("after");
        QTest::newRow("Return at 0.1 s") << "Return" << 100;
        QTest::newRow("Space at 0.25 s") << "space" << 250;
        QTest::newRow("click at 0.4 s") << "click" << 400;
        QTest::newRow("Return at 0.4 s") << "Return" << 400;
        QTest::newRow("Return held from 0.1 s") << "hold" << 100;
    }
    void earlyAnswersDoNotDial() {
        QFETCH(QString, how);
        QFETCH(int, after);
        startModem();
        auto run = dialer();
        run->start({QStringLiteral("tel:555-1234")});
        const QString window = waitForWindow(*run);
        QVERIFY(!window.isEmpty());
        QTest::qWait(after); // the operator's key, already on its way
        answer(window, how);
        QVERIFY2(!m_modem->waitReceived("ATDT", 1500), "an early answer dialled");
        QVERIFY(run->running());
        // Pressed again only while nothing went out: a loaded machine may
        // activate the question late, and its second counts from then.
        // Once armed, a key held down is an operator's plain Return.
        const QString again = how == QLatin1String("hold") ? QStringLiteral("Return") : how;
        for (int tries = 0; tries < 3 && !m_modem->received().contains("ATDT"); ++tries) {
            answer(window, again);
            m_modem->waitReceived("ATDT", 1500);
        }
        QVERIFY2(run->waitForMessage(kDialled), qPrintable(run->stderrText()));
        QCOMPARE(run->dismissAndWait(), 0);
        QCOMPARE(m_modem->received(), QByteArray("ATH\rATDT05551234;\rATH\r"));
    }

    // The operator turns to another window and back: the second starts
    // again, so a Return soon after coming back does not dial.
    void regainingTheFocusStartsTheSecondAgain() {
        startModem();
        auto other = dialer();
        other->start({QStringLiteral("/Config")});
        const QString otherWindow =
            waitForVisibleWindow({"--pid", QString::number(other->pid()), "--name", "^Marcador"});
        QVERIFY(!otherWindow.isEmpty());
        auto run = dialer();
        run->start({QStringLiteral("tel:5551234")});
        const QString window = waitForWindow(*run);
        QVERIFY(!window.isEmpty());
        QTest::qWait(500);
        QVERIFY(xdotool({"windowfocus", "--sync", otherWindow}));
        QTest::qWait(700);
        QVERIFY(xdotool({"windowfocus", "--sync", window}));
        QTest::qWait(400); // 1.6 s after showing, 0.4 s after coming back
        answer(window, QStringLiteral("Return"));
        QVERIFY2(!m_modem->waitReceived("ATDT", 800), "a Return soon after coming back dialled");
        QCOMPARE(run->dismissAndWait(QStringLiteral("Escape")), 6);
        QCOMPARE(m_modem->received(), QByteArray());
    }

    // Esc answers at once, while "Marcar" still waits for its second.
    void escapeAtOnceCancels() {
        startModem();
        auto run = dialer();
        run->start({QStringLiteral("tel:5551234")});
        QVERIFY(!waitForWindow(*run).isEmpty());
        QElapsedTimer shown;
        shown.start();
        QCOMPARE(run->dismissAndWait(QStringLiteral("Escape")), 6);
        QVERIFY2(shown.elapsed() < 1000, qPrintable(QString::number(shown.elapsed())));
        QCOMPARE(m_modem->received(), QByteArray());
    }

    // Five links at once, as a page fires them: one question, four runs that
    // end at once with status 6 having shown nothing.
    void fiveLinksAtOnceAskOnce() {
        startModem();
        std::vector<std::unique_ptr<Dialer>> runs;
        for (int i = 0; i < 5; ++i) {
            runs.push_back(dialer()); // one user: one runtime folder
            runs.back()->start({QStringLiteral("tel:555000%1").arg(i)});
        }
        Dialer* asking = nullptr;
        int turnedAway = 0;
        for (const auto& run : runs) {
            const QString said = run->waitForAnyMessage({kLinkQuestion.section(u' ', 0, 2)});
            if (!said.isEmpty()) {
                QVERIFY2(!asking, "two questions");
                asking = run.get();
                continue;
            }
            QCOMPARE(run->waitForExit(), 6);
            QVERIFY2(run->stderrText().contains(kTurnedAway), qPrintable(run->stderrText()));
            ++turnedAway;
        }
        QCOMPARE(turnedAway, 4);
        QVERIFY(asking);
        QVERIFY(!waitForWindow(*asking).isEmpty());
        QCOMPARE(visibleWindows().size(), 1);
        QCOMPARE(asking->dismissAndWait(QStringLiteral("Escape")), 6);
        QCOMPARE(m_modem->received(), QByteArray());
    }

    // Markup in the request is shown as typed: the window is as tall as for
    // the same text without markup (a heading would make it much taller). The
    // plain text puts "=" where the markup has "<" and ">", glyphs of the same
    // width, so both wrap alike in a box of any width.
    void markupIsShownAsItIs_data() {
        QTest::addColumn<QString>("markup");
        QTest::addColumn<QString>("plain");
        QTest::addColumn<int>("status");
        QTest::newRow("dialling window") << "#<h1>112</h1>#"
                                         << "#=h1=112=/h1=#" << 6;
        QTest::newRow("error box") << "tel:5%zz<h1>112</h1>"
                                   << "tel:5%zz=h1=112=/h1=" << 2;
    }
    void markupIsShownAsItIs() {
        QFETCH(QString, markup);
        QFETCH(QString, plain);
        QFETCH(int, status);
        QList<int> heights;
        for (const QString& request : {markup, plain}) {
            startModem({QStringLiteral("--delay"), QStringLiteral("30000")});
            auto run = dialer();
            run->start({request});
            const QString window = waitForWindow(*run);
            QVERIFY(!window.isEmpty());
            heights.append(settledSize(window).height());
            if (status == 6) {
                run->terminate(); // ends the dial, hanging up
                QCOMPARE(run->waitForExit(), 6);
            } else {
                QCOMPARE(run->dismissAndWait(), status);
            }
        }
        QVERIFY(heights.first() > 0);
        QCOMPARE(heights.first(), heights.last());
    }
};

QTEST_GUILESS_MAIN(TestLinkEndToEnd)
#include "tst_link_e2e.moc"
