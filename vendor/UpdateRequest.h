#pragma once
#include <QString>
#include <QUrl>

// What the start-up version check tells the window to do.
struct UpdateAnswer {
    enum Kind {
        Failed,  // refused, unreachable, unreadable or incomplete reply
        Current, // this program is the newest version
        Offer,   // another version is offered
    } kind = Failed;
    QString version;        // the version offered
    QUrl page;              // where the offered version is downloaded
    bool mandatory = false; // declining it ends the program
};

// Asks the vendor API for the newest version of this product and compares it
// with this program's own. Waits for the reply (see HttpPost).
UpdateAnswer CheckForUpdate();
