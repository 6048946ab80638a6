#pragma once

// Asks the system to acknowledge what arrives on a TCP socket at once, until
// it next decides to delay again (Linux re-arms delayed acknowledgements, so
// this is asked after every read). A broker that leaves Nagle's algorithm on,
// as mosquitto does by default, holds each small message back until the
// previous one is acknowledged: without this, a command can wait for the
// delayed acknowledgement, 40 ms.
void acknowledgeAtOnce(int socket);

// How many bytes wait to be read on the socket; -1 when that is unknown.
int bytesWaiting(int socket);
