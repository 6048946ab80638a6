#pragma once

#include "dimraoptions.h"

#include <utility>

// The application: prepares the process and runs the dimmer dialog modally.
// The modal run is the program's whole life.
class CMyDimraApp
{
public:
    // With what the command line asked for.
    explicit CMyDimraApp(DimraOptions options = {}) : m_options(std::move(options)) {}

    // Runs the dialog to its end. Returns false: the process ends then.
    bool InitInstance();

private:
    DimraOptions m_options;
};
