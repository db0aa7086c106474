#pragma once
#include "Options.h"

// qrgen batch: one file a record, on every core. Exit 0, 1 when a record was
// refused, 2 on bad usage, 128 + signal when interrupted.
int RunBatch(const Request& request);
