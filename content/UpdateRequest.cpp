#include "UpdateRequest.h"

#include "HttpPost.h"
#include "JsonReply.h"
#include "NetConfig.h"
#include "UpdateCheck.h"
#include "VendorProtocol.h"

UpdateAnswer CheckForUpdate()
{
    const Result<QString> reply = HttpPost(netconfig::ApiUrl(QLatin1String(vendor::kVersionPath)),
                                           {{"sn", std::u16string(vendor::kProductCode)}});
    if (!reply) return {};
    const UpdateDecision d = DecideUpdate(ReadJsonReply(*reply));
    UpdateAnswer answer;
    switch (d.kind) {
    case UpdateDecision::Failed: answer.kind = UpdateAnswer::Failed; break;
    case UpdateDecision::Current: answer.kind = UpdateAnswer::Current; break;
    case UpdateDecision::Offer: answer.kind = UpdateAnswer::Offer; break;
    }
    answer.version = d.version;
    if (d.kind == UpdateDecision::Offer) answer.page = QUrl(netconfig::UpdatePageUrl(d.sid));
    answer.mandatory = d.mandatory;
    return answer;
}

QString ProgramVersion() { return QString::fromLatin1(kProgramVersion); }

QUrl StudioWebsite() { return QUrl(netconfig::WebsiteUrl()); }

QUrl CompanyWebsite() { return QUrl(netconfig::CompanyUrl()); }
