// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// What a run of the floor comes to, read from what the dialers did (as the
// simulator saw them), the modems' logs and ser2net's per-connection traces.
// Times are seconds since the epoch.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

struct Dial {
    QString number; // as the modem receives it after ATDT
    double launched = 0;
    double refusedAt = -1;  // the port-unavailable message seen
    double terminated = -1; // sent SIGTERM: the operator is done
    bool dialled = false;   // the dialled message seen
    int status = -1;        // exit status; -1 crashed or killed
    bool counted = true;    // arrived once the bank was in its steady state
};

// A connection ser2net gave a modem: from its open to its close.
struct Session {
    double opened = 0;
    double closed = 0;
};

struct Modem {
    QString log;             // fakemodem's log
    QString traces;          // ser2net's trace files for it: a prefix
    QList<Session> sessions; // filled by the report
};

struct RunFacts {
    QList<Dial> dials;
    QList<Modem> modems;
    double runStart = 0; // the first dial, warming up
    double arrivalsStart = 0;
    double arrivalsEnd = 0;
    double offeredErlangs = 0; // what the arrivals were set for
    double oneWaySeconds = 0;
    double dialerCpuSeconds = 0;
    QString machine; // cores, memory, the load before and after
};

// Erlang's loss formula: the share of calls refused with servers busy at load erlangs.
double erlangB(int servers, double erlangs);

// Prints the report; false when a modem was double-booked or a final "ATH" lost.
bool report(RunFacts& facts);
