// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The floor: simulated modems behind one real ser2net, and workstations whose
// operators dial at random (Poisson arrivals) and hold each call for an
// exponentially distributed time, through the real cvdialer. A call ends as
// an operator's polite end does (SIGTERM: the dialer hangs up and exits).
#pragma once

#include "bank.h"
#include "report.h"

#include <memory>
#include <QDir>
#include <QObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <random>
#include <vector>

struct FloorOptions {
    int modems = 32;
    double occupancy = 0.85; // the share of time a modem is to be busy
    double holdSeconds = 4;  // the mean of a call, once dialled
    int seconds = 180;       // of arrivals
    int oneWayMs = 0;
    int workstations = 200;
    bool huntGroup = false; // COM2 as a hunt group, else as a pool in order
    bool keep = false;      // the logs, for a look afterwards
    QString buildDir;
    unsigned seed = 0;
};

class Floor : public QObject {
public:
    explicit Floor(const FloorOptions& options);
    ~Floor() override;

    bool start(QString& why);
    // Runs the arrivals, then waits for every call to end.
    void run();
    // Ends the run early: no more arrivals, every call ended as its operator would.
    void stop();
    RunFacts& facts() { return m_facts; }

private:
    struct Call {
        std::unique_ptr<QProcess> process;
        QByteArray stderrText;
        int workstation = 0;
        int dial = 0; // in m_facts.dials
        QTimer end;   // the operator done, or a dialer that says nothing
    };

    bool startModems(QString& why);
    bool startServer(QString& why);
    void writeProfiles();
    void endArrivals();
    void scheduleArrival();
    void arrive();
    void heard(Call& call);
    void terminate(Call& call);
    void ended(Call& call, int status, bool normal);

    FloorOptions m_options;
    QTemporaryDir m_scratch;
    Bank m_bank;
    std::mt19937 m_random;
    std::vector<std::unique_ptr<QProcess>> m_modems;
    std::vector<QString> m_targets;
    QProcess m_server;
    std::vector<int> m_idle; // workstations not in a call
    std::vector<std::unique_ptr<Call>> m_calls;
    int m_running = 0;
    int m_oddEnds = 0;
    bool m_arriving = false;
    QTimer m_arrival;
    double m_rate = 0; // dials a second
    RunFacts m_facts;
};
