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
    setWindowTitle(QStringLiteral("Vorlane二维码生成器 V") + ProgramVersion());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(MakeFont(FormFont::YaHei975));
    canvas_ = BlankCanvas();
    BuildControls();
    BuildMenu();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

Form1::~Form1() = default;

void Form1::BuildMenu()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("menuBar"));
    QMenu* menu1 = bar->addMenu(QStringLiteral("程序菜单"));
    menu1->setObjectName(QStringLiteral("menu1"));
    auto action = [this](QAction* a, const char* name, void (Form1::*slot)()) {
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    shengcheng = action(menu1->addAction(QStringLiteral("生成条码")), "shengcheng", &Form1::shengcheng_Click);
    menu1->addSeparator()->setObjectName(QStringLiteral("x1"));
    qk = action(menu1->addAction(QStringLiteral("清空条码")), "qk", &Form1::qk_Click);
    menu1->addSeparator()->setObjectName(QStringLiteral("x2"));
    sm = action(menu1->addAction(QStringLiteral("使用说明")), "sm", &Form1::sm_Click);
    xy = action(bar->addAction(QStringLiteral("工作室官网")), "xy", &Form1::xy_Click);
    oskelt = action(bar->addAction(QStringLiteral("Tarvik公司官网")), "oskelt", &Form1::oskelt_Click);
    qq = action(bar->addAction(QStringLiteral("退出程序")), "qq", &Form1::qq_Click);
}

void Form1::Form_Load()
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
    for (int i = 1; i < 9; ++i) Frame1[i]->hide();
    Frame1[0]->show();
    Combo1->addItems({QStringLiteral("WPA/WPA2"), QStringLiteral("WEP"), QStringLiteral("无加密")});
    Combo1->setCurrentIndex(0);
    Timer2->start();
}

void Form1::TabStrip1_Click()
{
    for (QFrame* f : Frame1) f->hide();
    const int k = TabStrip1->currentIndex() + 1;
    if (k >= 1 && k <= 9) Frame1[static_cast<size_t>(k - 1)]->show();
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Text1 && event->type() == QEvent::FocusIn) {
        // Only focus the user moves into the box selects all; focus that comes back
        // from a menu, a box, a dialog or another program keeps the caret where it was.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        const bool movedIn = reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason ||
                             reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
        if (movedIn) Text1->selectAll();
        // The press that moved the focus in would put the caret under the mouse: it
        // follows at once, so it is held back once and the selection stays.
        keepSelectionOnPress_ = reason == Qt::MouseFocusReason;
        if (keepSelectionOnPress_) QTimer::singleShot(0, this, [this] { keepSelectionOnPress_ = false; });
    }
    if (watched == Text1->viewport() && event->type() == QEvent::MouseButtonPress && keepSelectionOnPress_) {
        keepSelectionOnPress_ = false;
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void Form1::Text11_Change()
{
    // Counted as it is sent: a line break is CR LF, two units.
    const qsizetype n = BoxText(Text11).size();
    if (n <= kSmsLimit) {
        Label3[10]->setText(QStringLiteral("已输入数量：%1/%2").arg(n).arg(kSmsLimit - n));
        FitToText(Label3[10]);
        return;
    }
    Text11->setPlainText(LimitSent(BoxText(Text11, u"\n"), kSmsLimit));
    QTextCursor cursor = Text11->textCursor();
    cursor.movePosition(QTextCursor::End);
    Text11->setTextCursor(cursor);
}

void Form1::EnableCommands()
{
    Command1->setEnabled(true);
    Command2->setEnabled(true);
    Command3->setEnabled(true);
    Command4->setEnabled(true);
}

QString Form1::StatusText() const { return panels_[1]->text(); }

void Form1::SetStatus(const QString& text)
{
    panels_[1]->setText(text);
    emit StatusChanged(text);
}

void Form1::ShowCanvas() { Picture1->setPixmap(QPixmap::fromImage(canvas_)); }

FormInput Form1::ReadInput() const
{
    FormInput in;
    in[Box::Content] = BoxText(Text1).toStdU16String();
    in[Box::SmsBody] = BoxText(Text11).toStdU16String();
    for (size_t i = 0; i < LineText.size(); ++i)
        if (LineText[i]) in[static_cast<Box>(i)] = LineText[i]->text().toStdU16String();
    in.mms = Option1[1]->isChecked();
    in.security = static_cast<WifiSecurity>(std::max(0, Combo1->currentIndex()));
    return in;
}

void Form1::GenerateSelected()
{
    const auto kind = static_cast<ContentKind>(TabStrip1->currentIndex() + 1);
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
    const QString account = LineText[static_cast<size_t>(Box::Account)]->text();
    const bool started = requests_->Start<LookupResult>([account] { return LookupAccount(account); },
                                                        [this](const LookupResult& found) {
                                                            EndLookupWait();
                                                            ApplyLookup(found);
                                                        });
    if (!started) return;
    lookup_ = account;
    statusBeforeLookup_ = StatusText();
    SetStatus(QStringLiteral("正在获取公众号信息"));
    Picture1->setCursor(Qt::BusyCursor);
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
    Picture1->unsetCursor();
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
    image1_ = encoder_->Encode(payload);
    if (image1_.isNull()) {
        // Nothing to show, save or copy: the preview returns to its placeholder.
        canvas_ = BlankCanvas();
        ShowCanvas();
        Label2->show();
        SetStatus(QStringLiteral("内容过长,无法生成二维码!"));
        return;
    }
    canvas_ = ComposePicture(image1_, image3_, canvas_.size());
    ShowCanvas();
    Label2->hide();
    SetStatus(QStringLiteral("二维码生成完毕!"));
}

void Form1::sm_Click()
{
    services_.Inform(
        this, kHintTitle,
        QStringLiteral("请选择对应的分类，并填写信息即可生成\r\n\r\nLOGO嵌入建议选择300px*300px的JPG图片"));
}

void Form1::xy_Click() { OpenWebsite(StudioWebsite()); }

void Form1::oskelt_Click() { OpenWebsite(CompanyWebsite()); }

void Form1::OpenWebsite(const QUrl& url)
{
    services_.OpenUrl(this, url, [this, url](bool opened) {
        if (!opened) SetStatus(kNoBrowser + url.toString());
    });
}

void Form1::qq_Click() { close(); }

void Form1::closeEvent(QCloseEvent* event)
{
    if (!ending_ && !services_.AskYesNo(this, kHintTitle, QStringLiteral("是否确定退出软件?"))) {
        event->ignore();
        return;
    }
    // Nothing waits for the network any longer, and no check starts after this.
    ending_ = true;
    Timer2->stop();
    requests_->Abandon();
    event->accept();
}

void Form1::EndProgram()
{
    ending_ = true;
    services_.Quit();
}

void Form1::Timer2_Timer()
{
    // While a look-up waits the check does not start: the next tick tries again.
    if (requests_->Waiting()) return;
    // The check runs once.
    Timer2->stop();
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
