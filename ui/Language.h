#pragma once

// Loads Qt's own Chinese translation (standard buttons, the file dialog, the
// text boxes' context menus) into the running application. False when the
// translation is not installed; the window then works with Qt's English texts.
bool LoadQtChinese();
