#include "remoteaddress.h"

#include "bridgemessages.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QUrl>

namespace {

// The addresses' refusals are written in English and told in the run's language.
struct RemoteAddressText
{
    Q_DECLARE_TR_FUNCTIONS(RemoteAddress)
};

constexpr int kMqttPort = 1883;
constexpr int kMqttTlsPort = 8883;

const QString kForm = QStringLiteral("mqtt://[user@]host[:port]/board-id");

} // namespace

QString RemoteAddress::brokerText() const
{
    const QString userPart = user.isEmpty() ? QString() : QString::fromLatin1(QUrl::toPercentEncoding(user)) + '@';
    const QString hostPart = host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(host) : host;
    return QStringLiteral("%1://%2%3:%4").arg(tls ? QStringLiteral("mqtts") : QStringLiteral("mqtt"), userPart, hostPart)
        .arg(port);
}

QString RemoteAddress::text() const
{
    return boardId.isEmpty() ? brokerText() : brokerText() + '/' + boardId;
}

bool IsRemotePortName(const QByteArray &name)
{
    return name.toLower().startsWith("mqtt://") || name.toLower().startsWith("mqtts://");
}

std::optional<RemoteAddress> ParseRemoteAddress(const QString &text, bool boardNamed, QString *error)
{
    // scheme :// [user @] (host | [v6 address]) [: port] [/ board id]
    static const QRegularExpression form(
        QStringLiteral("^(mqtts?)://(?:([^@/]*)@)?(\\[[^\\]/]*\\]|[^@/:\\[\\]]*)(?::([^/:]*))?(?:/(.*))?$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch()) {
        *error = RemoteAddressText::tr("the address is not %1, or mqtts:// for TLS").arg(kForm);
        return std::nullopt;
    }
    RemoteAddress address;
    address.tls = match.captured(1).toLower() == QLatin1String("mqtts");
    if (match.hasCaptured(2)) {
        const QString user = match.captured(2);
        if (user.contains(QLatin1Char(':'))) {
            *error = RemoteAddressText::tr("a password is not written in the address: give it in DIMRA_MQTT_PASSWORD, "
                                           "or in a file that DIMRA_MQTT_PASSWORD_FILE names");
            return std::nullopt;
        }
        address.user = QUrl::fromPercentEncoding(user.toUtf8());
        if (address.user.isEmpty()) {
            *error = RemoteAddressText::tr("the address names no user before its @");
            return std::nullopt;
        }
    }
    address.host = match.captured(3);
    if (address.host.startsWith(QLatin1Char('[')))
        address.host = address.host.mid(1, address.host.size() - 2);
    if (address.host.isEmpty()) {
        *error = RemoteAddressText::tr("the address names no broker: %1").arg(kForm);
        return std::nullopt;
    }
    address.port = address.tls ? kMqttTlsPort : kMqttPort;
    if (match.hasCaptured(4)) {
        bool ok = false;
        address.port = match.captured(4).toInt(&ok, 10);
        if (!ok || address.port < 1 || address.port > 65535) {
            *error = RemoteAddressText::tr("the broker's port is a number from 1 to 65535");
            return std::nullopt;
        }
    }
    address.boardId = match.captured(5);
    if (!boardNamed && !address.boardId.isEmpty()) {
        *error = RemoteAddressText::tr("the address names a board; the broker's alone is mqtt://[user@]host[:port]");
        return std::nullopt;
    }
    if (boardNamed && address.boardId.isEmpty()) {
        *error = RemoteAddressText::tr("the address names no board: %1").arg(kForm);
        return std::nullopt;
    }
    if (boardNamed) {
        if (const std::optional<QString> problem = boardIdProblem(address.boardId)) {
            *error = *problem;
            return std::nullopt;
        }
    }
    return address;
}
