// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// Looking a device server's name up without blocking the event loop: a
// numeric address at once, a name by getaddrinfo_a in the background, with a
// descriptor that wakes the loop when the answer is in.
#pragma once

#include <netdb.h>
#include <QByteArray>
#include <QString>

// One lookup's request and everything it points at, kept together: a lookup
// still running when the line goes cannot be stopped, and keeps using them.
struct AddressLookup {
    QByteArray name;
    QByteArray service;
    addrinfo hints{};
    gaicb request{};
    bool running = false;
    addrinfo* list = nullptr;
    addrinfo* next = nullptr; // the next address to try
    // Counts once the lookup is done, so the loop sleeps until then: polling
    // for it cost every dial by name a pass of the open.
    int done = -1;

    AddressLookup() = default;
    AddressLookup(const AddressLookup&) = delete;
    AddressLookup& operator=(const AddressLookup&) = delete;
    ~AddressLookup();
    // A numeric address needs no lookup; a name is looked up in the background.
    void start(const QString& host, quint16 port);
    // 0 when the addresses are known, EAI_INPROGRESS while looking, else the failure.
    int result();
    // True when it can be freed: no resolver thread writes into it any more.
    bool stop();
};
