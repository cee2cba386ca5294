// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "openssl.h"

#include <dlfcn.h>

namespace {

// Looks entry points up in one library; complete while every one was found.
struct Resolver {
    void* library;
    bool complete = true;

    template <typename Function> void operator()(const char* name, Function& function) {
        function = library ? reinterpret_cast<Function>(::dlsym(library, name)) : nullptr;
        complete = complete && function;
    }
};

void resolveSsl(Resolver& ssl, OpenSsl& api) {
    ssl("TLS_client_method", api.clientMethod);
    ssl("SSL_CTX_new", api.contextNew);
    ssl("SSL_CTX_free", api.contextFree);
    ssl("SSL_CTX_ctrl", api.contextControl);
    ssl("SSL_CTX_set_verify", api.setVerify);
    ssl("SSL_CTX_set_default_verify_paths", api.useSystemStore);
    ssl("SSL_CTX_load_verify_locations", api.useAuthorityFile);
    ssl("SSL_CTX_use_certificate_chain_file", api.useCertificateFile);
    ssl("SSL_CTX_use_PrivateKey_file", api.useKeyFile);
    ssl("SSL_CTX_check_private_key", api.checkKey);
    ssl("SSL_CTX_set_cert_cb", api.onCertificateRequest);
    ssl("SSL_new", api.sessionNew);
    ssl("SSL_free", api.sessionFree);
    ssl("SSL_set_fd", api.setFd);
    ssl("SSL_ctrl", api.sessionControl);
    ssl("SSL_set1_host", api.expectHost);
    ssl("SSL_get0_param", api.parameters);
    ssl("SSL_connect", api.connect);
    ssl("SSL_read", api.read);
    ssl("SSL_write", api.write);
    ssl("SSL_get_error", api.error);
    ssl("SSL_shutdown", api.shutdown);
    ssl("SSL_get_verify_result", api.verifyResult);
}

void resolveCrypto(Resolver& crypto, OpenSsl& api) {
    crypto("X509_VERIFY_PARAM_set1_ip_asc", api.expectAddress);
    crypto("X509_verify_cert_error_string", api.verifyText);
    crypto("ERR_get_error", api.nextError);
    crypto("ERR_error_string_n", api.errorText);
    crypto("ERR_clear_error", api.clearErrors);
}

OpenSsl load() {
    OpenSsl api;
    // libssl brings libcrypto in; both stay for the rest of the process.
    Resolver ssl{::dlopen("libssl.so.3", RTLD_NOW | RTLD_LOCAL)};
    Resolver crypto{ssl.library ? ::dlopen("libcrypto.so.3", RTLD_NOW | RTLD_LOCAL) : nullptr};
    resolveSsl(ssl, api);
    resolveCrypto(crypto, api);
    if (!ssl.complete || !crypto.complete) {
        const char* why = ::dlerror();
        api.failure =
            QStringLiteral("no se pudo cargar OpenSSL (%1)")
                .arg(why ? QString::fromLocal8Bit(why) : QStringLiteral("libssl.so.3 incompleta"));
    }
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
