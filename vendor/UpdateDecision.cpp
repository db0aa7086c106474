#include "UpdateDecision.h"

#include "VendorConfig.h"

UpdateDecision DecideUpdate(const JsonReply& reply)
{
    // Every member is read before deciding, as the reply must carry them all.
    const auto result = reply.Member(QStringLiteral("result"));
    const auto version = reply.Member(QStringLiteral("info"), QStringLiteral("version"));
    const auto sid = reply.Member(QStringLiteral("info"), QStringLiteral("sid"));
    const auto must = reply.Member(QStringLiteral("info"), QStringLiteral("must"));

    UpdateDecision d;
    if (!result || *result == u"0" || !version || !sid || !must) return d;
    d.version = *version;
    d.sid = *sid;
    d.mandatory = *must != u"0";
    d.kind = (*version == vendor::ProgramVersion()) ? UpdateDecision::Current : UpdateDecision::Offer;
    return d;
}
