#include "ctlpresets.h"

#include "ctlformat.h"

#include <QCoreApplication>

namespace {

// Written in English and told in the run's language.
struct CtlPresets
{
    Q_DECLARE_TR_FUNCTIONS(CtlPresets)
};

CtlOutcome badUsage(const QString &message)
{
    return {ExitUsage, message, QString()};
}

CtlOutcome unreadable(const CPresetFile &file)
{
    return badUsage(CtlPresets::tr("the presets file cannot be read: %1\nMend it, then run the command again.")
                        .arg(file.error()));
}

// The preset of that name that works; null, with why, where there is none.
const Preset *lookUp(const CPresetFile &file, const QString &name, CtlOutcome *failure)
{
    if (!file.error().isEmpty()) {
        *failure = unreadable(file);
        return nullptr;
    }
    const Preset *preset = file.find(name);
    if (!preset)
        *failure = badUsage(file.noSuchPresetText(name));
    return preset;
}

CtlOutcome changed(const PresetChange &change)
{
    switch (change.outcome) {
    case PresetChange::Done:
        return CtlOutcome::done();
    case PresetChange::NotWritten:
        return {ExitIo, change.error, QString()};
    case PresetChange::BadPreset:
    case PresetChange::NoSuchPreset:
    case PresetChange::Unreadable:
        break;
    }
    return badUsage(change.error);
}

} // namespace

CtlOutcome CtlRunPresetCommand(const CtlOptions &options, QString *printed, QStringList *leftOut)
{
    CPresetFile file(CPresetFile::userPath());
    CtlOutcome outcome = CtlOutcome::done();
    switch (options.presetAction) {
    case CtlPresetAction::List:
        if (!file.error().isEmpty())
            return unreadable(file);
        *printed = FormatPresets(file.presets(), options.json);
        *leftOut = file.problems();
        break;
    case CtlPresetAction::Show:
        if (const Preset *preset = lookUp(file, options.presetName, &outcome)) {
            *printed = FormatPreset(*preset, options.json);
            *leftOut = file.problems();
        }
        break;
    case CtlPresetAction::Save:
        return changed(file.save({options.presetName, options.values}));
    case CtlPresetAction::Delete:
        return changed(file.remove(options.presetName));
    case CtlPresetAction::Apply: // a set on a board: CtlPresetRequest
        break;
    }
    return outcome;
}

CtlRequest CtlPresetRequest(const QString &name, bool verify)
{
    const CPresetFile file(CPresetFile::userPath());
    CtlRequest request;
    CtlOutcome failure;
    if (const Preset *preset = lookUp(file, name, &failure)) {
        request.op = CtlOp::Set;
        request.values = preset->values;
        request.verify = verify;
    } else {
        request.op = CtlOp::Preset;
        request.preset = name;
        request.error = failure.message;
    }
    return request;
}

CtlOutcome CtlPresetCanBeSaved(const QString &name)
{
    // Any value in range stands in for the board's, to check the name alone.
    Preset preset{name, {}};
    preset.values[CDimraProtocol::CmdChannel1] = Dimra::kDutyMin;
    if (const QString problem = CPresetFile::problemOf(preset); !problem.isEmpty())
        return badUsage(CtlPresets::tr("preset \"%1\": %2; nothing was asked of the board").arg(name, problem));
    const CPresetFile file(CPresetFile::userPath());
    if (!file.error().isEmpty())
        return badUsage(CtlPresets::tr("the presets file cannot be read, and is left as it is until it is mended: "
                                       "%1\nNothing was asked of the board.")
                            .arg(file.error()));
    return CtlOutcome::done();
}

CtlOutcome CtlSaveReportedPreset(const QString &name, const BoardValues &reported, int timeoutMs)
{
    QStringList missing;
    for (int code : CDimraProtocol::kValueCodes)
        if (!reported[code])
            missing.append(CDimraProtocol::ValueKey(code));
    if (!missing.isEmpty())
        return {ExitNoAnswer,
                CtlPresets::tr("the board did not report %1 within %2 ms; nothing was saved.\nCheck that the board "
                               "is powered and connected to this port, or give it longer with -t MS.")
                    .arg(missing.join(CtlPresets::tr(", ", "between the values not reported")))
                    .arg(timeoutMs),
                QString()};
    Preset preset{name, {}};
    for (int code : CDimraProtocol::kValueCodes)
        preset.values[code] = reported[code];
    CPresetFile file(CPresetFile::userPath());
    return changed(file.save(preset));
}
