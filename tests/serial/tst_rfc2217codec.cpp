// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The Telnet / RFC 2217 codec, byte for byte.
#include "rfc2217codec.h"

#include <QtTest>

namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

// What ser2net 4 sends on accepting a connection on a telnet(rfc2217) port.
const char* const kSer2netOpening = "fffb03 fffd03 fffb01 fffe01 fffd00 fffb00 fffd2c";

// Feeds bytes whole or one at a time; the codec must not care.
QByteArray feed(Rfc2217Codec& codec, const QByteArray& bytes, bool bytewise) {
    if (!bytewise)
        return codec.decode(bytes);
    QByteArray text;
    for (char c : bytes)
        text += codec.decode(QByteArray(1, c));
    return text;
}

} // namespace

Q_DECLARE_METATYPE(LineSettings)

class TestRfc2217Codec : public QObject {
    Q_OBJECT
private slots:
    void decodesWhatTheServerSends_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("replies"); // after our greeting
        QTest::addColumn<int>("comPort");
        const int asked = int(Rfc2217Codec::ComPort::Asked);
        const int accepted = int(Rfc2217Codec::ComPort::Accepted);
        const int refused = int(Rfc2217Codec::ComPort::Refused);
        QTest::newRow("ser2net's opening, then text")
            << hex(kSer2netOpening) + "OK\r\n"
            << QByteArray("OK\r\n") << hex("fffe01") << accepted;
        QTest::newRow("server refuses the option")
            << hex("fffe2c") << QByteArray() << QByteArray() << refused;
        QTest::newRow("unknown requests are refused")
            << hex("fffd18 fffb05") << QByteArray() << hex("fffc18 fffe05") << asked;
        QTest::newRow("doubled 0xFF is one data byte")
            << hex("41ffff42") << hex("41ff42") << QByteArray() << asked;
        QTest::newRow("subnegotiation and NOP carry no text")
            << hex("fffa2c6b00fff0 fff1 4f4b") << QByteArray("OK") << QByteArray() << asked;
        QTest::newRow("0xFF doubled inside a subnegotiation")
            << hex("fffa2c65000000ffff fff0 41") << QByteArray("A") << QByteArray() << asked;
        QTest::newRow("CR NUL is a bare CR before binary is agreed")
            << hex("0d00 0d0a") << hex("0d0d0a") << QByteArray() << asked;
        QTest::newRow("CR NUL kept once the server sends binary")
            << hex("fffb00 0d00") << hex("0d00") << QByteArray() << asked;
    }
    void decodesWhatTheServerSends() {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, replies);
        QFETCH(int, comPort);
        for (bool bytewise : {false, true}) {
            Rfc2217Codec codec;
            codec.greeting();
            QCOMPARE(feed(codec, input, bytewise), text);
            QCOMPARE(codec.takeReplies().toHex(), replies.toHex());
            QCOMPARE(int(codec.comPort()), comPort);
        }
    }

    void greetingAsksOnlyOnce() {
        Rfc2217Codec codec;
        QCOMPARE(codec.greeting().toHex(), hex("fffb00 fffd00 fffb03 fffd03 fffb2c").toHex());
        codec.decode(hex(kSer2netOpening));
        codec.takeReplies();
        // Requests repeated for options already agreed change nothing: no answer.
        codec.decode(hex("fffd03 fffb00"));
        QCOMPARE(codec.takeReplies(), QByteArray());
    }

    void encodesEachSetting_data() {
        QTest::addColumn<LineSettings>("settings");
        QTest::addColumn<QByteArray>("commands");
        const QByteArray lines = hex("fffa2c0501fff0 fffa2c0508fff0 fffa2c050bfff0");
        QTest::newRow("9600,N,8,1") << LineSettings{}
                                    << hex("fffa2c0100002580fff0 fffa2c0208fff0 fffa2c0301fff0 "
                                           "fffa2c0401fff0") +
                                           lines;
        QTest::newRow("19200,E,7,2")
            << LineSettings{19200,
                            QSerialPort::EvenParity,
                            QSerialPort::Data7,
                            QSerialPort::TwoStop,
                            {}}
            << hex("fffa2c0100004b00fff0 fffa2c0207fff0 fffa2c0303fff0 fffa2c0402fff0") + lines;
        QTest::newRow("0xFF in the speed, O,5,1.5")
            << LineSettings{0x1ff,
                            QSerialPort::OddParity,
                            QSerialPort::Data5,
                            QSerialPort::OneAndHalfStop,
                            {}}
            << hex("fffa2c01000001ffff fff0 fffa2c0205fff0 fffa2c0302fff0 fffa2c0403fff0") + lines;
    }
    void encodesEachSetting() {
        QFETCH(LineSettings, settings);
        QFETCH(QByteArray, commands);
        Rfc2217Codec codec;
        QCOMPARE(codec.lineSettings(settings).toHex(' '), commands.toHex(' '));
        QCOMPARE(codec.unanswered(), 4);
        // The framing answers count; an answer about the modem lines does not.
        codec.decode(hex("fffa2c65000025 80fff0 fffa2c6908fff0 fffa2c6608fff0"));
        QCOMPARE(codec.unanswered(), 2);
        codec.decode(hex("fffa2c6701fff0 fffa2c6801fff0"));
        QCOMPARE(codec.unanswered(), 0);
    }

    void encodesTheLineText() {
        Rfc2217Codec codec;
        codec.greeting();
        QCOMPARE(codec.encode(hex("41ff0d")).toHex(), hex("41ffff0d00").toHex());
        codec.decode(hex("fffd00")); // the server agrees to binary from us
        QCOMPARE(codec.encode(hex("41ff0d")).toHex(), hex("41ffff0d").toHex());
        QCOMPARE(codec.purgeServerInput().toHex(), hex("fffa2c0c01fff0").toHex());
    }
};

QTEST_GUILESS_MAIN(TestRfc2217Codec)
#include "tst_rfc2217codec.moc"
