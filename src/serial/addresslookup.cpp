// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "addresslookup.h"

#include <csignal>
#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

void finished(sigval lookup) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t ignored =
        ::write(static_cast<AddressLookup*>(lookup.sival_ptr)->done, &one, sizeof one);
}

} // namespace

AddressLookup::~AddressLookup() {
    if (list)
        ::freeaddrinfo(list);
    if (done >= 0)
        ::close(done);
}

void AddressLookup::start(const QString& host, quint16 port) {
    name = host.toUtf8();
    service = QByteArray::number(port);
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    if (::getaddrinfo(name.constData(), service.constData(), &hints, &list) == 0) {
        next = list;
        return;
    }
    hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
    request.ar_name = name.constData();
    request.ar_service = service.constData();
    request.ar_request = &hints;
    gaicb* requests[] = {&request};
    done = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    sigevent notice{};
    notice.sigev_notify = SIGEV_THREAD;
    notice.sigev_notify_function = finished;
    notice.sigev_value.sival_ptr = this;
    running = ::getaddrinfo_a(GAI_NOWAIT, requests, 1, done >= 0 ? &notice : nullptr) == 0;
}

int AddressLookup::result() {
    if (!running)
        return list ? 0 : EAI_FAIL;
    const int error = ::gai_error(&request);
    if (error == EAI_INPROGRESS)
        return error;
    running = false;
    list = next = request.ar_result;
    return list ? 0 : error;
}

bool AddressLookup::stop() {
    if (!running || ::gai_cancel(&request) == EAI_CANCELED)
        return true;
    if (::gai_error(&request) == EAI_INPROGRESS)
        return false;
    result(); // done after all: take the addresses, to free them
    return true;
}
