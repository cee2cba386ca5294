// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The command-line token, the error notice and the field lookup.
#include "fieldfinder.h"
#include "platform.h"
#include "runtimeerror.h"
#include "utilities.h"

#include <QtTest>

class TestUtilities : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void token_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("token");
        QTest::newRow("one word") << "/Config"
                                  << "/Config";
        QTest::newRow("leading spaces") << "   /config  #1#"
                                        << "/config";
        QTest::newRow("number first") << "#1# /config"
                                      << "#1#";
        QTest::newRow("blank") << "   "
                               << "";
        QTest::newRow("tab is no delimiter") << "\t/config x"
                                             << "\t/config";
    }
    void token() {
        QFETCH(QString, text);
        QFETCH(QString, token);
        QCOMPARE(Utilities::instance().Token(text, QStringLiteral(" ")), token);
    }

    void errorNoticeAnswers_data() {
        QTest::addColumn<int>("clicked");
        QTest::addColumn<int>("answer");
        QTest::newRow("Anular") << int(Platform::vbAbort) << 3;
        QTest::newRow("Reintentar") << int(Platform::vbRetry) << 4;
        QTest::newRow("Omitir") << int(Platform::vbIgnore) << 5;
        QTest::newRow("closed") << 0 << 3;
    }
    void errorNoticeAnswers() {
        QFETCH(int, clicked);
        QFETCH(int, answer);
        const Platform::Hooks saved = Platform::hooks();
        QString shown;
        int style = -1;
        QString title;
        Platform::hooks().msgBox = [&](const QString& p, int s, const QString& t, const QString&) {
            shown = p;
            style = s;
            title = t;
            return clicked;
        };
        const qint16 got = Utilities::instance().ErrorNotice(
            RunTimeError(DiskFull, QStringLiteral("x")), QStringLiteral("Aviso al Operador"));
        Platform::hooks() = saved;
        QCOMPARE(int(got), answer);
        QCOMPARE(shown, QStringLiteral("Error 61: Disco lleno. x"));
        QCOMPARE(style, Platform::vbAbortRetryIgnore | Platform::vbCritical);
        QCOMPARE(title, QStringLiteral("Aviso al Operador"));
    }

    void findIndexByKey() {
        QObject a, b, c;
        a.setProperty(FieldFinder::kKeyProperty, QStringLiteral("ANTEPONER"));
        b.setProperty(FieldFinder::kKeyProperty, QStringLiteral("COMM"));
        c.setProperty(FieldFinder::kKeyProperty, QStringLiteral("SETTINGS"));
        const QObjectList fields = {&a, &b, &c};
        QCOMPARE(int(FieldFinder::instance().FindIndex(QStringLiteral("SETTINGS"), fields)), 2);
        QCOMPARE(int(FieldFinder::instance().FindIndex(QStringLiteral("comm"), fields)), 1);
        QVERIFY_THROWS_EXCEPTION(RunTimeError,
                                 FieldFinder::instance().FindIndex(QStringLiteral("OTRA"), fields));
    }
};

QTEST_GUILESS_MAIN(TestUtilities)
#include "tst_utilities.moc"
