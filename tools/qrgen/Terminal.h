#pragma once
#include <string>
#include <string_view>

// Text from elsewhere (a server's message, a payload) made safe to show on a
// terminal: C0 and C1 controls, DEL and bytes that are not UTF-8 are written as
// \xNN (\u0080 ... \u009F for encoded C1), so nothing can move the cursor,
// retitle the window or start an escape sequence.
std::string EscapeControls(std::string_view text);
