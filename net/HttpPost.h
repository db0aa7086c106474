#pragma once
#include <QString>

#include "FormEncoding.h"
#include "Result.h"

// Posts the form fields to url and waits for the reply on the calling thread.
// The reply body whatever the HTTP status (an empty body is a reply too), or
// the reason there is none: the server cannot be reached, the whole exchange
// outlasts the time-out, the body is over 1 MiB or the headers over 64 KiB, a
// redirect leaves the scheme, host and port (or there are more than five), or
// the calling QThread was asked to stop (given up within about 50 ms).
Result<QString> HttpPost(const QString& url, const FormFields& fields);
