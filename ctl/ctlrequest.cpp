#include "ctlrequest.h"

#include "ctloptions.h"
#include "jsontext.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

// A session's refusals are written in English and told in the run's language.
struct CtlRequestText
{
    Q_DECLARE_TR_FUNCTIONS(CtlRequest)
};

CtlRequest refused(const QString &error)
{
    CtlRequest request;
    request.error = error;
    return request;
}

// A JSON value as text: a whole number in digits, however large, as the
// command line takes it, anything else as JSON has it ("40", null).
QString jsonText(const QJsonValue &value)
{
    if (value.isDouble() && std::trunc(value.toDouble()) == value.toDouble())
        return QString::number(value.toDouble(), 'f', 0);
    return JsonValueText(value);
}

// The first number in node, in the order written, that has a fraction or
// an exponent, and the last key written before it; null for none.
const JsonNode *notWholeNumber(const QByteArray &line, const JsonNode &node, QString *key)
{
    for (size_t i = 0; i < node.items.size(); ++i) {
        if (node.kind == '{')
            *key = node.keys.at(qsizetype(i));
        if (const JsonNode *number = notWholeNumber(line, node.items.at(i), key))
            return number;
    }
    const QByteArray text = node.textIn(line);
    const bool isNumber = node.kind == '-' || (node.kind >= '0' && node.kind <= '9');
    return isNumber && (text.contains('.') || text.contains('e') || text.contains('E')) ? &node : nullptr;
}

// What Qt's reader lets through and a request must not hold, in a line it
// has read: the first in the line of what the strict reader finds (a key
// given twice, an escape JSON does not know) and of a number with a
// fraction or an exponent, which the command line refuses too.
QString strictError(const QByteArray &line)
{
    QList<JsonFault> faults;
    const JsonNode top = ReadJsonText(line, &faults);
    QString key; // what a number is given for
    const JsonNode *number = notWholeNumber(line, top, &key);
    if (!faults.isEmpty() && (!number || faults.first().offset < number->begin)) {
        const JsonFault &fault = faults.first();
        return fault.key.isEmpty() ? fault.text
                                   : CtlRequestText::tr("\"%1\" is given twice; a request names each key once").arg(fault.key);
    }
    if (number)
        return CtlRequestText::tr("%1: \"%2\" is not a whole number; nothing was sent")
            .arg(key, QString::fromUtf8(number->textIn(line)));
    return QString();
}

} // namespace

CtlRequest ParseCtlRequest(const QByteArray &line)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(line, &parseError);
    if (!document.isObject())
        return refused(CtlRequestText::tr("a request is one JSON object on a line: %1")
                           .arg(parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                                             : QString::fromUtf8(line.trimmed())));
    if (const QString error = strictError(line); !error.isEmpty())
        return refused(error);
    const QJsonObject object = document.object();
    const QString opName = object.value(QLatin1String("op")).toString();
    static const QStringList ops = {QStringLiteral("set"), QStringLiteral("get"), QStringLiteral("off"),
                                    QStringLiteral("watch"), QStringLiteral("close"), QStringLiteral("preset")};
    if (!ops.contains(opName))
        return refused(CtlRequestText::tr("\"op\" is one of set, get, off, watch, close and preset, not %1")
                           .arg(jsonText(object.value(QLatin1String("op")))));

    CtlRequest request;
    request.op = CtlOp(ops.indexOf(opName));
    // What each op takes besides "op"; any other key is most likely a typing
    // error, which must not pass for a request that was done.
    QStringList keys;
    if (request.op == CtlOp::Set)
        keys = {QStringLiteral("values"), QStringLiteral("verify")};
    else if (request.op == CtlOp::Watch)
        keys = {QStringLiteral("on")};
    else if (request.op == CtlOp::Preset)
        keys = {QStringLiteral("name"), QStringLiteral("verify")};
    for (auto it = object.begin(); it != object.end(); ++it)
        if (it.key() != QLatin1String("op") && !keys.contains(it.key()))
            return refused(CtlRequestText::tr("%1 takes no \"%2\"").arg(opName, it.key()));

    switch (request.op) {
    case CtlOp::Set:
    case CtlOp::Preset: {
        const QJsonValue verify = object.value(QLatin1String("verify"));
        if (!verify.isUndefined() && !verify.isBool())
            return refused(CtlRequestText::tr("\"verify\" is true or false"));
        request.verify = verify.toBool();
        if (request.op == CtlOp::Preset) {
            const QJsonValue name = object.value(QLatin1String("name"));
            if (!name.isString())
                return refused(CtlRequestText::tr("preset needs \"name\", the preset's name in quotes"));
            request.preset = name.toString();
            break;
        }
        const QJsonObject values = object.value(QLatin1String("values")).toObject();
        if (values.isEmpty())
            return refused(CtlRequestText::tr("set needs \"values\" with at least one of frequency, ch1, ch2, ch3"));
        for (auto it = values.begin(); it != values.end(); ++it) {
            const int *code = std::find_if(std::begin(CDimraProtocol::kValueCodes), std::end(CDimraProtocol::kValueCodes),
                                           [&it](int c) { return CDimraProtocol::ValueKey(c) == it.key(); });
            if (code == std::end(CDimraProtocol::kValueCodes))
                return refused(CtlRequestText::tr("there is no value \"%1\"; the values are frequency, ch1, ch2 and ch3")
                                   .arg(it.key()));
            if (!it.value().isDouble())
                return refused(CtlRequestText::tr("%1: %2 is not a number; nothing was sent").arg(it.key(), jsonText(it.value())));
            QString error;
            request.values[*code] = CtlValueInRange(*code, jsonText(it.value()), &error);
            if (!request.values[*code])
                return refused(CtlRequestText::tr("%1: %2; nothing was sent").arg(it.key(), error));
        }
        break;
    }
    case CtlOp::Off:
        request.values = kCtlOffValues;
        break;
    case CtlOp::Watch: {
        const QJsonValue on = object.value(QLatin1String("on"));
        if (!on.isBool())
            return refused(CtlRequestText::tr("watch needs \"on\": true or false"));
        request.on = on.toBool();
        break;
    }
    case CtlOp::Get:
    case CtlOp::Close:
        break;
    }
    return request;
}
