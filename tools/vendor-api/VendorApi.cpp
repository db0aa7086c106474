#include "VendorApi.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include "Cp936.h"
#include "FormDecode.h"

namespace {

std::string ToJson(const QJsonObject& o) { return QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString(); }

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

std::string Text(const QJsonValue& v)
{
    if (v.isString()) return v.toString().toStdString();
    if (v.isDouble()) return QString::number(v.toDouble()).toStdString();
    return {};
}

// Form fields arrive as code page 936 bytes.
std::optional<std::u16string> Field(const std::map<std::string, std::string>& form, const char* name)
{
    const auto it = form.find(name);
    if (it == form.end()) return std::nullopt;
    return cp936::Decode(it->second);
}

} // namespace

std::optional<VendorData> LoadVendorData(const std::string& path, std::string& why)
{
    QFile file(Q(path));
    if (!file.open(QIODevice::ReadOnly)) {
        why = "cannot read " + path;
        return std::nullopt;
    }
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        why = path + " is not a JSON object: " + error.errorString().toStdString();
        return std::nullopt;
    }
    VendorData data;
    const QJsonObject update = doc.object().value("update").toObject();
    if (update.contains("result")) data.updateResult = update.value("result").toInt(1);
    data.updateMsg = Text(update.value("msg"));
    if (update.contains("version")) data.version = Text(update.value("version"));
    if (update.contains("sid")) data.sid = Text(update.value("sid"));
    if (update.contains("must")) data.must = Text(update.value("must"));
    const QJsonObject accounts = doc.object().value("accounts").toObject();
    for (auto it = accounts.begin(); it != accounts.end(); ++it)
        data.accounts[it.key().toStdU16String()] = it.value().toString().toStdString();
    return data;
}

std::string Refusal(const std::string& message)
{
    return ToJson(QJsonObject{{"result", 0}, {"msg", Q(message)}});
}

std::string HandleVersion(const VendorData& data, const std::string& body)
{
    const auto form = DecodeForm(body);
    if (!form) return Refusal("请求格式错误");
    const auto sn = Field(*form, "sn");
    if (!sn) return Refusal("缺少参数");
    if (*sn != vendor::kProductCode) return Refusal("未知的软件");
    if (data.updateResult == 0) return Refusal(data.updateMsg.empty() ? "检测失败" : data.updateMsg);
    const QJsonObject info{{"version", Q(data.version)}, {"sid", Q(data.sid)}, {"must", Q(data.must)}};
    return ToJson(QJsonObject{{"result", 1}, {"info", info}});
}

std::string HandleLookup(const VendorData& data, const std::string& body)
{
    const auto form = DecodeForm(body);
    if (!form) return Refusal("请求格式错误");
    if (!form->count("user_account") || !form->count("token")) return Refusal("缺少参数");
    const auto account = Field(*form, "user_account");
    const auto token = Field(*form, "token");
    if (!account || !token) return Refusal("请求格式错误");
    if (cp936::ToUtf8(*token) != vendor::LookupToken(*account)) return Refusal("token验证失败");
    const auto it = data.accounts.find(*account);
    if (it == data.accounts.end()) return Refusal("未找到该公众号");
    return ToJson(QJsonObject{{"result", 1}, {"info", Q(it->second)}});
}
