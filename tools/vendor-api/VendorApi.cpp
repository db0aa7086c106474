#include "VendorApi.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <charconv>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "Cp936.h"
#include "FormDecode.h"

namespace {

// The JSON text of one value, as QJsonDocument writes it.
std::string JsonText(const QJsonValue& v)
{
    const QByteArray array = QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2).toStdString(); // without the brackets
}

// A data file value: strings and numbers pass through as written; nothing else is a reply value.
std::optional<ReplyValue> FromFile(const QJsonValue& v)
{
    if (v.isString()) return ReplyValue(v.toString().toStdString());
    if (v.isDouble()) return ReplyValue::FromJson(JsonText(v));
    return std::nullopt;
}

std::string Member(const char* name, const ReplyValue& v) { return std::string("\"") + name + "\":" + v.Json(); }

// Form fields arrive as code page 936 bytes.
std::optional<std::u16string> Field(const std::map<std::string, std::string>& form, const char* name)
{
    const auto it = form.find(name);
    if (it == form.end()) return std::nullopt;
    auto text = cp936::Decode(it->second);
    if (!text) return std::nullopt;
    return *std::move(text);
}

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd()
    {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

} // namespace

ReplyValue::ReplyValue(const std::string& utf8) : json_(JsonText(QString::fromStdString(utf8))) {}

bool ReplyValue::ReadsAsZero() const
{
    if (json_.empty()) return false;
    if (json_.front() == '"') return json_ == "\"0\"";
    double value = 1;
    const auto [end, error] = std::from_chars(json_.data(), json_.data() + json_.size(), value);
    return error == std::errc() && end == json_.data() + json_.size() && value == 0;
}

Result<VendorData> LoadVendorData(const std::string& path)
{
    // Look before opening: a FIFO would block the open, a device would never end.
    struct stat before {};
    if (::stat(path.c_str(), &before) != 0) return Fail("cannot read " + path);
    if (!S_ISREG(before.st_mode)) return Fail(path + " is not a regular file");
    if (static_cast<unsigned long long>(before.st_size) > kMaxDataFileBytes)
        return Fail(path + " is larger than 64 MB");
    const Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat opened {};
    if (fd.get() < 0 || ::fstat(fd.get(), &opened) != 0) return Fail("cannot read " + path);
    if (!S_ISREG(opened.st_mode) || opened.st_dev != before.st_dev || opened.st_ino != before.st_ino)
        return Fail(path + " changed while it was opened");
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) return Fail("cannot read " + path);
        text.append(buffer, static_cast<size_t>(n));
        if (text.size() > kMaxDataFileBytes) return Fail(path + " is larger than 64 MB");
    }
    return ParseVendorData(text);
}

Result<VendorData> ParseVendorData(const std::string& json)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
    if (error.error != QJsonParseError::NoError)
        return Fail("the data is not JSON: " + error.errorString().toStdString() + " at byte " +
                    std::to_string(error.offset));
    if (!doc.isObject()) return Fail("the data is JSON but not an object");
    VendorData data;
    const QJsonObject update = doc.object().value("update").toObject();
    const std::pair<const char*, ReplyValue*> members[] = {{"result", &data.updateResult},
                                                           {"msg", &data.updateMsg},
                                                           {"version", &data.version},
                                                           {"sid", &data.sid},
                                                           {"must", &data.must}};
    for (const auto& [name, into] : members) {
        if (!update.contains(name)) continue;
        const auto v = FromFile(update.value(name));
        if (!v) return Fail(std::string("the data's ") + name + " is neither a string nor a number");
        *into = *v;
    }
    const QJsonObject accounts = doc.object().value("accounts").toObject();
    for (auto it = accounts.begin(); it != accounts.end(); ++it) {
        const auto v = FromFile(it.value());
        if (!v) return Fail("the data's account " + it.key().toStdString() + " is neither a string nor a number");
        data.accounts[it.key().toStdU16String()] = *v;
    }
    return data;
}

std::string Refusal(const std::string& message) { return "{\"result\":0," + Member("msg", ReplyValue(message)) + "}"; }

std::string HandleVersion(const VendorData& data, const std::string& body)
{
    const auto form = DecodeForm(body);
    if (!form) return Refusal("请求格式错误");
    const auto sn = Field(*form, "sn");
    if (!sn) return Refusal("缺少参数");
    if (*sn != vendor::kProductCode) return Refusal("未知的软件");
    if (data.updateResult.ReadsAsZero())
        return "{" + Member("result", data.updateResult) + "," +
               Member("msg", data.updateMsg.Empty() ? ReplyValue("检测失败") : data.updateMsg) + "}";
    return "{" + Member("result", data.updateResult) + ",\"info\":{" + Member("version", data.version) + "," +
           Member("sid", data.sid) + "," + Member("must", data.must) + "}}";
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
    return "{\"result\":1," + Member("info", it->second) + "}";
}
