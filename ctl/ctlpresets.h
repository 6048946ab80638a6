#pragma once

#include "ctloptions.h"
#include "ctlrequest.h"
#include "ctlrun.h"
#include "presetfile.h"

#include <QString>
#include <QStringList>

// dimractl's side of the user's presets file (presetfile.h), which the
// Python package reaches through dimractl too: one reader and one writer.
// Each command reads the file afresh, as another program may have changed
// it. A file that cannot be read, a preset that is not there or is left
// out, and a preset that may not be saved are bad usage (2), the message
// naming the file, the line and the reason, or the presets there are; a
// write that fails is an I/O error (1), the file left as it was.

// preset list, show and delete, and save of the values given: the file
// alone, no port. What goes to standard output is put in printed; the
// presets left out of what list and show read, each in a sentence naming
// the file, the line and the preset, in leftOut: told, while the rest work.
CtlOutcome CtlRunPresetCommand(const CtlOptions &options, QString *printed, QStringList *leftOut);

// A session's request to apply a preset, or preset apply: the set of the
// preset's values, with verify as asked; or, where no preset of that name
// works, a request refused with why.
CtlRequest CtlPresetRequest(const QString &name, bool verify);

// preset save --from-board, before the board is asked: done where the
// preset's name is one a preset may have and the file can be read (or is
// not there yet), so that saving may follow.
CtlOutcome CtlPresetCanBeSaved(const QString &name);

// preset save --from-board: the values the board reported, saved as the
// preset name; a value it did not report within timeoutMs saves nothing.
CtlOutcome CtlSaveReportedPreset(const QString &name, const BoardValues &reported, int timeoutMs);
