#include "qrgen_kinds.h"

KindResult BuildKindPayload(const std::string& kind, const std::map<std::string, std::string>&)
{
    return {KindStatus::Usage, {}, "unknown subcommand " + kind};
}
