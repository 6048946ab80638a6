#include "systemcas.h"

// Windows' headers first: OpenSSL's undo the names wincrypt.h takes from it.
#include <windows.h>
#include <wincrypt.h>

#include <mosquitto.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

namespace {

// Windows' trusted roots, read once for the process and shared by every
// context (a store is counted by reference).
X509_STORE *windowsRoots()
{
    static X509_STORE *const roots = [] {
        X509_STORE *store = X509_STORE_new();
        if (HCERTSTORE system = CertOpenSystemStoreW(0, L"ROOT")) {
            PCCERT_CONTEXT context = nullptr;
            while ((context = CertEnumCertificatesInStore(system, context)) != nullptr) {
                const unsigned char *der = context->pbCertEncoded;
                if (X509 *certificate = d2i_X509(nullptr, &der, long(context->cbCertEncoded))) {
                    X509_STORE_add_cert(store, certificate); // a certificate there twice is no failure
                    X509_free(certificate);
                }
            }
            CertCloseStore(system, 0);
        }
        return store;
    }();
    return roots;
}

int verify(int ok, X509_STORE_CTX *store)
{
    const int error = X509_STORE_CTX_get_error(store);
    if (!ok && (error == X509_V_ERR_HOSTNAME_MISMATCH || error == X509_V_ERR_IP_ADDRESS_MISMATCH)) {
        auto *ssl = static_cast<SSL *>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
        if (auto *nameMismatch = static_cast<bool *>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl))))
            *nameMismatch = true;
    }
    return ok;
}

} // namespace

int TrustSystemCas(mosquitto *mosq, const QString &host, bool *nameMismatch)
{
    SSL_CTX *context = SSL_CTX_new(TLS_client_method());
    if (!context)
        return MOSQ_ERR_TLS;
    // As libmosquitto sets up its own: TLS 1.2 at least, no compression.
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_options(context, SSL_OP_NO_COMPRESSION);
    SSL_CTX_set1_cert_store(context, windowsRoots());
    // libmosquitto checks a name only in a context of its own.
    const QByteArray name = host.toUtf8();
    X509_VERIFY_PARAM *check = SSL_CTX_get0_param(context);
    if (X509_VERIFY_PARAM_set1_ip_asc(check, name.constData()) != 1)
        X509_VERIFY_PARAM_set1_host(check, name.constData(), size_t(name.size()));
    SSL_CTX_set_app_data(context, nameMismatch);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, verify);
    int rc = mosquitto_int_option(mosq, MOSQ_OPT_SSL_CTX_WITH_DEFAULTS, 0);
    if (rc == MOSQ_ERR_SUCCESS)
        rc = mosquitto_void_option(mosq, MOSQ_OPT_SSL_CTX, context);
    SSL_CTX_free(context); // libmosquitto holds its own reference
    return rc;
}
