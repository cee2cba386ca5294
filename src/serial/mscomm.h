// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// MSComm: the serial-line control on QSerialPort. Until a port is selected it
// holds none: opening then opens nothing and what is sent waits, in order, for
// the real open. The port is opened raw and exclusive, with DTR and RTS raised
// and HUPCL set, so that the line drops however the process ends.
// COM<n> is the device [PUERTOS] COM<n> names in the profile, else /dev/ttyS<n-1>.
#pragma once

#include "linesettings.h"
#include "serialline.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>

class MSComm : public QObject, public SerialLine {
    Q_OBJECT
public:
    explicit MSComm(QObject* parent = nullptr);

    void setPortOpen(bool open) override;
    bool portOpen() const override { return m_portOpen; }
    void setOutput(const QString& text) override;
    void setCommPort(qint16 port) override;
    qint16 commPort() const { return m_commPort; }
    void setSettings(const QString& settings) override;
    QString settings() const { return m_settingsText; }
    void setInBufferCount(qint16 count) override;
    qint16 inBufferCount() const override;
    QString input() override;
    bool lineLost() const override { return m_lost; }
    QString openFailure() const override { return m_openFailure; }

    // The device COM<port> stands for.
    static QString deviceFor(qint16 port);

private:
    void openDevice();
    void closeDevice();
    void applySettings();
    bool applyFraming();
    void sendPending();
    // Why the open failed, for the log and the operator's box.
    void recordOpenFailure();
    [[noreturn]] void failOpen();
    void onError(QSerialPort::SerialPortError error);

    QSerialPort m_port;
    qint16 m_commPort = 0; // 0: no port selected yet
    QString m_settingsText = QStringLiteral("9600,N,8,1");
    LineSettings m_settings;
    bool m_portOpen = false;
    bool m_lost = false;
    bool m_framingNoted = false;
    QString m_device;
    QByteArray m_pending;
    QString m_openFailure;
};
