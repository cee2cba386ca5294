// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// OpenSSL, opened the first time a TLS target is dialled instead of linked:
// libcrypto alone is several megabytes that a dial on a local port or plain
// RFC 2217 must not load. Only the entry points the TLS line uses.
#pragma once

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <QString>

struct OpenSsl {
    decltype(&TLS_client_method) clientMethod = nullptr;
    decltype(&SSL_CTX_new) contextNew = nullptr;
    decltype(&SSL_CTX_free) contextFree = nullptr;
    decltype(&SSL_CTX_ctrl) contextControl = nullptr;
    decltype(&SSL_CTX_set_verify) setVerify = nullptr;
    decltype(&SSL_CTX_set_default_verify_paths) useSystemStore = nullptr;
    decltype(&SSL_CTX_load_verify_locations) useAuthorityFile = nullptr;
    decltype(&SSL_CTX_use_certificate_chain_file) useCertificateFile = nullptr;
    decltype(&SSL_CTX_use_PrivateKey_file) useKeyFile = nullptr;
    decltype(&SSL_CTX_check_private_key) checkKey = nullptr;
    decltype(&SSL_CTX_set_cert_cb) onCertificateRequest = nullptr;
    decltype(&SSL_new) sessionNew = nullptr;
    decltype(&SSL_free) sessionFree = nullptr;
    decltype(&SSL_set_fd) setFd = nullptr;
    decltype(&SSL_ctrl) sessionControl = nullptr;
    decltype(&SSL_set1_host) expectHost = nullptr;
    decltype(&SSL_get0_param) parameters = nullptr;
    decltype(&SSL_connect) connect = nullptr;
    decltype(&SSL_read) read = nullptr;
    decltype(&SSL_write) write = nullptr;
    decltype(&SSL_get_error) error = nullptr;
    decltype(&SSL_shutdown) shutdown = nullptr;
    decltype(&SSL_get_verify_result) verifyResult = nullptr;
    decltype(&X509_VERIFY_PARAM_set1_ip_asc) expectAddress = nullptr;
    decltype(&X509_verify_cert_error_string) verifyText = nullptr;
    decltype(&ERR_get_error) nextError = nullptr;
    decltype(&ERR_error_string_n) errorText = nullptr;
    decltype(&ERR_clear_error) clearErrors = nullptr;
    QString failure; // why OpenSSL could not be loaded; empty when it was

    // The oldest error OpenSSL queued (0 for none), and the queue cleared.
    unsigned long takeError() const;
    QString describe(unsigned long error) const;
    // takeError() described.
    QString lastError() const { return describe(takeError()); }
};

// Loaded once; failure says why when it could not be.
const OpenSsl& openSsl();
