#pragma once

// The application: prepares the process and runs the dimmer dialog modally.
// The modal run is the program's whole life.
class CMyDimraApp
{
public:
    // Runs the dialog to its end. Returns false: the process ends then.
    bool InitInstance();
};
