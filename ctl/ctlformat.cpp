#include "ctlformat.h"

#include "dimraprotocol.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>

namespace {

QString jsonString(const QString &text)
{
    // Qt's own escaping; the brackets of the one-element array come off.
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

QString jsonValue(const std::optional<int> &value)
{
    return value ? QString::number(*value) : QStringLiteral("null");
}

QString textValue(int code, const std::optional<int> &value)
{
    if (!value)
        return QStringLiteral("%1 unknown").arg(ValueKey(code));
    return QStringLiteral("%1 %2 %3")
        .arg(ValueKey(code))
        .arg(*value)
        .arg(code == CDimraProtocol::CmdFrequency ? QStringLiteral("Hz") : QStringLiteral("%"));
}

} // namespace

QString ValueKey(int code)
{
    return code == CDimraProtocol::CmdFrequency ? QStringLiteral("frequency") : QStringLiteral("ch%1").arg(code);
}

QString FormatValues(const BoardValues &values, bool json)
{
    QStringList parts;
    for (int code : CDimraProtocol::kValueCodes)
        parts.append(json ? QStringLiteral("\"%1\":%2").arg(ValueKey(code), jsonValue(values[code]))
                          : textValue(code, values[code]));
    return json ? QStringLiteral("{%1}\n").arg(parts.join(QLatin1Char(','))) : parts.join(QLatin1Char('\n')) + '\n';
}

QString FormatReply(int code, int value, bool json)
{
    return json ? QStringLiteral("{\"%1\":%2}\n").arg(ValueKey(code)).arg(value) : textValue(code, value) + '\n';
}

QString FormatPort(int n, const CommPortTarget &target, bool json)
{
    const QString port = QStringLiteral("COM%1").arg(n);
    if (json)
        return QStringLiteral("{\"port\":%1,\"device\":%2,\"description\":%3}\n")
            .arg(jsonString(port), target.device.isEmpty() ? QStringLiteral("null") : jsonString(target.device),
                 jsonString(target.description));
    return QStringLiteral("%1\t%2\t%3\n")
        .arg(port, target.device.isEmpty() ? QStringLiteral("-") : target.device, target.description);
}
