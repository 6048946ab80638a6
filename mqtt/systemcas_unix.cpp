#include "systemcas.h"

#include <mosquitto.h>

int TrustSystemCas(mosquitto *mosq, const QString &, bool *)
{
    // libmosquitto checks the name itself, and says so in its log.
    return mosquitto_int_option(mosq, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
}
