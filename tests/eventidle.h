#pragma once

#include <functional>

class CAbstractBoardLink;
class CMSComm;

// What a test does before it checks that something did NOT happen: deliver
// every event that is ready, and every event those cause in turn, until a
// pass over the event loop delivers none and nothing is still on its way.
// stillBusy, when given, names work that finishes later from a timer (a
// board pacing its answers, say); while it returns true the wait goes on.
// Returns false, with a warning, when that takes longer than timeoutMs:
// something keeps itself busy.
bool ProcessEventsUntilIdle(const std::function<bool()> &stillBusy = {}, int timeoutMs = 5000);

// The same, and until comm has handed every byte it was given to the driver.
bool ProcessEventsUntilIdle(const CMSComm &comm, const std::function<bool()> &stillBusy = {},
                            int timeoutMs = 5000);

// The same for the port of a board link (a serial one; a link of another
// kind has no port).
bool ProcessEventsUntilIdle(const CAbstractBoardLink &link, const std::function<bool()> &stillBusy = {},
                            int timeoutMs = 5000);
