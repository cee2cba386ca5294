// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// What the desktop adds for the operator: the dialled cue, and Qt's own texts
// in Spanish.
#include "application.h"
#include "dialledcue.h"

#include <QLocale>
#include <QtTest>

class TestDesktop : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        // An English locale must not keep the Spanish texts out.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY(Application::installQtTranslation(*qApp));
    }

    void qtTextsAreSpanishWhateverTheLocale_data() {
        QTest::addColumn<QString>("context");
        QTest::addColumn<QString>("english");
        // The text fields' context menu.
        QTest::newRow("undo") << "QLineEdit"
                              << "&Undo";
        QTest::newRow("select all") << "QLineEdit"
                                    << "Select All";
    }
    void qtTextsAreSpanishWhateverTheLocale() {
        QFETCH(QString, context);
        QFETCH(QString, english);
        const QString shown = QCoreApplication::translate(qPrintable(context), qPrintable(english));
        QVERIFY2(shown != english, qPrintable(shown));
        QVERIFY(!shown.isEmpty());
    }

    void bellRingsOnlyWhenTheSoundFails_data() {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<bool>("bell");
        QTest::newRow("sound plays") << QString() << false;
        QTest::newRow("no sound server") << "Not available" << true;
    }
    void bellRingsOnlyWhenTheSoundFails() {
        QFETCH(QString, failure);
        QFETCH(bool, bell);
        int played = 0;
        int rung = 0;
        DialledCue::ring(
            [&] {
                ++played;
                return failure;
            },
            [&] {
                ++rung;
                return QStringLiteral("suena el timbre");
            });
        QCOMPARE(played, 1);
        QCOMPARE(rung, bell ? 1 : 0);
    }

    // libcanberra itself, where it cannot play: it must say so, not go quiet.
    void themeSoundWithoutADriverFallsBackToTheBell() {
        qputenv("CANBERRA_DRIVER", "cvdialer-no-such-driver");
        int rung = 0;
        DialledCue::ring(DialledCue::playThemeSound, [&] {
            ++rung;
            return QString();
        });
        const QString why = DialledCue::playThemeSound();
        qunsetenv("CANBERRA_DRIVER");
        QCOMPARE(rung, 1);
        // Said in Spanish, as the other notes are, with the library's own words after.
        const QRegularExpressionMatch said =
            QRegularExpression(QStringLiteral("^([^(]+) \\((.+)\\)$")).match(why);
        QVERIFY2(said.hasMatch(), qPrintable(why));
        QVERIFY2(said.captured(1) != said.captured(2), qPrintable(why));
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
