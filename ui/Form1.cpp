#include "Form1.h"

#include <QAction>
#include <QClipboard>
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
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabBar>
#include <QTemporaryFile>
#include <QTimer>

#include "FormServices.h"
#include "Render.h"
#include "SkinH.h"
#include "UpdateRequest.h"
#include "WeChatLookup.h"

namespace {

// Layout figures are the original twips; 15 twips make a pixel.
QRect Twips(int left, int top, int width, int height)
{
    return {left / 15, top / 15, width / 15, height / 15};
}

QFont Font(const char* family, double points)
{
    QFont f;
    f.setFamilies({QString::fromUtf8(family), "Microsoft YaHei", "WenQuanYi Micro Hei", "Noto Sans CJK SC",
                   "Noto Sans SC", "Droid Sans Fallback"});
    f.setPointSizeF(points);
    return f;
}

QFont YaHei(double points) { return Font("微软雅黑", points); }
QFont Tahoma() { return Font("Tahoma", 8.25); }

const QString kSaveTitle = QStringLiteral("Vorlane系列软件");
const QString kHintTitle = QStringLiteral("提示");

bool DirectoryWritable(const QString& dir)
{
    if (!QFileInfo(dir).isDir()) return false;
    QTemporaryFile probe(QDir(dir).filePath(QStringLiteral(".vorlane-probe-XXXXXX")));
    return probe.open();
}

QImage BlankCanvas()
{
    QImage canvas(kPreviewWidth, kPreviewHeight, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    return canvas;
}

} // namespace

Form1::Form1(FormServices& services, QWidget* parent)
    : QMainWindow(parent), services_(services), encoder_(std::make_unique<PayloadEncoder>())
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Vorlane二维码生成器 V") + ProgramVersion());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(YaHei(9.75));
    canvas_ = BlankCanvas();
    BuildControls();
    BuildMenu();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

Form1::~Form1() = default;

void Form1::BuildControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(773, 509);
    setCentralWidget(client);

    TabStrip1 = new QTabBar(client);
    TabStrip1->setObjectName(QStringLiteral("TabStrip1"));
    TabStrip1->setFont(YaHei(9.75));
    TabStrip1->setExpanding(false);
    TabStrip1->setDrawBase(true);
    const char* captions[] = {"文字", "名片", "网址", "短信", "WIFI", "电话", "邮箱", "APP", "微信"};
    const char* keys[] = {"wenzi", "mingpian", "wangzhi", "duanxin", "wifi", "dianhua", "email", "wechatapp", "wechat"};
    for (int i = 0; i < 9; ++i) {
        TabStrip1->addTab(QString::fromUtf8(captions[i]));
        TabStrip1->setTabData(i, QString::fromLatin1(keys[i]));
    }
    const QRect strip = Twips(240, 240, 6975, 6495);
    TabStrip1->setGeometry(strip.x(), strip.y(), strip.width(), 30);
    auto* page = new QFrame(client);
    page->setObjectName(QStringLiteral("TabStrip1Page"));
    page->setFrameShape(QFrame::StyledPanel);
    page->setGeometry(strip.x(), strip.y() + 29, strip.width(), strip.height() - 29);
    connect(TabStrip1, &QTabBar::currentChanged, this, [this] { TabStrip1_Click(); });

    for (int i = 0; i < 9; ++i) {
        Frame1[i] = new QFrame(client);
        Frame1[i]->setObjectName(QStringLiteral("Frame1(%1)").arg(i));
        Frame1[i]->setGeometry(Twips(360, 720, 6735, 5895));
        Frame1[i]->setFont(Tahoma());
    }

