#pragma once
#include <QString>

// The account look-up against the vendor API.
struct LookupResult {
    enum Kind {
        Payload, // text is what to encode
        Refused, // text is the API's own message
        Failed,  // no reply, or one that cannot be read
    } kind = Failed;
    QString text;
};

inline constexpr char kLookupFailed[] = "公众号信息获取失败,请检查网络后重试";

LookupResult LookupAccount(const QString& account);
