// Form bodies from anywhere, as the stand-in server receives them: decoded or
// refused, and every reply is a JSON object.
#include <QJsonDocument>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FormDecode.h"
#include "VendorApi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const VendorData vendor = [] {
        VendorData d;
        d.accounts[u"vorlane"] = "http://weixin.qq.com/r/demo";
        return d;
    }();
    const std::string body(reinterpret_cast<const char*>(data), size);
    DecodeForm(body);
    for (const std::string& reply : {HandleLookup(vendor, body), HandleVersion(vendor, body)})
        if (!QJsonDocument::fromJson(QByteArray::fromStdString(reply)).isObject()) std::abort();
    return 0;
}
