// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// Cutting the number out of the request text and putting the prefix in front.
#include "dialstring.h"
#include "request.h"
#include "runtimeerror.h"
#include "support/errorof.h"

#include <QtTest>

using namespace ModDialer;

class TestRequest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void numberAndPrefix_data() {
        QTest::addColumn<QString>("request");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("dialled");
        QTest::newRow("between two #") << "#5551234#"
                                       << ""
                                       << "5551234";
        QTest::newRow("with prefix") << "#5551234#"
                                     << "0"
                                     << "05551234";
        QTest::newRow("text before the first #") << "llamar #5551234#"
                                                 << ""
                                                 << "5551234";
        QTest::newRow("one character after") << "#5551234# "
                                             << ""
                                             << "5551234#";
        QTest::newRow("several after") << "#5551234#ab"
                                       << ""
                                       << "5551234#a";
        QTest::newRow("spaces inside and before") << "#  555 12 34#"
                                                  << "9"
                                                  << "9  555 12 34";
        QTest::newRow("prefix of spaces") << "#123#"
                                          << "  "
                                          << "  123";
        QTest::newRow("second # stays") << "#12#34#"
                                        << ""
                                        << "12#34";
        QTest::newRow("comma pauses") << "#9,,5551234#"
                                      << ""
                                      << "9,,5551234";
    }
    void numberAndPrefix() {
        QFETCH(QString, request);
        QFETCH(QString, prefix);
        QFETCH(QString, dialled);
        QCOMPARE(withPrefix(numberText(request), prefix), dialled);
    }

    void refusedRequests_data() {
        QTest::addColumn<QString>("request");
        QTest::addColumn<int>("error");
        QTest::newRow("no #") << "5551234" << int(InvalidProcedureCall);
        QTest::newRow("only #") << "#" << int(InvalidProcedureCall);
        QTest::newRow("# last") << "5551234#" << int(InvalidProcedureCall);
        QTest::newRow("no closing #") << "#5551234" << int(InvalidProcedureCall);
        QTest::newRow("## at the end") << "abc##" << int(InvalidProcedureCall);
        QTest::newRow("spaces only") << "#   #" << int(InvalidProcedureCall);
        QTest::newRow("# at 32767") << QString(32766, QLatin1Char('x')) + "#1#" << int(Overflow);
        QTest::newRow("# at 32766 is fine") << QString(32765, QLatin1Char('x')) + "#1#" << 0;
    }
    void refusedRequests() {
        QFETCH(QString, request);
        QFETCH(int, error);
        QString number;
        QCOMPARE(errorOf([&] { number = numberText(request); }), error);
        if (error == 0)
            QCOMPARE(number, QStringLiteral("1"));
    }

    void telLinks_data() {
        QTest::addColumn<QString>("request");
        QTest::addColumn<bool>("isTel");
        QTest::addColumn<QString>("number"); // empty: error 5
        QTest::newRow("international") << "tel:+34-91-123-45-67" << true << "0034911234567";
        QTest::newRow("parameters dropped")
            << "tel:5551234;phone-context=example.com" << true << "5551234";
        QTest::newRow("dots and brackets") << "tel:(91) 123.45.67" << true << "911234567";
        QTest::newRow("percent-encoded") << "tel:%2B34%20911%2D234567" << true << "0034911234567";
        QTest::newRow("mixed-case scheme, blanks") << "  TeL:555 1234 " << true << "5551234";
        QTest::newRow("no digits") << "tel:abc" << true << "";
        QTest::newRow("only parameters") << "tel:;ext=1" << true << "";
        QTest::newRow("plus alone") << "tel:+" << true << "";
        QTest::newRow("escape that is no escape") << "tel:5%!!" << true << "";
        QTest::newRow("plus and parameters") << "tel:+-;ext=12" << true << "";
        QTest::newRow("encoded plus leads") << "tel:%2B1%20555" << true << "001555";
        QTest::newRow("not a link") << "telefono:5551234" << false << "";
    }
    void telLinks() {
        QFETCH(QString, request);
        QFETCH(bool, isTel);
        QFETCH(QString, number);
        QCOMPARE(isTelRequest(request), isTel);
        if (!isTel)
            return;
        QString dialled;
        const int error =
            errorOf([&] { dialled = withAccessCode(telNumber(request), QStringLiteral("00")); });
        QCOMPARE(error, number.isEmpty() ? int(InvalidProcedureCall) : 0);
        QCOMPARE(dialled, number);
    }

    // A link carries digits only: codes, modifiers and a second command are
    // refused, naming what was found.
    void refusedLinks_data() {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("named");
        QTest::newRow("star codes") << "tel:*21*5551234%23"
                                    << "\"*\"";
        QTest::newRow("flash and waits") << "tel:555!W@1234"
                                         << "\"!\"";
        QTest::newRow("comma pause") << "tel:9,5551234"
                                     << "\",\"";
        QTest::newRow("encoded #") << "tel:5551234%23"
                                   << "\"#\"";
        QTest::newRow("encoded ;") << "tel:555%3B1234"
                                   << "\";\"";
        QTest::newRow("plus inside") << "tel:555+1"
                                     << "\"+\"";
        QTest::newRow("letters") << "tel:1-800-FLOWERS"
                                 << "\"F\"";
        QTest::newRow("encoded CR") << "tel:555%0DATZ"
                                    << "U+000D";
        // Whatever follows a "#" is the page's fragment, never a "#" request.
        QTest::newRow("fragment with codes") << "tel:+34911234567#*21*0900123456#"
                                             << "\"#\" en la posición 17";
        QTest::newRow("fragment only") << "tel:#,,,!W@5551234#"
                                       << "\"#\" en la posición 5";
        QTest::newRow("fragment after parameters") << "tel:5551234;ext=1#2"
                                                   << "\"#\"";
        QTest::newRow("a # request after a link") << "tel:+1 #5551234#"
                                                  << "\"#\"";
        QTest::newRow("switch inside a link") << " TEL:/Config"
                                              << "\"/\"";
    }
    void refusedLinks() {
        QFETCH(QString, link);
        QFETCH(QString, named);
        QVERIFY(isTelRequest(link));
        try {
            telNumber(link);
            QFAIL("accepted");
        } catch (const RunTimeError& error) {
            QCOMPARE(error.number(), int(InvalidProcedureCall));
            QVERIFY2(error.description().contains(named), qPrintable(error.description()));
        }
    }

    void onlyPrintableAsciiIsDialled_data() {
        QTest::addColumn<QString>("number");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("digits and dial modifiers") << "0,9W555*#1234" << true;
        QTest::newRow("space and tilde") << " ~" << true;
        QTest::newRow("empty") << "" << true;
        QTest::newRow("carriage return") << "555\rATZ" << false;
        QTest::newRow("line feed") << "555\n" << false;
        QTest::newRow("tab") << "555\t1" << false;
        QTest::newRow("delete") << "555\x7f" << false;
        QTest::newRow("accented") << QStringLiteral("555ñ") << false;
        QTest::newRow("replacement of a bad byte") << QStringLiteral("555\uFFFD") << false;
        QTest::newRow("semicolon") << "555;&F&W" << false;
        QTest::newRow("37 characters fit DT...;") << QString(37, QLatin1Char('5')) << true;
        QTest::newRow("38 do not") << QString(38, QLatin1Char('5')) << false;
    }
    void onlyPrintableAsciiIsDialled() {
        QFETCH(QString, number);
        QFETCH(bool, accepted);
        QCOMPARE(errorOf([&] { checkDialable(number); }), accepted ? 0 : int(InvalidProcedureCall));
    }

    void prefixWithSemicolonIsRefused() {
        QCOMPARE(errorOf([] { checkPrefix(QStringLiteral("0,")); }), 0);
        QCOMPARE(errorOf([] { checkPrefix(QStringLiteral("0;")); }), int(InvalidProcedureCall));
    }
};

QTEST_GUILESS_MAIN(TestRequest)
#include "tst_request.moc"