    auto label = [this](int index, QWidget* parent, const char* text, QRect geometry, bool hint = false) {
        auto* l = new QLabel(QString::fromUtf8(text), parent);
        l->setObjectName(QStringLiteral("Label3(%1)").arg(index));
        l->setFont(hint ? YaHei(9) : YaHei(9.75));
        if (hint) l->setStyleSheet(QStringLiteral("color: rgb(128, 128, 128);"));
        l->setGeometry(geometry);
        Label3[static_cast<size_t>(index)] = l;
        return l;
    };
    auto line = [this](int number, QWidget* parent, QRect geometry, const char* text = "") {
        auto* e = new QLineEdit(QString::fromUtf8(text), parent);
        e->setObjectName(QStringLiteral("Text%1").arg(number));
        e->setFont(YaHei(9.75));
        e->setGeometry(geometry);
        LineText[static_cast<size_t>(number)] = e;
        return e;
    };
    auto separator = [](QWidget* parent, int y) {
        auto* l = new QFrame(parent);
        l->setGeometry(24, y, 400, 1);
        l->setStyleSheet(QStringLiteral("background: rgb(224, 224, 224);"));
    };

    // Frame1(0): plain text.
    Text1 = new QPlainTextEdit(Frame1[0]);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setFont(YaHei(10.5));
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setGeometry(Twips(120, 240, 6495, 5535));
    Text1->installEventFilter(this);

    // Frame1(1): business card.
    const char* cardCaptions[] = {"姓名", "电话", "Q Q", "邮箱", "公司", "职位", "网址", "地址"};
    for (int i = 0; i < 8; ++i) {
        const int top = 960 + 600 * i;
        label(i, Frame1[1], cardCaptions[i], Twips(480, top, 390, 285));
        line(2 + i, Frame1[1], Twips(1200, top, 4935, 375), i == 6 ? "http://" : "");
    }
    label(30, Frame1[1], "扫描后支持生成名片，用户可直接保存", Twips(3120, 360, 3075, 255), true);

    // Frame1(2): web address.
    label(8, Frame1[2], "请输入URL网址", Twips(360, 600, 6015, 285));
    line(10, Frame1[2], Twips(360, 1080, 6015, 375), "http://");
    label(24, Frame1[2], "扫描后支持自动跳转网页", Twips(375, 1680, 6015, 255), true);

    // Frame1(3): SMS or MMS.
    label(9, Frame1[3], "输入信息内容", Twips(360, 480, 1170, 285));
    const char* options[] = {"短信", "彩信"};
    for (int i = 0; i < 2; ++i) {
        Option1[i] = new QRadioButton(QString::fromUtf8(options[i]), Frame1[3]);
        Option1[i]->setObjectName(QStringLiteral("Option1(%1)").arg(i));
        Option1[i]->setFont(YaHei(9.75));
        Option1[i]->setGeometry(Twips(4680 + 960 * i, 480, 735 + 300, 285));
    }
    Option1[0]->setChecked(true);
    Text11 = new QPlainTextEdit(Frame1[3]);
    Text11->setObjectName(QStringLiteral("Text11"));
    Text11->setFont(YaHei(9.75));
    Text11->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text11->setGeometry(Twips(360, 960, 6015, 1905));
    connect(Text11, &QPlainTextEdit::textChanged, this, &Form1::Text11_Change);
    label(10, Frame1[3], "已输入数量：0/300", Twips(360, 3000, 1740 + 600, 285));
    separator(Frame1[3], 3600 / 15);
    label(11, Frame1[3], "请输入手机号码", Twips(360, 3960, 1365 + 300, 285));
    line(12, Frame1[3], Twips(2160, 3960, 4215, 375));
    separator(Frame1[3], 4560 / 15);
    label(21, Frame1[3], "仅支持手机自带扫码工具，暂不支持微信扫一扫", Twips(360, 4800, 3795 + 900, 255), true);
    label(29, Frame1[3], "扫描后支持调转短信页面自动填写信息", Twips(360, 5160, 3075 + 600, 255), true);

