#pragma once
#include <string>
#include <string_view>

#include "Md5.h"
#include "ProgramVersion.h" // kProgramVersion, compared with the version endpoint's answer

// The vendor web API as both sides speak it: the window and qrgen post to it,
// the vendor-api stand-in answers it. Plain C++ so the stand-in can share it.
namespace vendor {

// Endpoint paths, appended to the API host.
inline constexpr char kVersionPath[] = "/index.php/Index/soft_version";
inline constexpr char kLookupPath[] = "/index.php/Index/qr_driod";

// The product code sent as sn to the version endpoint.
inline constexpr std::u16string_view kProductCode = u"qrcode";

// Appended to the account before digesting it into the look-up token.
inline constexpr std::u16string_view kTokenSalt = u"vokha";

// The look-up token: 32 uppercase hex digits of the MD5 of account + salt.
inline std::string LookupToken(std::u16string_view account)
{
    std::u16string salted(account);
    salted += kTokenSalt;
    return Md5Hex(salted, 32);
}

} // namespace vendor
