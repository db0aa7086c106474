#pragma once
#include <QString>

#include "JsonReply.h"

// What the start-up check concludes from the reply of the version endpoint.
struct UpdateDecision {
    enum Kind {
        Failed,  // result "0", no reply, an unreadable reply or missing members
        Current, // the newest version is this one
        Offer,   // another version is offered
    } kind = Failed;
    QString version;
    QString sid;
    bool mandatory = false; // must is anything but "0"
};

UpdateDecision DecideUpdate(const JsonReply& reply);
