// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The modem's answers as the dial reads them: "OK", failure codes, the echo of
// the dial command and the hang-up's final result.
#include "answer.h"

#include <QtTest>
#include <vector>

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

class TestAnswer : public QObject {
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
};

QTEST_GUILESS_MAIN(TestAnswer)
#include "tst_answer.moc"
