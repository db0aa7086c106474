// Vendor API replies from anywhere: read as JSON or reported unreadable.
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "JsonReply.h"
#include "UpdateCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const JsonReply reply = ReadJsonReply(text);
    const auto result = reply.Member(QStringLiteral("result"));
    if (result && !reply.IsObject()) std::abort();
    const auto version = reply.Member(QStringLiteral("info"), QStringLiteral("version"));
    if (version && !reply.IsObject()) std::abort();
    const UpdateDecision d = DecideUpdate(reply);
    if (d.kind != UpdateDecision::Failed && (!result || *result == u"0")) std::abort();
    return 0;
}
