#include "UpdateRequest.h"

#include "JsonReply.h"
#include "NetConfig.h"
#include "POST.h"
#include "UpdateCheck.h"

UpdateAnswer CheckForUpdate()
{
    const QString reply = HttpPost(netconfig::ApiUrl(QStringLiteral("/index.php/Index/soft_version")), {{"sn", u"qrcode"}});
    const UpdateDecision d = DecideUpdate(ReadJsonReply(reply));
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

QString ProgramVersion() { return QString::fromLatin1(kCurrentVersion); }

QUrl StudioWebsite() { return QUrl(netconfig::WebsiteUrl()); }

QUrl CompanyWebsite() { return QUrl(netconfig::CompanyUrl()); }
