#pragma once
#include <QJsonObject>
#include <QString>
#include <optional>

// A reply of the vendor API, read as JSON and nothing else. Member reads give
// the value as text, or nothing when the member is missing, null, an object or
// an array, or when the reply was not a JSON object at all.
class JsonReply {
public:
    bool IsObject() const { return isObject_; }
    std::optional<QString> Member(const QString& name) const;
    std::optional<QString> Member(const QString& object, const QString& name) const;

private:
    friend JsonReply ReadJsonReply(const QString& text);
    bool isObject_ = false;
    QJsonObject root_;
};

JsonReply ReadJsonReply(const QString& text);