    // Frame1(4): Wi-Fi.
    label(12, Frame1[4], "WIFI账号（SSID）", Twips(360, 960, 1650 + 300, 285));
    line(13, Frame1[4], Twips(2280, 960, 4095, 375));
    label(13, Frame1[4], "WIFI密码", Twips(360, 1680, 810 + 300, 285));
    line(14, Frame1[4], Twips(2280, 1680, 4095, 375));
    label(14, Frame1[4], "加密类型", Twips(360, 2400, 780 + 300, 285));
    Combo1 = new QComboBox(Frame1[4]);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(false);
    Combo1->setFont(YaHei(9.75));
    Combo1->setGeometry(Twips(2280, 2400, 4095, 375));
    label(22, Frame1[4], "仅支持手机自带扫码工具，暂不支持微信扫一扫", Twips(2520 - 900, 3360, 3795 + 900, 255), true);
    label(23, Frame1[4], "扫描后支持自动连接WIFI", Twips(4320 - 600, 3720, 2025 + 600, 255), true);

    // Frame1(5) .. Frame1(8): one box each.
    struct Single {
        int frame, captionIndex, box;
        const char* caption;
    } singles[] = {{5, 15, 15, "请输入手机号码"},
                   {6, 16, 16, "请输入E-mail电子邮箱地址"},
                   {7, 17, 17, "请输入应用包名（例如：com.tencent.mobileqq）"},
                   {8, 18, 18, "请输入微信公众号的微信号"}};
    for (const Single& s : singles) {
        label(s.captionIndex, Frame1[static_cast<size_t>(s.frame)], s.caption, Twips(360, 600, 6015, 285));
        line(s.box, Frame1[static_cast<size_t>(s.frame)], Twips(360, 1080, 6015, 375));
    }
    label(25, Frame1[5], "扫描后支持自动呼叫号码", Twips(375, 1680, 6015, 255), true);
    label(19, Frame1[6], "仅支持手机自带扫码工具，暂不支持微信扫一扫", Twips(360, 1680, 6015, 255), true);
    label(26, Frame1[6], "扫描后支持自动唤起发送邮件", Twips(360, 2040, 6015, 255), true);
    label(20, Frame1[7], "仅支持手机自带扫码工具，暂不支持微信扫一扫", Twips(360, 1680, 6015, 255), true);
    label(27, Frame1[7], "扫描后支持自动进入手机应用市场详情页面", Twips(360, 2040, 6015, 255), true);
    label(28, Frame1[8], "扫描后支持自动跳转公众号关注页面", Twips(360, 1680, 6015, 255), true);

    // The preview and its placeholder.
    Picture1 = new QLabel(client);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(Twips(7560, 720, 3735, 3855));
    Picture1->setFrameShape(QFrame::NoFrame);
    Label2 = new QLabel(QStringLiteral("二维条码图片区"), Picture1);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(Tahoma());
    Label2->setAlignment(Qt::AlignCenter);
    Label2->setGeometry(0, 1920 / 15 - 4, 3735 / 15, 195 / 15 + 8);
    ShowCanvas();

