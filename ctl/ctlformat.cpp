#include "ctlformat.h"

#include "ctlexit.h"
#include "dimraprotocol.h"
#include "jsontext.h"

#include <QStringList>

namespace {

QString jsonValue(const std::optional<int> &value)
{
    return value ? QString::number(*value) : QStringLiteral("null");
}

QString textValue(int code, const std::optional<int> &value)
{
    if (!value)
        return QStringLiteral("%1 unknown").arg(CDimraProtocol::ValueKey(code));
    return QStringLiteral("%1 %2 %3")
        .arg(CDimraProtocol::ValueKey(code))
        .arg(*value)
        .arg(code == CDimraProtocol::CmdFrequency ? QStringLiteral("Hz") : QStringLiteral("%"));
}

// The values a preset sets, as a JSON object.
QString presetJson(const Preset &preset)
{
    QStringList values;
    for (int code : CDimraProtocol::kValueCodes)
        if (preset.values[code])
            values.append(QStringLiteral("\"%1\":%2").arg(CDimraProtocol::ValueKey(code)).arg(*preset.values[code]));
    return QStringLiteral("{\"name\":%1,\"values\":{%2}}")
        .arg(JsonValueText(preset.name), values.join(QLatin1Char(',')));
}

// A list's lines printed whole: one JSON array, an item a line, or the
// lines as they are; an empty list is [] or nothing.
QString listed(const QStringList &lines, bool json)
{
    if (json)
        return lines.isEmpty() ? QStringLiteral("[\n]\n") : QStringLiteral("[\n%1\n]\n").arg(lines.join(QStringLiteral(",\n")));
    return lines.isEmpty() ? QString() : lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace

QString FormatValues(const BoardValues &values, bool json)
{
    QStringList parts;
    for (int code : CDimraProtocol::kValueCodes)
        parts.append(json ? QStringLiteral("\"%1\":%2").arg(CDimraProtocol::ValueKey(code), jsonValue(values[code]))
                          : textValue(code, values[code]));
    return json ? QStringLiteral("{%1}\n").arg(parts.join(QLatin1Char(','))) : parts.join(QLatin1Char('\n')) + '\n';
}

QString FormatReply(int code, int value, bool json)
{
    return json ? QStringLiteral("{\"%1\":%2}\n").arg(CDimraProtocol::ValueKey(code)).arg(value) : textValue(code, value) + '\n';
}

QString FormatPorts(const CommPortTargets &targets, bool json)
{
    QStringList lines;
    for (auto it = targets.cbegin(); it != targets.cend(); ++it) {
        const CommPortTarget &target = *it;
        const QString port = CommPortName(it.key());
        // A port without a stable name is known by its device alone.
        const QString stable = target.identity != target.device ? target.identity : QString();
        if (json)
            lines << QStringLiteral("{\"port\":%1,\"entry\":%2,\"device\":%3,\"stable\":%4,\"description\":%5}")
                         .arg(JsonValueText(port), JsonValueText(CommPortEntryText(it.key(), target)),
                              target.device.isEmpty() ? QStringLiteral("null") : JsonValueText(target.device),
                              stable.isEmpty() ? QStringLiteral("null") : JsonValueText(stable),
                              JsonValueText(target.description));
        else
            lines << QStringLiteral("%1\t%2\t%3\t%4")
                         .arg(port, target.device.isEmpty() ? QStringLiteral("-") : target.device,
                              stable.isEmpty() ? QStringLiteral("-") : stable, target.description);
    }
    return listed(lines, json);
}

QString FormatBrokerBoards(const QList<BrokerBoard> &boards, const RemoteAddress &broker, bool json)
{
    QStringList lines;
    for (const BrokerBoard &board : boards) {
        RemoteAddress address = broker;
        address.boardId = board.id;
        if (json)
            lines << QStringLiteral("{\"port\":%1,\"id\":%2,\"name\":%3,\"bridge\":%4,\"online\":%5}")
                         .arg(JsonValueText(address.text()), JsonValueText(board.id),
                              board.name.isEmpty() ? QStringLiteral("null") : JsonValueText(board.name),
                              board.bridge.isEmpty() ? QStringLiteral("null") : JsonValueText(board.bridge),
                              board.online ? QStringLiteral("true") : QStringLiteral("false"));
        else
            lines << QStringLiteral("%1\t%2\t%3\t%4\t%5")
                         .arg(address.text(), board.id, board.name.isEmpty() ? QStringLiteral("-") : board.name,
                              board.bridge.isEmpty() ? QStringLiteral("-") : board.bridge,
                              board.online ? QStringLiteral("online") : QStringLiteral("offline"));
    }
    return listed(lines, json);
}

QString FormatAnswer(const BoardValues *values, const QString &message)
{
    QString answer = QStringLiteral("{\"ok\":true");
    if (values)
        answer += QStringLiteral(",\"values\":") + FormatValues(*values, true).chopped(1);
    if (!message.isEmpty())
        answer += QStringLiteral(",\"message\":") + JsonValueText(message);
    return answer + QStringLiteral("}\n");
}

QString FormatErrorAnswer(int exitCode, const QString &message, const QString &details)
{
    QString error = QStringLiteral("\"exit_code\":%1,\"kind\":\"%2\",\"message\":%3")
                        .arg(exitCode)
                        .arg(QLatin1String(ExitKindName(exitCode)), JsonValueText(message));
    if (!details.isEmpty())
        error += QStringLiteral(",\"details\":") + JsonValueText(details);
    return QStringLiteral("{\"ok\":false,\"error\":{%1}}\n").arg(error);
}

QString FormatLinkedEvent(const QString &device)
{
    return QStringLiteral("{\"event\":\"linked\",\"device\":%1}\n").arg(JsonValueText(device));
}

QString FormatReportEvent(int code, int value)
{
    return QStringLiteral("{\"event\":\"report\",\"values\":%1}\n").arg(FormatReply(code, value, true).chopped(1));
}

QString FormatPresets(const QList<Preset> &presets, bool json)
{
    QStringList lines;
    for (const Preset &preset : presets) {
        if (json) {
            lines << presetJson(preset);
            continue;
        }
        QStringList columns{preset.name};
        for (int code : CDimraProtocol::kValueCodes)
            columns << (preset.values[code] ? QString::number(*preset.values[code]) : QStringLiteral("-"));
        lines << columns.join(QLatin1Char('\t'));
    }
    return listed(lines, json);
}

QString FormatPreset(const Preset &preset, bool json)
{
    if (json)
        return presetJson(preset) + QLatin1Char('\n');
    QString text;
    for (int code : CDimraProtocol::kValueCodes)
        if (preset.values[code])
            text += textValue(code, preset.values[code]) + QLatin1Char('\n');
    return text;
}
