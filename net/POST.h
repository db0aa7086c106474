#pragma once
#include <QString>

#include "FormEncoding.h"

// Posts the form fields to url and waits for the reply, letting the caller's
// event loop run meanwhile. Returns the reply body whatever the HTTP status;
// empty text when the server cannot be reached, when the whole exchange takes
// longer than the time-out, when the body is over 1 MiB, or when a redirect
// leaves the scheme, host and port (or there are more than five).
QString HttpPost(const QString& url, const FormFields& fields);
