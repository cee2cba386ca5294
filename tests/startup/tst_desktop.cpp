// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// What the desktop adds for the operator: Qt's own texts in Spanish.
#include "application.h"

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
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
