#pragma once
#include <string>

// The account look-up runs in a companion program (qrgen-wechat) that holds the
// network code, so that qrgen itself starts without it.
struct LookupOutcome {
    enum Kind { Payload, Message, NotRun } kind = NotRun;
    std::string text; // the payload, the message to show, or why it did not run
};

LookupOutcome RunAccountLookup(const std::string& account);
