// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// A dial under an address-space limit (ulimit -v) across the band where Qt
// starts but cannot start the threads its message needs (84 to 100 MiB on the
// machine this was written on; below it Qt cannot load its display plugin):
// whatever happens, a dial command that went out is followed by a hang-up,
// and a dial that never started says memory was short.
#include "fixture.h"

using namespace e2e;

namespace {

constexpr int kBandFromMiB = 72;
constexpr int kBandToMiB = 116;
constexpr int kStepMiB = 4;

} // namespace

class TestMemoryEndToEnd : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
#ifdef CV_SANITIZED
        QSKIP("a sanitizer's shadow memory does not fit under these limits");
#endif
        if (const auto missing = missingForEndToEnd())
            QSKIP(missing->constData());
    }

    void addressSpaceSweep_data() {
        QTest::addColumn<int>("mib");
        for (int mib = kBandFromMiB; mib <= kBandToMiB; mib += kStepMiB)
            QTest::addRow("ulimit -v %d MiB", mib) << mib;
    }
    void addressSpaceSweep() {
        QFETCH(int, mib);
        Scratch scratch;
        Modem modem({}, scratch.scratch());
        scratch.writeModemProfile(modem.device());
        Dialer run(scratch.config, scratch.runtime);
        run.setLimit(RLIMIT_AS, rlim_t(mib) << 20);
        run.start({QStringLiteral("#5551234#")});
        const int status = run.dismissAndWait();
        QVERIFY2(!run.running(), qPrintable(run.stderrText()));
        const QByteArray received = modem.received();
        const qsizetype dialled = received.indexOf("ATDT05551234;\r");
        qInfo("%d MiB: status %d, %s", mib, status, dialled < 0 ? "nothing dialled" : "dialled");
        if (dialled < 0) {
            if (status == 127)
                return; // the loader could not map a library: none of the program ran
            QCOMPARE(status, 2);
            QVERIFY2(run.stderrText().contains(QStringLiteral("no queda memoria")),
                     qPrintable(run.stderrText()));
            return;
        }
        // Sent once the modem has the line; a modem that hangs up answers OK to it.
        QVERIFY(modem.waitReceived("ATH\r", 2000) || received.indexOf("ATH\r", dialled) > 0);
        QVERIFY2(modem.received().indexOf("ATH\r", dialled) > dialled,
                 qPrintable(QStringLiteral("status %1: %2\nreceived: %3")
                                .arg(status)
                                .arg(run.stderrText(),
                                     QString::fromLatin1(received.toPercentEncoding()))));
        if (!run.stderrText().contains(QStringLiteral("Escriba el número")))
            QVERIFY2(status == 3, qPrintable(run.stderrText()));
    }
};

QTEST_MAIN(TestMemoryEndToEnd)
#include "tst_memory_e2e.moc"