    auto button = [client](QPushButton*& b, const char* name, const char* caption, QRect geometry) {
        b = new QPushButton(QString::fromUtf8(caption), client);
        b->setObjectName(QString::fromLatin1(name));
        b->setFont(Tahoma());
        b->setGeometry(geometry);
        b->setEnabled(false);
    };
    button(Command4, "Command4", "嵌入LOGO", Twips(7560, 4680, 3735, 615));
    button(Command1, "Command1", "生成二维码", Twips(7560, 5400, 3735, 615));
    button(Command3, "Command3", "复制", Twips(7560, 6120, 1815, 615));
    button(Command2, "Command2", "保存", Twips(9480, 6120, 1815, 615));
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);

    // The status bar: a label, the status panel, a clock.
    S1 = new QStatusBar(client);
    S1->setObjectName(QStringLiteral("S1"));
    S1->setSizeGripEnabled(false);
    S1->setGeometry(Twips(0, 7020, 11595, 615));
    const char* panelNames[] = {"S1Panel1", "StatusPanel", "S1Panel3"};
    for (int i = 0; i < 3; ++i) {
        panels_[i] = new QLabel(S1);
        panels_[i]->setObjectName(QString::fromLatin1(panelNames[i]));
        panels_[i]->setFrameShape(QFrame::Panel);
        panels_[i]->setFrameShadow(QFrame::Sunken);
    }
    panels_[0]->setText(QStringLiteral("提示"));
    panels_[0]->setFixedWidth(96);
    panels_[1]->setText(QStringLiteral("正在检测版本更新"));
    panels_[1]->setMinimumWidth(96);
    panels_[2]->setFixedWidth(96);
    panels_[2]->setAlignment(Qt::AlignCenter);
    S1->addWidget(panels_[0]);
    S1->addWidget(panels_[1], 1);
    S1->addPermanentWidget(panels_[2]);
    clock_ = new QTimer(this);
    clock_->setInterval(1000);
    connect(clock_, &QTimer::timeout, this,
            [this] { panels_[2]->setText(services_.Now().toString(QStringLiteral("HH:mm:ss"))); });
    panels_[2]->setText(services_.Now().toString(QStringLiteral("HH:mm:ss")));
    clock_->start();

    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(1000);
    connect(Timer2, &QTimer::timeout, this, &Form1::Timer2_Timer);
}

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
    if (watched == Text1 && event->type() == QEvent::FocusIn) Text1->selectAll();
    return QMainWindow::eventFilter(watched, event);
}

void Form1::Text11_Change()
{
    const QString text = Text11->toPlainText();
    const qsizetype n = text.size();
    if (n < 301) {
        Label3[10]->setText(QStringLiteral("已输入数量：%1/%2").arg(n).arg(300 - n));
        return;
    }
    // Never keep half of a surrogate pair.
    const qsizetype keep = text.at(299).isHighSurrogate() ? 299 : 300;
    Text11->setPlainText(text.left(keep));
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
    auto multiLine = [](const QPlainTextEdit* e) {
        // Line breaks travel as CR LF.
        return e->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n")).toStdU16String();
    };
    in[Box::Content] = multiLine(Text1);
    in[Box::SmsBody] = multiLine(Text11);
    for (size_t i = 0; i < LineText.size(); ++i)
        if (LineText[i]) in[static_cast<Box>(i)] = LineText[i]->text().toStdU16String();
    in.mms = Option1[1]->isChecked();
    in.security = static_cast<WifiSecurity>(std::max(0, Combo1->currentIndex()));
    return in;
}

void Form1::GenerateSelected()
{
    // A look-up waiting for its reply keeps the window responsive; a second
    // request meanwhile is ignored rather than nested inside the first.
    if (requestInFlight_) return;
    const auto kind = static_cast<ContentKind>(TabStrip1->currentIndex() + 1);
    const FormInput in = ReadInput();
    if (const auto refusal = ValidationMessage(kind, in)) {
        SetStatus(QString::fromStdU16String(*refusal));
        return;
    }
    if (kind == ContentKind::WeChat) GenerateWeChat();
    else RenderPayload(QString::fromStdU16String(BuildPayload(kind, in)));
}

