#include "serialsettings.h"

#include <QStringList>
#include <algorithm>

namespace {

std::optional<SerialSettings::Parity> parseParity(const QString &field)
{
    if (field.size() != 1)
        return std::nullopt;
    switch (field.at(0).toLower().unicode()) {
    case 'n': return SerialSettings::NoParity;
    case 'e': return SerialSettings::EvenParity;
    case 'o': return SerialSettings::OddParity;
    case 'm': return SerialSettings::MarkParity;
    case 's': return SerialSettings::SpaceParity;
    default: return std::nullopt;
    }
}

std::optional<int> parseDataBits(const QString &field)
{
    if (field.size() == 1 && field.at(0) >= QLatin1Char('5') && field.at(0) <= QLatin1Char('8'))
        return field.at(0).unicode() - '0';
    return std::nullopt;
}

std::optional<SerialSettings::StopBits> parseStopBits(const QString &field)
{
    if (field == QLatin1String("1")) return SerialSettings::OneStop;
    if (field == QLatin1String("1.5")) return SerialSettings::OneAndHalfStop;
    if (field == QLatin1String("2")) return SerialSettings::TwoStop;
    return std::nullopt;
}

} // namespace

std::optional<SerialSettings> ParseSerialSettings(const QString &text)
{
    const QStringList fields = text.split(QLatin1Char(','));
    if (fields.size() != 4)
        return std::nullopt;

    const QString baudText = fields.at(0).trimmed();
    bool ok = false;
    const qint32 baud = baudText.toInt(&ok);
    // toInt accepts a sign; a baud rate is plain digits.
    if (!ok || baud <= 0 || !baudText.at(0).isDigit())
        return std::nullopt;

    const auto parity = parseParity(fields.at(1).trimmed());
    const auto dataBits = parseDataBits(fields.at(2).trimmed());
    const auto stopBits = parseStopBits(fields.at(3).trimmed());
    if (!parity || !dataBits || !stopBits)
        return std::nullopt;

    return SerialSettings{baud, *parity, *dataBits, *stopBits};
}

double ByteTimeUs(const SerialSettings &settings)
{
    const int stopBits = settings.stopBits == SerialSettings::OneStop ? 1 : 2;
    const int bits = 1 + settings.dataBits + (settings.parity == SerialSettings::NoParity ? 0 : 1) + stopBits;
    return 1e6 * bits / std::max<qint32>(settings.baudRate, 1);
}
