#pragma once
#include <QImage>
#include <QMainWindow>
#include <memory>
#include <optional>

#include "Payloads.h"
#include "WindowControls.h"

class QTimer;
class QUrl;
class PayloadEncoder;
class RequestWait;
class FormServices;
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
    void Start();

    // The generate button and menu entry: the selected kind's payload, or its refusal.
    void OnGenerate();
    void RenderPayload(const QString& payload);
    void EnableCommands();

    // The export picture: what the preview shows, at 667 x 667 pixels.
    QImage ComposeExport() const;

    const QImage& Symbol() const { return symbol_; }
    const QImage& Logo() const { return logo_; }
    QImage PreviewImage() const { return canvas_; }
    QString StatusText() const;
    QString SavedPath() const { return savedPath_; }

    const WindowControls& Controls() const { return controls_; }

signals:
    // Every text the status panel shows, in order.
    void StatusChanged(const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ConnectControls();
    void OnSave();
    void OnCopy();
    void OnLogo();
    void OnClear();
    void OnHelp();
    void OnStudioSite();
    void OnCompanySite();
    void OnExit();
    void OnUpdateTimer();
    void OnKindChanged();
    void OnSmsBodyChanged();
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
    WindowControls controls_;
    QImage symbol_; // the bare symbol; null = no symbol
    QImage logo_;   // null = none
    QImage canvas_; // the preview's persistent image
    QTimer* clock_ = nullptr;
    QString savedPath_;
    std::unique_ptr<RequestWait> requests_; // the one network wait
    std::optional<QString> lookup_;         // the account being looked up
    QString statusBeforeLookup_;
    bool keepSelectionOnPress_ = false;
    bool ending_ = false;
};
