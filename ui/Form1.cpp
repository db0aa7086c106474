#include "Form1.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabBar>
#include <QTextBlock>
#include <QTimer>

#include "FormLayout.h"
#include "FormServices.h"
#include "Render.h"
#include "RequestWait.h"
#include "SkinH.h"
#include "UpdateRequest.h"
#include "VendorConfig.h"
#include "WeChatLookup.h"

namespace {

const QString kHintTitle = QStringLiteral("提示");

// The SMS content limit, in UTF-16 units of the text that is sent.
constexpr qsizetype kSmsLimit = 300;

// What a multi-line box holds, exactly as typed; only the box's own line breaks become CR LF.
// (toPlainText would turn no-break spaces into spaces and U+2028 into line feeds.)
QString BoxText(const QPlainTextEdit* box, QStringView lineBreak = u"\r\n")
{
    QString text;
    for (QTextBlock block = box->document()->begin(); block.isValid(); block = block.next()) {
        if (block != box->document()->begin()) text += lineBreak;
        text += block.text();
    }
    return text;
}

// The longest start of a box's text (lines separated by LF) whose sent form, with
// CR LF breaks, has at most limit units; a surrogate pair or a break is never split.
QString LimitSent(const QString& text, qsizetype limit)
{
    qsizetype used = 0, end = 0;
    while (end < text.size()) {
        const bool pair = text.at(end).isHighSurrogate() && end + 1 < text.size() && text.at(end + 1).isLowSurrogate();
        const qsizetype units = (text.at(end) == QLatin1Char('\n') || pair) ? 2 : 1;
        if (used + units > limit) break;
        used += units;
        end += pair ? 2 : 1;
    }
    return text.left(end);
}

const QString kCheckFailed = QStringLiteral("检测失败,请先使用当前版本");
const QString kNoBrowser = QStringLiteral("无法打开浏览器,请手动访问:");

QImage BlankCanvas()
{
    QImage canvas(kPreviewWidth, kPreviewHeight, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    return canvas;
}

} // namespace

Form1::Form1(FormServices& services, QWidget* parent)
    : QMainWindow(parent), services_(services), encoder_(std::make_unique<PayloadEncoder>()),
      requests_(std::make_unique<RequestWait>())
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Vorlane二维码生成器 V") + vendor::ProgramVersion());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(MakeFont(FormFont::YaHei975));
    canvas_ = BlankCanvas();
    controls_ = BuildWindowControls(*this);
    ShowCanvas();
    ConnectControls();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

Form1::~Form1() = default;

void Form1::ConnectControls()
{
    connect(controls_.kindTabs, &QTabBar::currentChanged, this, [this] { OnKindChanged(); });
    controls_.textBox->installEventFilter(this);
    controls_.textBox->viewport()->installEventFilter(this);
    connect(controls_.smsBody, &QPlainTextEdit::textChanged, this, &Form1::OnSmsBodyChanged);
    connect(controls_.logoButton, &QPushButton::clicked, this, &Form1::OnLogo);
    connect(controls_.generateButton, &QPushButton::clicked, this, &Form1::OnGenerate);
    connect(controls_.copyButton, &QPushButton::clicked, this, &Form1::OnCopy);
    connect(controls_.saveButton, &QPushButton::clicked, this, &Form1::OnSave);
    connect(controls_.updateTimer, &QTimer::timeout, this, &Form1::OnUpdateTimer);
    connect(controls_.generateAction, &QAction::triggered, this, &Form1::OnGenerate);
    connect(controls_.clearAction, &QAction::triggered, this, &Form1::OnClear);
    connect(controls_.helpAction, &QAction::triggered, this, &Form1::OnHelp);
    connect(controls_.studioSiteAction, &QAction::triggered, this, &Form1::OnStudioSite);
    connect(controls_.companySiteAction, &QAction::triggered, this, &Form1::OnCompanySite);
    connect(controls_.exitAction, &QAction::triggered, this, &Form1::OnExit);

    // The clock panel shows the time of day, a second at a time.
    QLabel* clockPanel = controls_.statusPanels[2];
    clock_ = new QTimer(this);
    clock_->setInterval(1000);
    connect(clock_, &QTimer::timeout, this,
            [this, clockPanel] { clockPanel->setText(services_.Now().toString(QStringLiteral("HH:mm:ss"))); });
    clockPanel->setText(services_.Now().toString(QStringLiteral("HH:mm:ss")));
    clock_->start();
}

void Form1::Start()
{
    // An installed program keeps its skin with its data, not in the binaries' folder.
    QString skin = services_.ProgramDir() + QStringLiteral("/skinh.she");
    const QString installedData = InstalledDataDir(services_.ProgramDir());
    if (!QFileInfo::exists(skin) && !installedData.isEmpty()) skin = installedData + QStringLiteral("/skinh.she");
    SkinH_AttachEx(skin, QString());
    setWindowIcon(QIcon());
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        adjustSize();
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    show();
    for (int i = 1; i < 9; ++i) controls_.kindPages[i]->hide();
    controls_.kindPages[0]->show();
    controls_.wifiSecurity->addItems({QStringLiteral("WPA/WPA2"), QStringLiteral("WEP"), QStringLiteral("无加密")});
    controls_.wifiSecurity->setCurrentIndex(0);
    controls_.updateTimer->start();
}

void Form1::OnKindChanged()
{
    for (QFrame* f : controls_.kindPages) f->hide();
    const int k = controls_.kindTabs->currentIndex() + 1;
    if (k >= 1 && k <= 9) controls_.kindPages[static_cast<size_t>(k - 1)]->show();
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == controls_.textBox && event->type() == QEvent::FocusIn) {
        // Only focus the user moves into the box selects all; focus that comes back
        // from a menu, a box, a dialog or another program keeps the caret where it was.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        const bool movedIn = reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason ||
                             reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
        if (movedIn) controls_.textBox->selectAll();
        // The press that moved the focus in would put the caret under the mouse: it
        // follows at once, so it is held back once and the selection stays.
        keepSelectionOnPress_ = reason == Qt::MouseFocusReason;
        if (keepSelectionOnPress_) QTimer::singleShot(0, this, [this] { keepSelectionOnPress_ = false; });
    }
    if (watched == controls_.textBox->viewport() && event->type() == QEvent::MouseButtonPress &&
        keepSelectionOnPress_) {
        keepSelectionOnPress_ = false;
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void Form1::OnSmsBodyChanged()
{
    // Counted as it is sent: a line break is CR LF, two units.
    const qsizetype n = BoxText(controls_.smsBody).size();
    if (n <= kSmsLimit) {
        controls_.smsCounter->setText(QStringLiteral("已输入数量：%1/%2").arg(n).arg(kSmsLimit - n));
        FitToText(controls_.smsCounter);
        return;
    }
    controls_.smsBody->setPlainText(LimitSent(BoxText(controls_.smsBody, u"\n"), kSmsLimit));
    QTextCursor cursor = controls_.smsBody->textCursor();
    cursor.movePosition(QTextCursor::End);
    controls_.smsBody->setTextCursor(cursor);
}

void Form1::EnableCommands()
{
    controls_.generateButton->setEnabled(true);
    controls_.saveButton->setEnabled(true);
    controls_.copyButton->setEnabled(true);
    controls_.logoButton->setEnabled(true);
}

QString Form1::StatusText() const { return controls_.statusPanels[1]->text(); }

void Form1::SetStatus(const QString& text)
{
    controls_.statusPanels[1]->setText(text);
    emit StatusChanged(text);
}

void Form1::ShowCanvas() { controls_.preview->setPixmap(QPixmap::fromImage(canvas_)); }

FormInput Form1::ReadInput() const
{
    FormInput in;
    in[Box::Content] = BoxText(controls_.textBox).toStdU16String();
    in[Box::SmsBody] = BoxText(controls_.smsBody).toStdU16String();
    for (size_t i = 0; i < controls_.lineBoxes.size(); ++i)
        if (controls_.lineBoxes[i]) in[static_cast<Box>(i)] = controls_.lineBoxes[i]->text().toStdU16String();
    in.mms = controls_.mmsButton->isChecked();
    in.security = static_cast<WifiSecurity>(std::max(0, controls_.wifiSecurity->currentIndex()));
    return in;
}

void Form1::OnGenerate()
{
    const auto kind = static_cast<ContentKind>(controls_.kindTabs->currentIndex() + 1);
    const FormInput in = ReadInput();
    const auto refusal = ValidationMessage(kind, in);
    // Asking again for the account being looked up changes nothing.
    if (!refusal && kind == ContentKind::WeChat && lookup_ == QString::fromStdU16String(in[Box::Account])) return;
    SupersedeLookup();
    if (refusal) {
        SetStatus(QString::fromStdU16String(*refusal));
        return;
    }
    if (kind == ContentKind::WeChat) GenerateWeChat();
    else RenderPayload(QString::fromStdU16String(BuildPayload(kind, in)));
}

void Form1::GenerateWeChat()
{
    // The window goes on while the look-up waits. A look-up during the update check is
    // ignored rather than queued; when the program ends during the wait, the answer is dropped.
    const QString account = controls_.accountBox()->text();
    const bool started = requests_->Start<LookupResult>([account] { return LookupAccount(account); },
                                                        [this](const LookupResult& found) {
                                                            EndLookupWait();
                                                            ApplyLookup(found);
                                                        });
    if (!started) return;
    lookup_ = account;
    statusBeforeLookup_ = StatusText();
    SetStatus(QStringLiteral("正在获取公众号信息"));
    controls_.preview->setCursor(Qt::BusyCursor);
}

void Form1::ApplyLookup(const LookupResult& found)
{
    switch (found.kind) {
    case LookupResult::Payload: RenderPayload(found.text); break;
    case LookupResult::Refused:
        SetStatus(found.text);
        services_.Inform(this, kHintTitle, found.text);
        break;
    case LookupResult::Failed: SetStatus(QString::fromUtf8(kLookupFailed)); break;
    }
}

void Form1::EndLookupWait()
{
    lookup_.reset();
    controls_.preview->unsetCursor();
}

void Form1::SupersedeLookup()
{
    if (!lookup_) return;
    requests_->Drop();
    EndLookupWait();
    // The newer action's own text follows, when it has one.
    SetStatus(statusBeforeLookup_);
}

void Form1::RenderPayload(const QString& payload)
{
    symbol_ = encoder_->Encode(payload);
    if (symbol_.isNull()) {
        // Nothing to show, save or copy: the preview returns to its placeholder.
        canvas_ = BlankCanvas();
        ShowCanvas();
        controls_.previewPlaceholder->show();
        SetStatus(QStringLiteral("内容过长,无法生成二维码!"));
        return;
    }
    canvas_ = ComposePicture(symbol_, logo_, canvas_.size());
    ShowCanvas();
    controls_.previewPlaceholder->hide();
    SetStatus(QStringLiteral("二维码生成完毕!"));
}

void Form1::OnHelp()
{
    services_.Inform(
        this, kHintTitle,
        QStringLiteral("请选择对应的分类，并填写信息即可生成\r\n\r\nLOGO嵌入建议选择300px*300px的JPG图片"));
}

void Form1::OnStudioSite() { OpenWebsite(vendor::StudioWebsite()); }

void Form1::OnCompanySite() { OpenWebsite(vendor::CompanyWebsite()); }

void Form1::OpenWebsite(const QUrl& url)
{
    services_.OpenUrl(this, url, [this, url](bool opened) {
        if (!opened) SetStatus(kNoBrowser + url.toString());
    });
}

void Form1::OnExit() { close(); }

void Form1::closeEvent(QCloseEvent* event)
{
    if (!ending_ && !services_.AskYesNo(this, kHintTitle, QStringLiteral("是否确定退出软件?"))) {
        event->ignore();
        return;
    }
    // Nothing waits for the network any longer, and no check starts after this.
    ending_ = true;
    controls_.updateTimer->stop();
    requests_->Abandon();
    event->accept();
}

void Form1::EndProgram()
{
    ending_ = true;
    services_.Quit();
}

void Form1::OnUpdateTimer()
{
    // While a look-up waits the check does not start: the next tick tries again.
    if (requests_->Waiting()) return;
    // The check runs once.
    controls_.updateTimer->stop();
    requests_->Start<UpdateAnswer>(CheckForUpdate, [this](const UpdateAnswer& answer) { ApplyUpdate(answer); });
}

void Form1::ApplyUpdate(const UpdateAnswer& d)
{
    switch (d.kind) {
    case UpdateAnswer::Failed:
        // The status no longer claims that a check is running.
        SetStatus(kCheckFailed);
        services_.Inform(this, kHintTitle, kCheckFailed);
        break;
    case UpdateAnswer::Current: SetStatus(QStringLiteral("当前软件为最新版本,欢迎使用Vorlane软件..")); break;
    case UpdateAnswer::Offer:
        if (services_.AskYesNo(this, kHintTitle,
                               QStringLiteral("发现最新版本") + d.version + QStringLiteral("，是否现在更新?"))) {
            // The program ends once the browser has the page, or the user has its address.
            services_.OpenUrl(this, d.page, [this, page = d.page](bool opened) {
                if (!opened) services_.Inform(this, kHintTitle, kNoBrowser + page.toString());
                EndProgram();
            });
            return;
        }
        if (d.mandatory) {
            EndProgram();
            return;
        }
        SetStatus(QStringLiteral("欢迎使用Vorlane软件.."));
        break;
    }
    EnableCommands();
}
