#include "commandline.h"

// Nothing to reserve: a Windows program's standard handles are not numbers
// that a later open could take.
ClosedStandardStreams ReserveStandardStreams()
{
    return {};
}
