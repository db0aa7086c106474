#include "JsonReply.h"

#include <QJsonDocument>
#include <QJsonValue>

#include "TextHelpers.h"

namespace {

std::optional<QString> AsText(const QJsonValue& v)
{
    switch (v.type()) {
    case QJsonValue::String: return v.toString();
    case QJsonValue::Bool: return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Double: return QString::fromStdString(textutil::NumberToString(v.toDouble()));
    default: return std::nullopt;
    }
}

} // namespace

JsonReply ReadJsonReply(const QString& text)
{
    JsonReply reply;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error == QJsonParseError::NoError && doc.isObject()) {
        reply.isObject_ = true;
        reply.root_ = doc.object();
    }
    return reply;
}

std::optional<QString> JsonReply::Member(const QString& name) const
{
    if (!isObject_ || !root_.contains(name)) return std::nullopt;
    return AsText(root_.value(name));
}

std::optional<QString> JsonReply::Member(const QString& object, const QString& name) const
{
    if (!isObject_) return std::nullopt;
    const QJsonValue inner = root_.value(object);
    if (!inner.isObject()) return std::nullopt;
    const QJsonObject o = inner.toObject();
    if (!o.contains(name)) return std::nullopt;
    return AsText(o.value(name));
}
