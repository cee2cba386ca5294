// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "tlssession.h"

#include "openssl.h"
#include "profiletrust.h"

#include <arpa/inet.h>
#include <QFile>
#include <sys/stat.h>

namespace {

// Called when the server asks for this workstation's certificate, whether
// there is one or not; the context is the session's own.
extern "C" int onCertificateRequest(SSL*, void* session) {
    static_cast<TlsSession*>(session)->noteCertificateRequest();
    return 1;
}

// OpenSSL 3 reports a connection closed without TLS's goodbye as an error.
bool isUnexpectedEnd(unsigned long error) {
    return ERR_GET_REASON(error) == SSL_R_UNEXPECTED_EOF_WHILE_READING;
}

bool isAddress(const QString& host) {
    in6_addr address{};
    const QByteArray text = host.toLatin1();
    return ::inet_pton(AF_INET, text.constData(), &address) == 1 ||
           ::inet_pton(AF_INET6, text.constData(), &address) == 1;
}

// As ssh refuses such a key: another user of the workstation could copy it
// and dial through the bank as this one.
QString keyExposure(const QString& key) {
    struct stat info {};
    if (::stat(QFile::encodeName(key).constData(), &info) != 0 || (info.st_mode & 077) == 0)
        return {};
    return QStringLiteral("la clave %1 la pueden leer otros usuarios (permisos %2): solo su dueño "
                          "debe poder (chmod 600)")
        .arg(key)
        .arg(info.st_mode & 0777, 4, 8, QLatin1Char('0'));
}

// Whoever may change one of these files decides whom the dialer trusts or
// who it says it is; one that is no regular file could block the read.
QString fileProblem(const QString& path, const char* key) {
    struct stat info {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {}; // OpenSSL says why it cannot read it
    if (!S_ISREG(info.st_mode))
        return QStringLiteral("%1 ([RED] %2) no es un archivo normal")
            .arg(path, QLatin1String(key));
    const QString writers = ProfileTrust::othersMayWrite(path);
    return writers.isEmpty() ? QString()
                             : QStringLiteral("[RED] %1: %2").arg(QLatin1String(key), writers);
}

QString filesProblem(const TlsFiles& files) {
    for (const auto& [path, key] :
         {std::pair{files.authority, "CA"}, std::pair{files.certificate, "CERTIFICADO"},
          std::pair{files.key, "CLAVE"}}) {
        const QString problem = fileProblem(path, key);
        if (!problem.isEmpty())
            return problem;
    }
    return {};
}

} // namespace

std::unique_ptr<TlsSession> TlsSession::start(int fd, const QString& host, const TlsFiles& files,
                                              QString& why) {
    const OpenSsl& api = openSsl();
    if (!api.failure.isEmpty()) {
        why = api.failure;
        return nullptr;
    }
    why = filesProblem(files);
    if (!why.isEmpty())
        return nullptr;
    std::unique_ptr<TlsSession> session(new TlsSession);
    if (!session->configure(host, files, fd, why))
        return nullptr;
    return session;
}

TlsSession::~TlsSession() {
    const OpenSsl& api = openSsl();
    if (m_session)
        api.sessionFree(m_session);
    if (m_context)
        api.contextFree(m_context);
}

bool TlsSession::configure(const QString& host, const TlsFiles& files, int fd, QString& why) {
    const OpenSsl& api = openSsl();
    m_host = host;
    m_context = api.contextNew(api.clientMethod());
    if (!m_context) {
        why = api.lastError();
        return false;
    }
    api.contextControl(m_context, SSL_CTRL_SET_MIN_PROTO_VERSION, TLS1_2_VERSION, nullptr);
    api.setVerify(m_context, SSL_VERIFY_PEER, nullptr);
    const bool trusted =
        files.authority.isEmpty()
            ? api.useSystemStore(m_context) == 1
            : api.useAuthorityFile(m_context, QFile::encodeName(files.authority).constData(),
                                   nullptr) == 1;
    if (!trusted) {
        why = QStringLiteral("no se pudo leer la autoridad %1 ([RED] CA): %2")
                  .arg(files.authority, api.lastError());
        return false;
    }
    if (!loadWorkstationCertificate(files, why))
        return false;
    api.onCertificateRequest(m_context, onCertificateRequest, this);
    m_session = api.sessionNew(m_context);
    const QByteArray name = host.toUtf8();
    if (!m_session || api.setFd(m_session, fd) != 1) {
        why = api.lastError();
        return false;
    }
    if (isAddress(host)) {
        api.expectAddress(api.parameters(m_session), name.constData());
    } else {
        api.sessionControl(m_session, SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name,
                           const_cast<char*>(name.constData()));
        api.expectHost(m_session, name.constData());
    }
    return true;
}

bool TlsSession::loadWorkstationCertificate(const TlsFiles& files, QString& why) {
    if (files.certificate.isEmpty() && files.key.isEmpty())
        return true;
    const OpenSsl& api = openSsl();
    if (files.certificate.isEmpty() || files.key.isEmpty()) {
        why = QStringLiteral("[RED] CERTIFICADO y CLAVE van juntos: falta uno de los dos");
        return false;
    }
    why = keyExposure(files.key);
    if (!why.isEmpty())
        return false;
    const QByteArray certificate = QFile::encodeName(files.certificate);
    const QByteArray key = QFile::encodeName(files.key);
    if (api.useCertificateFile(m_context, certificate.constData()) != 1)
        why = QStringLiteral("no se pudo leer el certificado %1: %2")
                  .arg(files.certificate, api.lastError());
    else if (api.useKeyFile(m_context, key.constData(), SSL_FILETYPE_PEM) != 1)
        why = QStringLiteral("no se pudo leer la clave %1: %2").arg(files.key, api.lastError());
    else if (api.checkKey(m_context) != 1)
        why = QStringLiteral("la clave %1 no es la del certificado %2")
                  .arg(files.key, files.certificate);
    m_presented = why.isEmpty();
    return m_presented;
}

TlsSession::Progress TlsSession::handshake() {
    const OpenSsl& api = openSsl();
    const int result = api.connect(m_session);
    if (result == 1)
        return Progress::Done;
    switch (api.error(m_session, result)) {
    case SSL_ERROR_WANT_READ:
        return Progress::WantRead;
    case SSL_ERROR_WANT_WRITE:
        return Progress::WantWrite;
    default:
        m_failure = handshakeFailure(result);
        return Progress::Failed;
    }
}

QString TlsSession::handshakeFailure(int result) {
    const OpenSsl& api = openSsl();
    const long verified = api.verifyResult(m_session);
    const unsigned long error = api.takeError();
    if (verified == X509_V_ERR_HOSTNAME_MISMATCH || verified == X509_V_ERR_IP_ADDRESS_MISMATCH)
        return QStringLiteral("el certificado del servidor no es de %1 (%2)")
            .arg(m_host, QString::fromUtf8(api.verifyText(verified)));
    if (verified != X509_V_OK)
        return QStringLiteral("el certificado del servidor no es de confianza (%1)")
            .arg(QString::fromUtf8(api.verifyText(verified)));
    m_uncleanEnd = error == 0 || isUnexpectedEnd(error);
    const QString refused = refusal();
    if (!refused.isEmpty())
        return refused;
    return QStringLiteral("no se pudo cifrar la conexión (%1)")
        .arg(error != 0 ? api.describe(error) : QStringLiteral("error %1").arg(result));
}

qint64 TlsSession::read(char* into, qint64 size) {
    const OpenSsl& api = openSsl();
    const int result = api.read(m_session, into, int(std::min<qint64>(size, INT_MAX)));
    if (result > 0) {
        m_anythingRead = true;
        return result;
    }
    switch (api.error(m_session, result)) {
    case SSL_ERROR_WANT_READ:
    case SSL_ERROR_WANT_WRITE:
        return -1;
    case SSL_ERROR_ZERO_RETURN:
        return 0;
    case SSL_ERROR_SYSCALL:
        m_uncleanEnd = true;
        api.clearErrors();
        return 0;
    default:
        break;
    }
    const unsigned long error = api.takeError();
    if (isUnexpectedEnd(error)) {
        m_uncleanEnd = true;
        return 0;
    }
    m_failure = QStringLiteral("error del cifrado (%1)").arg(api.describe(error));
    return -2;
}

qint64 TlsSession::write(const char* from, qint64 size) {
    const OpenSsl& api = openSsl();
    const int result = api.write(m_session, from, int(std::min<qint64>(size, INT_MAX)));
    if (result > 0)
        return result;
    const int error = api.error(m_session, result);
    m_wantsRead = error == SSL_ERROR_WANT_READ;
    if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE)
        return -1;
    m_failure = QStringLiteral("error del cifrado (%1)").arg(api.lastError());
    return -2;
}

void TlsSession::close() {
    if (std::exchange(m_closed, true) || !m_session)
        return;
    openSsl().shutdown(m_session);
    openSsl().clearErrors();
}

// ser2net says nothing when it refuses a workstation: it closes the connection
// right after the handshake, without TLS's goodbye.
QString TlsSession::refusal() const {
    if (m_anythingRead || !m_uncleanEnd)
        return {};
    if (!m_certificateRequested)
        return {};
    if (m_presented)
        return QStringLiteral("el banco de módems no aceptó el certificado de este puesto");
    return QStringLiteral("el banco de módems exige un certificado de este puesto ([RED] "
                          "CERTIFICADO y CLAVE)");
}
