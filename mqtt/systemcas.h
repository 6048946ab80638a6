#pragma once

#include <QString>

struct mosquitto;

// Has the client check the broker's certificate against the system's CAs,
// and that it is made out to host. On Linux that is OpenSSL's own store,
// which libmosquitto loads. On Windows OpenSSL has no store of its own (its
// built-in folder is a Linux path): the CAs are Windows' root store, loaded
// into a TLS context of the client's own, which checks the host's name too
// and sets nameMismatch when the certificate names another host. Returns
// libmosquitto's error code.
int TrustSystemCas(mosquitto *mosq, const QString &host, bool *nameMismatch);
