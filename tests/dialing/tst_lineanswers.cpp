// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The pure rules of the serial side: the modem's answers, the stored port
// text and the line settings text.
#include "answer.h"
#include "linesettings.h"
#include "portnumber.h"
#include "runtimeerror.h"
#include "support/errorof.h"

#include <QtTest>

namespace {
// The answer fed to a scanner whole, one character at a time, and in pieces of
// three: what arrives together must never change what is found.
std::vector<AnswerScanner> scanned(const QString& answer, const QString& echo = {}) {
    std::vector<AnswerScanner> scanners(3, AnswerScanner(echo));
    scanners[0].add(answer);
    for (qsizetype i = 0; i < answer.size(); ++i)
        scanners[1].add(answer.sliced(i, 1));
    for (qsizetype i = 0; i < answer.size(); i += 3)
        scanners[2].add(answer.mid(i, 3));
    return scanners;
}
} // namespace

class TestLineAnswers : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void modemAnswers_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("failure");
        QTest::newRow("plain") << "\r\nOK\r\n" << true << "";
        QTest::newRow("small letters") << "\r\nok\r\n" << true << "";
        QTest::newRow("mixed case") << "oK" << true << "";
        QTest::newRow("inside a word") << "BOOKING" << true << "";
        QTest::newRow("after garbage") << "\x07~~RING?\r\nOK" << true << "";
        QTest::newRow("letters apart") << "O K" << false << "";
        QTest::newRow("nothing yet") << "" << false << "";
        QTest::newRow("busy") << "ATDT1;\r\r\nBUSY\r\n" << false << "BUSY";
        QTest::newRow("no dialtone, small") << "\r\nno dialtone\r\n" << false << "no dialtone";
        QTest::newRow("no dial tone") << "\r\nNO DIAL TONE\r\n" << false << "NO DIAL TONE";
        QTest::newRow("no carrier") << "\r\nNO CARRIER\r\n" << false << "NO CARRIER";
        QTest::newRow("no answer") << "\r\nNO ANSWER\r\n" << false << "NO ANSWER";
        QTest::newRow("error") << "\r\nERROR\r\n" << false << "ERROR";
        QTest::newRow("code still arriving") << "\r\nBUSY" << false << "";
        QTest::newRow("code inside a line") << "\r\nNOT BUSY\r\n" << false << "";
        QTest::newRow("ok wins over a failure") << "\r\nERROR\r\nOK\r\n" << true << "ERROR";
        QTest::newRow("blanks around a code") << " \t BUSY \t \r" << false << "BUSY";
        QTest::newRow("two blanks inside") << "\rNO  CARRIER\r" << false << "";
        QTest::newRow("long line first") << "\rNO CARRIER NO CARRIER\rBUSY\n" << false << "BUSY";
        QTest::newRow("first code wins") << "\rBUSY\rNO ANSWER\r" << false << "BUSY";
    }
    void modemAnswers() {
        QFETCH(QString, answer);
        QFETCH(bool, ok);
        QFETCH(QString, failure);
        for (const AnswerScanner& scanner : scanned(answer)) {
            QCOMPARE(scanner.foundOk(), ok);
            QCOMPARE(scanner.failureLine().value_or(QString()), failure);
        }
    }

    // A number may hold letters: the modem's echo of the dial command must not
    // end the wait, while everything after the echo is read as usual.
    void echoOfTheDialCommandIsNotSearched_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("ok");
        QTest::newRow("echo only") << "ATDT5OK;\r" << false;
        QTest::newRow("echo, then the answer") << "ATDT5OK;\r\r\nOK\r\n" << true;
        QTest::newRow("part of the echo") << "ATDT5O" << false;
        QTest::newRow("no echo") << "\r\nOK\r\n" << true;
        QTest::newRow("departs from the echo") << "ATDT5OKX" << true;
        QTest::newRow("noise first") << "xATDT5OK;\r" << true;
    }
    void echoOfTheDialCommandIsNotSearched() {
        QFETCH(QString, answer);
        QFETCH(bool, ok);
        for (const AnswerScanner& scanner : scanned(answer, QStringLiteral("ATDT5OK;\r")))
            QCOMPARE(scanner.foundOk(), ok);
    }

    void finalResultOfTheHangUp_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("final");
        QTest::addColumn<bool>("line");
        QTest::newRow("echo and ok") << "ATH\r\r\nOK\r\n" << true << true;
        QTest::newRow("error") << "\r\nERROR\r\n" << true << true;
        QTest::newRow("echo only") << "ATH\r" << false << true;
        QTest::newRow("ok not yet ended") << "\r\nOK" << false << false;
        QTest::newRow("blank lines") << "\r\n \r\n" << false << false;
    }
    void finalResultOfTheHangUp() {
        QFETCH(QString, answer);
        QFETCH(bool, final);
        QFETCH(bool, line);
        for (const AnswerScanner& scanner : scanned(answer)) {
            QCOMPARE(scanner.hasFinalResult(), final);
            QCOMPARE(scanner.hasCompleteLine(), line);
        }
    }

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

QTEST_GUILESS_MAIN(TestLineAnswers)
#include "tst_lineanswers.moc"
