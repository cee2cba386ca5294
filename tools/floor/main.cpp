// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// dialfloor DEVICE NUMBER: the least any Qt Widgets dialer does, and so the
// floor scripts/bench holds cvdialer against. Hangs up, dials, beeps, shows one
// message box; no profile, no checks, no settings window.
#include <cstdio>
#include <QApplication>
#include <QMessageBox>
#include <QSerialPort>

namespace {

constexpr int kAnswerTimeoutMs = 60000;

bool command(QSerialPort& port, const QByteArray& text) {
    port.write(text);
    QByteArray answer;
    while (!answer.contains("OK\r")) {
        if (!port.waitForReadyRead(kAnswerTimeoutMs))
            return false;
        answer += port.readAll();
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: dialfloor DEVICE NUMBER\n");
        return 2;
    }
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QSerialPort port(QString::fromLocal8Bit(argv[1]));
    port.setBaudRate(QSerialPort::Baud9600);
    if (!port.open(QIODevice::ReadWrite) || !command(port, "ATH\r") ||
        !command(port, QByteArray("ATDT") + argv[2] + ";\r"))
        return 3;
    QApplication::beep();
    std::fprintf(stderr, "dialfloor: dialled\n");
    QMessageBox::information(nullptr, QStringLiteral("CVDialer"),
                             QStringLiteral("Escriba el número y presione Intro o haga clic en "
                                            "Aceptar"));
    port.write("ATH\r");
    port.waitForBytesWritten(kAnswerTimeoutMs);
    return 0;
}
