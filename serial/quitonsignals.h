#pragma once

class QCoreApplication;

// SIGINT, SIGTERM and SIGHUP (the terminal closed) end the application's
// event loop (exit code 0), so that the program cleans up as after a normal
// end. The handler only writes a byte to a pipe; the loop reads it. False
// when the pipe cannot be made. Where there are no such signals
// (quitonsignals_win.cpp) it does nothing.
bool QuitOnSignals(QCoreApplication *app);