void Form1::GenerateWeChat()
{
    requestInFlight_ = true;
    const LookupResult found = LookupAccount(LineText[18]->text());
    requestInFlight_ = false;
    switch (found.kind) {
    case LookupResult::Payload: RenderPayload(found.text); break;
    case LookupResult::Refused:
        SetStatus(found.text);
        services_.Inform(this, kHintTitle, found.text);
        break;
    case LookupResult::Failed: SetStatus(QString::fromUtf8(kLookupFailed)); break;
    }
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

QImage Form1::ComposeExport() const
{
    return ComposePicture(image1_, image3_, QSize(kExportSize, kExportSize));
}

void Form1::Command2_Click()
{
    if (image1_.isNull()) {
        SetStatus(QStringLiteral("请先生成二维码后在进行保存!"));
        return;
    }
    const QString name = QStringLiteral("HD") + services_.Now().toString(QStringLiteral("yyyyMMddHHmmss")) +
                         QStringLiteral(".jpg");
    QString dir = services_.ProgramDir();
    // An installed program's folder belongs to the package manager, even when writable (root, an unpacked
    // package): use the pictures folder, as for a read-only folder.
    const bool inProgramDir = InstalledDataDir(dir).isEmpty() && DirectoryWritable(dir);
    if (!inProgramDir) {
        dir = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
        QDir().mkpath(dir);
    }
    const QString path = QDir(dir).absoluteFilePath(name);
    savedPath_ = path;
    const bool saved = ComposeExport().save(path, "JPG", 95);
    if (!saved)
        services_.Inform(this, kSaveTitle, QStringLiteral("二维码图片保存失败!路径:") + QDir::toNativeSeparators(path));
    else if (inProgramDir)
        services_.Inform(this, kSaveTitle, QStringLiteral("二维码图片已保存在当前目录下!名称:") + name);
    else
        services_.Inform(this, kSaveTitle, QStringLiteral("二维码图片已保存!路径:") + QDir::toNativeSeparators(path));
}

void Form1::Command3_Click()
{
    if (image1_.isNull()) {
        SetStatus(QStringLiteral("请先生成二维码后在进行复制!"));
        return;
    }
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setImage(ComposeExport());
    SetStatus(QStringLiteral("已复制到剪贴板!"));
}

void Form1::Command4_Click()
{
    services_.Inform(this, kHintTitle, QStringLiteral("建议上传300px*300px的JPG图片"));
    const QString file = services_.ChooseFile(this, QStringLiteral("选择LOGO"), QStringLiteral("JPG图片 (*.jpg)"));
    if (file.isEmpty()) return;
    const QImage logo(file);
    if (!logo.isNull()) image3_ = logo;
    if (image1_.isNull()) {
        SetStatus(QStringLiteral("LOGO已设置，请生成二维码"));
        return;
    }
    PaintLogo(canvas_, image3_);
    ShowCanvas();
}

void Form1::qk_Click()
{
    if (image1_.isNull()) {
        SetStatus(QStringLiteral("没有二维条码,无需清除"));
        return;
    }
    canvas_ = BlankCanvas();
    ShowCanvas();
    image1_ = QImage();
    image3_ = QImage();
    Label2->show();
    SetStatus(QStringLiteral("二维码已清除"));
    Text1->clear();
}

void Form1::sm_Click()
{
    services_.Inform(this, kHintTitle,
                     QStringLiteral("请选择对应的分类，并填写信息即可生成\r\n\r\nLOGO嵌入建议选择300px*300px的JPG图片"));
}

void Form1::xy_Click() { services_.OpenUrl(StudioWebsite()); }

void Form1::oskelt_Click() { services_.OpenUrl(CompanyWebsite()); }

void Form1::qq_Click() { close(); }

void Form1::closeEvent(QCloseEvent* event)
{
    if (ending_ || services_.AskYesNo(this, kHintTitle, QStringLiteral("是否确定退出软件?"))) event->accept();
    else event->ignore();
}

void Form1::EndProgram()
{
    ending_ = true;
    services_.Quit();
}

void Form1::Timer2_Timer()
{
    // The check runs once; stopping first keeps the wait for the reply from starting it again.
    Timer2->stop();
    const UpdateAnswer d = CheckForUpdate();
    switch (d.kind) {
    case UpdateAnswer::Failed:
        services_.Inform(this, kHintTitle, QStringLiteral("检测失败,请先使用当前版本"));
        break;
    case UpdateAnswer::Current:
        SetStatus(QStringLiteral("当前软件为最新版本,欢迎使用Vorlane软件.."));
        break;
    case UpdateAnswer::Offer:
        if (services_.AskYesNo(this, kHintTitle, QStringLiteral("发现最新版本") + d.version + QStringLiteral("，是否现在更新?"))) {
            services_.OpenUrl(d.page);
            EndProgram();
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
