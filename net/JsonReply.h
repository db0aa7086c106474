#pragma once
#include <QJsonObject>
#include <QString>

#include "Result.h"

// A reply of the vendor API, read as JSON and nothing else. Member reads give
// the value as text, or why there is none: the member is missing, null, an
// object or an array, or the reply was not a JSON object at all.
class JsonReply {
public:
    bool IsObject() const { return problem_.empty(); }
    Result<QString> Member(const QString& name) const;
    Result<QString> Member(const QString& object, const QString& name) const;

private:
    friend JsonReply ReadJsonReply(const QString& text);
    std::string problem_ = "no reply read";
    QJsonObject root_;
};

JsonReply ReadJsonReply(const QString& text);
