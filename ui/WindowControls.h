#pragma once
#include <array>

#include "Payloads.h"

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMainWindow;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTabBar;
class QTimer;

// The window's controls by role. Each also carries the object name that tests
// and automation find it by, given where the layout table places it.
struct WindowControls {
    QTabBar* kindTabs = nullptr;        // one tab a content kind
    std::array<QFrame*, 9> kindPages{}; // the fields of each kind, under the tabs
    QPlainTextEdit* textBox = nullptr;  // plain text
    QPlainTextEdit* smsBody = nullptr;
    QLabel* smsCounter = nullptr;
    QRadioButton* smsButton = nullptr;
    QRadioButton* mmsButton = nullptr;
    QComboBox* wifiSecurity = nullptr;
    // The one-line boxes, indexed by the form's Box; null for the multi-line ones.
    std::array<QLineEdit*, static_cast<size_t>(kLastBox) + 1> lineBoxes{};

    QLabel* preview = nullptr;
    QLabel* previewPlaceholder = nullptr; // shown while there is no symbol
    QPushButton* logoButton = nullptr;
    QPushButton* generateButton = nullptr;
    QPushButton* copyButton = nullptr;
    QPushButton* saveButton = nullptr;

    QStatusBar* statusBar = nullptr;
    std::array<QLabel*, 3> statusPanels{}; // a caption, the status text, the clock

    QAction* generateAction = nullptr;
    QAction* clearAction = nullptr;
    QAction* helpAction = nullptr;
    QAction* studioSiteAction = nullptr;
    QAction* companySiteAction = nullptr;
    QAction* exitAction = nullptr;

    QTimer* updateTimer = nullptr; // starts the update check a second after start-up

    QLineEdit* accountBox() const { return lineBoxes[static_cast<size_t>(Box::Account)]; }
};

// Builds the controls, the menu and the timer into window, in the order Tab visits them.
WindowControls BuildWindowControls(QMainWindow& window);
