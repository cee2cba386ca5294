// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// TLS over an open TCP connection to a modem bank (OpenSSL, loaded on first
// use): the server's certificate checked against the system's trust store or
// the bank's own authority alone, and its name against the host dialled; and
// this workstation's certificate for banks that demand one. The socket is
// non-blocking: each call does what can be done now.
#pragma once

#include <memory>
#include <QString>

struct ssl_st;
struct ssl_ctx_st;

// Paths as the profile gives them ([RED] CA, CERTIFICADO, CLAVE), made
// absolute by whoever read them.
struct TlsFiles {
    QString authority;   // trust this authority alone; empty: the system's store
    QString certificate; // this workstation's certificate, PEM
    QString key;         // its private key, PEM, readable by its owner alone
};

class TlsSession {
public:
    enum class Progress { Done, WantRead, WantWrite, Failed };

    // A session on fd for host; none, with why, when OpenSSL, the files or the
    // key's permissions will not do.
    static std::unique_ptr<TlsSession> start(int fd, const QString& host, const TlsFiles& files,
                                             QString& why);
    ~TlsSession();
    TlsSession(const TlsSession&) = delete;
    TlsSession& operator=(const TlsSession&) = delete;

    Progress handshake();
    // Bytes read; 0 once the server has closed; -1 while nothing waits; -2
    // when the connection broke (failure() says why).
    qint64 read(char* into, qint64 size);
    // Bytes written; -1 when it must wait (wantsRead() says for what); -2 broken.
    qint64 write(const char* from, qint64 size);
    bool wantsRead() const { return m_wantsRead; }
    // Says goodbye to the server (close_notify), once.
    void close();
    QString failure() const { return m_failure; }
    // Why a server that took the handshake then closed without a word did:
    // a bank that demands this workstation's certificate, or refused it.
    QString refusal() const;

    // For OpenSSL's callback: the server asked for this workstation's certificate.
    void noteCertificateRequest() { m_certificateRequested = true; }

private:
    TlsSession() = default;
    bool configure(const QString& host, const TlsFiles& files, int fd, QString& why);
    bool loadWorkstationCertificate(const TlsFiles& files, QString& why);
    QString handshakeFailure(int result);

    ssl_ctx_st* m_context = nullptr;
    ssl_st* m_session = nullptr;
    QString m_host;
    QString m_failure;
    bool m_presented = false; // a workstation certificate is offered
    bool m_certificateRequested = false;
    bool m_anythingRead = false;
    bool m_uncleanEnd = false; // closed without TLS's own goodbye
    bool m_wantsRead = false;
    bool m_closed = false;
};
