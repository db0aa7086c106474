#pragma once
#include <QString>

#include "FormEncoding.h"

// Posts the form fields to url and waits for the reply, letting the caller's
// event loop run meanwhile. Returns the reply body whatever the HTTP status;
// empty text when the server cannot be reached or the transfer time-out passes.
QString HttpPost(const QString& url, const FormFields& fields);
