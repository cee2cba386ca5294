// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "openssl.h"

#include "runtimelibrary.h"

namespace {

void resolveSsl(RuntimeLibrary& ssl, OpenSsl& api) {
    ssl.resolve("TLS_client_method", api.clientMethod);
    ssl.resolve("SSL_CTX_new", api.contextNew);
    ssl.resolve("SSL_CTX_free", api.contextFree);
    ssl.resolve("SSL_CTX_ctrl", api.contextControl);
    ssl.resolve("SSL_CTX_set_verify", api.setVerify);
    ssl.resolve("SSL_CTX_set_default_verify_paths", api.useSystemStore);
    ssl.resolve("SSL_CTX_load_verify_locations", api.useAuthorityFile);
    ssl.resolve("SSL_CTX_use_certificate_chain_file", api.useCertificateFile);
    ssl.resolve("SSL_CTX_use_PrivateKey_file", api.useKeyFile);
    ssl.resolve("SSL_CTX_check_private_key", api.checkKey);
    ssl.resolve("SSL_CTX_set_cert_cb", api.onCertificateRequest);
    ssl.resolve("SSL_new", api.sessionNew);
    ssl.resolve("SSL_free", api.sessionFree);
    ssl.resolve("SSL_set_fd", api.setFd);
    ssl.resolve("SSL_ctrl", api.sessionControl);
    ssl.resolve("SSL_set1_host", api.expectHost);
    ssl.resolve("SSL_get0_param", api.parameters);
    ssl.resolve("SSL_connect", api.connect);
    ssl.resolve("SSL_read", api.read);
    ssl.resolve("SSL_write", api.write);
    ssl.resolve("SSL_get_error", api.error);
    ssl.resolve("SSL_shutdown", api.shutdown);
    ssl.resolve("SSL_get_verify_result", api.verifyResult);
}

void resolveCrypto(RuntimeLibrary& crypto, OpenSsl& api) {
    crypto.resolve("X509_VERIFY_PARAM_set1_ip_asc", api.expectAddress);
    crypto.resolve("X509_verify_cert_error_string", api.verifyText);
    crypto.resolve("ERR_get_error", api.nextError);
    crypto.resolve("ERR_error_string_n", api.errorText);
    crypto.resolve("ERR_clear_error", api.clearErrors);
}

OpenSsl load() {
    OpenSsl api;
    // libssl brings libcrypto in; both stay for the rest of the process.
    RuntimeLibrary ssl("ssl", 3);
    RuntimeLibrary crypto("crypto", 3);
    resolveSsl(ssl, api);
    resolveCrypto(crypto, api);
    if (!ssl.complete() || !crypto.complete())
        api.failure = QStringLiteral("no se pudo cargar OpenSSL (%1)")
                          .arg(ssl.complete() ? crypto.failure() : ssl.failure());
    return api;
}

} // namespace

unsigned long OpenSsl::takeError() const {
    const unsigned long error = nextError();
    clearErrors();
    return error;
}

QString OpenSsl::describe(unsigned long error) const {
    if (error == 0)
        return {};
    char text[256];
    errorText(error, text, sizeof text);
    return QString::fromUtf8(text);
}

const OpenSsl& openSsl() {
    static const OpenSsl api = load();
    return api;
}
