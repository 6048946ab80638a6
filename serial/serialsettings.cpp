#include "serialsettings.h"

#include <QStringList>
#include <algorithm>

namespace {

std::optional<QSerialPort::Parity> parseParity(const QString &field)
{
    if (field.size() != 1)
        return std::nullopt;
    switch (field.at(0).toLower().unicode()) {
    case 'n': return QSerialPort::NoParity;
    case 'e': return QSerialPort::EvenParity;
    case 'o': return QSerialPort::OddParity;
    case 'm': return QSerialPort::MarkParity;
    case 's': return QSerialPort::SpaceParity;
    default: return std::nullopt;
    }
}

std::optional<QSerialPort::DataBits> parseDataBits(const QString &field)
{
    if (field == QLatin1String("5")) return QSerialPort::Data5;
    if (field == QLatin1String("6")) return QSerialPort::Data6;
    if (field == QLatin1String("7")) return QSerialPort::Data7;
    if (field == QLatin1String("8")) return QSerialPort::Data8;
    return std::nullopt;
}

std::optional<QSerialPort::StopBits> parseStopBits(const QString &field)
{
    if (field == QLatin1String("1")) return QSerialPort::OneStop;
    if (field == QLatin1String("1.5")) return QSerialPort::OneAndHalfStop;
    if (field == QLatin1String("2")) return QSerialPort::TwoStop;
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
    const int stopBits = settings.stopBits == QSerialPort::OneStop ? 1 : 2;
    const int bits = 1 + int(settings.dataBits) + (settings.parity == QSerialPort::NoParity ? 0 : 1) + stopBits;
    return 1e6 * bits / std::max<qint32>(settings.baudRate, 1);
}
