#include "brokerboards.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>

namespace {

const QByteArray kOnline = "online";

} // namespace

QStringList BrokerBoardTopics()
{
    return {QStringLiteral("dimra/+/availability"), QStringLiteral("dimra/+/state"), QStringLiteral("dimra/bridge/+/status"),
            QStringLiteral("dimra/bridge/+/boards"), QStringLiteral("+/light/+/ch1/config")};
}

QList<BrokerBoard> BrokerBoards(const QList<RetainedMessage> &kept)
{
    QMap<QString, BrokerBoard> boards;
    QHash<QString, QByteArray> availability; // board id -> online / offline
    QHash<QString, bool> stateLinked;        // board id -> its state says linked
    QHash<QString, QByteArray> statuses;     // bridge id -> its status
    // bridge id -> the boards it lists, by id: of two bridges alike, the
    // same one shows on every run.
    QMap<QString, QStringList> lists;
    QHash<QString, QString> names;           // board id -> the name its discovery config gives
    for (const RetainedMessage &message : kept) {
        const QStringList levels = message.topic.split(QLatin1Char('/'));
        if (levels.size() == 3 && levels[0] == QLatin1String("dimra") && isValidBoardId(levels[1])
            && !message.payload.isEmpty()) {
            boards[levels[1]].id = levels[1];
            if (levels[2] == QLatin1String("availability"))
                availability.insert(levels[1], message.payload);
            else if (levels[2] == QLatin1String("state"))
                stateLinked.insert(levels[1], parseState(message.payload).linked);
        } else if (levels.size() == 4 && levels[0] == QLatin1String("dimra") && levels[1] == QLatin1String("bridge")) {
            if (levels[3] == QLatin1String("status"))
                statuses.insert(levels[2], message.payload);
            else if (const std::optional<QStringList> ids = parseBoardList(message.payload); ids && levels[3] == QLatin1String("boards"))
                lists.insert(levels[2], *ids);
        } else if (levels.size() == 5 && levels[2].startsWith(QLatin1String("dimra_"))) {
            const QJsonObject device = QJsonDocument::fromJson(message.payload).object().value(QLatin1String("device")).toObject();
            names.insert(levels[2].mid(6), device.value(QLatin1String("name")).toString());
        }
    }
    for (auto it = lists.cbegin(); it != lists.cend(); ++it) {
        for (const QString &id : it.value()) {
            BrokerBoard &board = boards[id];
            board.id = id;
            if (board.bridge.isEmpty() || (statuses.value(it.key()) == kOnline && statuses.value(board.bridge) != kOnline))
                board.bridge = it.key();
        }
    }
    for (BrokerBoard &board : boards) {
        board.name = names.value(board.id);
        board.online = availability.value(board.id) == kOnline && stateLinked.value(board.id)
                       && statuses.value(board.bridge) == kOnline;
    }
    return boards.values();
}
