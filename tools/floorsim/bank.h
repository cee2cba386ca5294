// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The network between the floor and its bank. With no delay the bank is on
// loopback. With a delay, this process moves into a network namespace of its
// own (the floor's: every dialer it starts is there too), the bank gets
// another, and a TUN device in each, joined by a thread that holds every
// packet for the delay before passing it on: no netem needed. Both namespaces
// end with the processes in them; nothing global is named or left behind.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <thread>

class Bank {
public:
    explicit Bank(std::chrono::milliseconds oneWay) : m_oneWay(oneWay) {}
    ~Bank();
    Bank(const Bank&) = delete;
    Bank& operator=(const Bank&) = delete;

    // False, with why, when the namespaces or the devices cannot be made.
    bool setUp(QString& why);
    // The address the bank's server listens on and the floor dials.
    QString host() const;
    // How to run a program in the bank: nsenter's prefix, or nothing on loopback.
    QStringList inBank(const QString& program, const QStringList& arguments) const;

private:
    bool run(const QStringList& command, QString& why) const;
    void relay(int floorTun, int bankTun);

    std::chrono::milliseconds m_oneWay;
    QProcess m_holder; // keeps the bank's namespace while ser2net is not up yet
    int m_floorTun = -1;
    int m_bankTun = -1;
    int m_wake[2] = {-1, -1}; // written to end the relay
    std::unique_ptr<std::thread> m_relay;
};
