#include "JsonReply.h"

#include <QJsonDocument>
#include <QJsonValue>

#include "TextHelpers.h"

namespace {

Result<QString> AsText(const QJsonValue& v, const QString& name)
{
    switch (v.type()) {
    case QJsonValue::String: return v.toString();
    case QJsonValue::Bool: return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Double: return QString::fromStdString(textutil::NumberToString(v.toDouble()));
    case QJsonValue::Undefined: return Fail("no member " + name.toStdString());
    default: return Fail("member " + name.toStdString() + " is not a string, number or boolean");
    }
}

} // namespace

JsonReply ReadJsonReply(const QString& text)
{
    JsonReply reply;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError) {
        reply.problem_ = "the reply is not JSON: " + error.errorString().toStdString();
    } else if (!doc.isObject()) {
        reply.problem_ = "the reply is not a JSON object";
    } else {
        reply.problem_.clear();
        reply.root_ = doc.object();
    }
    return reply;
}

Result<QString> JsonReply::Member(const QString& name) const
{
    if (!IsObject()) return Fail(problem_);
    return AsText(root_.value(name), name);
}

Result<QString> JsonReply::Member(const QString& object, const QString& name) const
{
    if (!IsObject()) return Fail(problem_);
    const QJsonValue inner = root_.value(object);
    if (!inner.isObject()) return Fail("member " + object.toStdString() + " is not an object");
    return AsText(inner.toObject().value(name), object + u'.' + name);
}
