#pragma once
#include <QImage>
#include <QMainWindow>
#include <array>
#include <memory>
#include <optional>
#include <span>

#include "Payloads.h"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTabBar;
class QTimer;
class QAction;
class QUrl;
class PayloadEncoder;
class RequestWait;
class FormServices;
struct FormField;
struct LookupResult;
struct UpdateAnswer;

// The program's one window: nine kinds of content on a tab strip, the preview,
// the four command buttons, the status bar, the menu.
class Form1 : public QMainWindow {
    Q_OBJECT
public:
    explicit Form1(FormServices& services, QWidget* parent = nullptr);
    ~Form1() override;

    // Start-up: skin, show, first frame, Wi-Fi security entries, the update timer.
    void Form_Load();

    void GenerateSelected();
    void RenderPayload(const QString& payload);
    void EnableCommands();

    void Command1_Click() { GenerateSelected(); }
    void shengcheng_Click() { GenerateSelected(); }
    void Command2_Click(); // save
    void Command3_Click(); // copy
    void Command4_Click(); // logo
    void qk_Click();       // clear
    void sm_Click();
    void xy_Click();
    void oskelt_Click();
    void qq_Click();
    void Timer2_Timer();
    void TabStrip1_Click();

    // The export picture: what the preview shows, at 667 x 667 pixels.
    QImage ComposeExport() const;

    const QImage& Image1() const { return image1_; }
    const QImage& Image3() const { return image3_; }
    QImage PreviewImage() const { return canvas_; }
    QString StatusText() const;
    QString SavedPath() const { return savedPath_; }

    // Controls, under their own names.
    QTabBar* TabStrip1 = nullptr;
    std::array<QFrame*, 9> Frame1{};
    std::array<QLabel*, 31> Label3{};
    QLabel* Picture1 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
    QPlainTextEdit* Text1 = nullptr;
    QPlainTextEdit* Text11 = nullptr;
    std::array<QLineEdit*, 19> LineText{}; // Text2 .. Text18 except Text11
    std::array<QRadioButton*, 2> Option1{};
    QComboBox* Combo1 = nullptr;
    QStatusBar* S1 = nullptr;
    QTimer* Timer2 = nullptr;
    QAction* shengcheng = nullptr;
    QAction* qk = nullptr;
    QAction* sm = nullptr;
    QAction* xy = nullptr;
    QAction* oskelt = nullptr;
    QAction* qq = nullptr;

signals:
    // Every text the status panel shows, in order.
    void StatusChanged(const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Built in this order, which is also the order Tab visits the controls.
    void BuildControls();
    void BuildTabStrip(QWidget* client);
    void BuildTextFrame(QWidget* frame);
    void BuildSmsFrame(QWidget* frame);
    void BuildWifiFrame(QWidget* frame);
    void BuildFields(QWidget* frame, std::span<const FormField> fields);
    void BuildPreviewAndButtons(QWidget* client);
    void BuildStatusBar(QWidget* client);
    void BuildMenu();
    void Text11_Change();
    void SetStatus(const QString& text);
    void ShowCanvas();
    FormInput ReadInput() const;
    void GenerateWeChat();
    void ApplyLookup(const LookupResult& found);
    // A newer action drops the look-up that waits: its reply, box or failure never shows.
    void SupersedeLookup();
    void EndLookupWait();
    void ApplyUpdate(const UpdateAnswer& answer);
    void OpenWebsite(const QUrl& url);
    void EndProgram();

    FormServices& services_;
    std::unique_ptr<PayloadEncoder> encoder_;
    QImage image1_; // the bare symbol; null = no symbol
    QImage image3_; // the logo; null = none
    QImage canvas_; // the preview's persistent image
    QLabel* panels_[3] = {};
    QTimer* clock_ = nullptr;
    QString savedPath_;
    std::unique_ptr<RequestWait> requests_; // the one network wait
    std::optional<QString> lookup_;         // the account being looked up
    QString statusBeforeLookup_;
    bool keepSelectionOnPress_ = false;
    bool ending_ = false;
};
