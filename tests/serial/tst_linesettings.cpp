// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The serial side's pure rules: the stored port text and the line settings text.
#include "linesettings.h"
#include "portnumber.h"
#include "runtimeerror.h"
#include "support/errorof.h"

#include <QtTest>

class TestLineSettings : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void portNumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("port"); // when error is 0
        QTest::addColumn<int>("error");
        QTest::newRow("plain") << "2" << 2 << 0;
        QTest::newRow("leading zero") << "02" << 2 << 0;
        QTest::newRow("spaces around") << "  3 " << 3 << 0;
        QTest::newRow("tab around") << "\t4" << 4 << 0;
        QTest::newRow("negative") << "-1" << -1 << 0;
        QTest::newRow("largest") << "32767" << 32767 << 0;
        QTest::newRow("too large") << "32768" << 0 << int(Overflow);
        QTest::newRow("far too large") << "99999999999999999999" << 0 << int(Overflow);
        QTest::newRow("word") << "COM2" << 0 << int(TypeMismatch);
        QTest::newRow("fraction") << "2.5" << 0 << int(TypeMismatch);
        QTest::newRow("space inside") << "1 2" << 0 << int(TypeMismatch);
        QTest::newRow("blank") << "  " << 0 << int(TypeMismatch);
        QTest::newRow("sign only") << "-" << 0 << int(TypeMismatch);
    }
    void portNumber() {
        QFETCH(QString, text);
        QFETCH(int, port);
        QFETCH(int, error);
        qint16 converted = 0;
        QCOMPARE(errorOf([&] { converted = toPortNumber(text); }), error);
        QCOMPARE(int(converted), port);
    }

    void lineSettings_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("data");
        QTest::addColumn<int>("stop");
        QTest::newRow("usual") << "9600,N,8,1" << true << 9600 << int(QSerialPort::NoParity) << 8
                               << int(QSerialPort::OneStop);
        QTest::newRow("even, 7, 2") << "2400,e,7,2" << true << 2400 << int(QSerialPort::EvenParity)
                                    << 7 << int(QSerialPort::TwoStop);
        QTest::newRow("mark, 5, 1.5")
            << "110,M,5,1.5" << true << 110 << int(QSerialPort::MarkParity) << 5
            << int(QSerialPort::OneAndHalfStop);
        QTest::newRow("spaces around parts")
            << " 19200 , O , 8 , 1 " << true << 19200 << int(QSerialPort::OddParity) << 8
            << int(QSerialPort::OneStop);
        QTest::newRow("spaces only") << "   " << false << 0 << 0 << 0 << 0;
        QTest::newRow("empty") << "" << false << 0 << 0 << 0 << 0;
        QTest::newRow("three parts") << "9600,N,8" << false << 0 << 0 << 0 << 0;
        QTest::newRow("zero baud") << "0,N,8,1" << false << 0 << 0 << 0 << 0;
        QTest::newRow("negative baud") << "-9600,N,8,1" << false << 0 << 0 << 0 << 0;
        QTest::newRow("parity word") << "9600,None,8,1" << false << 0 << 0 << 0 << 0;
        QTest::newRow("nine data bits") << "9600,N,9,1" << false << 0 << 0 << 0 << 0;
        QTest::newRow("four data bits") << "9600,N,4,1" << false << 0 << 0 << 0 << 0;
        QTest::newRow("three stop bits") << "9600,N,8,3" << false << 0 << 0 << 0 << 0;
        QTest::newRow("letter that folds to S")
            << QStringLiteral("9600,\u017F,8,1") << false << 0 << 0 << 0 << 0;
    }
    void lineSettings() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        const auto parsed = parseLineSettings(text);
        QCOMPARE(parsed.has_value(), valid);
        if (!valid)
            return;
        QTEST(int(parsed->baudRate), "baud");
        QTEST(int(parsed->parity), "parity");
        QTEST(int(parsed->dataBits), "data");
        QTEST(int(parsed->stopBits), "stop");
    }
};

QTEST_GUILESS_MAIN(TestLineSettings)
#include "tst_linesettings.moc"
