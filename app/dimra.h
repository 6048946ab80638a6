#pragma once

// The application: prepares the process and runs the dimmer dialog modally.
// The modal run is the program's whole life.
class CMyDimraApp
{
public:
    // Returns false: the process ends when the dialog closes.
    bool InitInstance();
};
