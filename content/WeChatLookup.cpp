#include "WeChatLookup.h"

#include "HttpPost.h"
#include "JsonReply.h"
#include "NetConfig.h"
#include "VendorProtocol.h"

LookupResult LookupAccount(const QString& account)
{
    const std::u16string id = account.toStdU16String();
    const std::string token = vendor::LookupToken(id);
    const Result<QString> reply =
        HttpPost(netconfig::ApiUrl(QLatin1String(vendor::kLookupPath)),
                 {{"user_account", id}, {"token", std::u16string(token.begin(), token.end())}});
    if (!reply) return {};
    const JsonReply json = ReadJsonReply(*reply);
    const auto result = json.Member(QStringLiteral("result"));
    if (!result) return {};
    const bool refused = *result == u"0";
    const auto text = json.Member(refused ? QStringLiteral("msg") : QStringLiteral("info"));
    if (!text) return {};
    return {refused ? LookupResult::Refused : LookupResult::Payload, *text};
}
