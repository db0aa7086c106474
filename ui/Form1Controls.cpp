// The window's controls, built frame by frame from layout tables.
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTimer>

#include "Form1.h"
#include "FormLayout.h"
#include "FormServices.h"

// One plain control of a frame: a caption or a grey hint (Label3(number)), a
// one-line box (Text<number>) or a separator rule (Line<number>).
struct FormField {
    enum Kind { Caption, Hint, Box, Rule } kind;
    int number;
    const char* text;             // the caption, the hint, or the box's text at start
    int left, top, width, height; // twips
    FormFont font;
};

namespace {

using Field = FormField;
using enum FormFont;

// clang-format off
constexpr Field kCardFields[] = {
    {Field::Caption, 0, "姓名", 480, 960, 390, 285, YaHei975},   {Field::Box, 2, "", 1200, 960, 4935, 375, YaHei975},
    {Field::Caption, 1, "电话", 480, 1560, 390, 285, YaHei975},  {Field::Box, 3, "", 1200, 1560, 4935, 375, YaHei975},
    {Field::Caption, 2, "Q Q", 480, 2160, 390, 285, YaHei975},   {Field::Box, 4, "", 1200, 2160, 4935, 375, YaHei975},
    {Field::Caption, 3, "邮箱", 480, 2760, 390, 285, YaHei975},  {Field::Box, 5, "", 1200, 2760, 4935, 375, YaHei975},
    {Field::Caption, 4, "公司", 480, 3360, 390, 285, YaHei975},  {Field::Box, 6, "", 1200, 3360, 4935, 375, YaHei975},
    {Field::Caption, 5, "职位", 480, 3960, 390, 285, YaHei975},  {Field::Box, 7, "", 1200, 3960, 4935, 375, YaHei975},
    {Field::Caption, 6, "网址", 480, 4560, 390, 285, YaHei975},
    {Field::Box, 8, "http://", 1200, 4560, 4935, 375, YaHei975},
    {Field::Caption, 7, "地址", 480, 5160, 390, 285, YaHei975},  {Field::Box, 9, "", 1200, 5160, 4935, 375, YaHei975},
    {Field::Hint, 30, "扫描后支持生成名片，用户可直接保存", 3120, 360, 3075, 255, YaHei9},
};

constexpr Field kUrlFields[] = {
    {Field::Caption, 8, "请输入URL网址", 360, 600, 6015, 285, YaHei975},
    {Field::Box, 10, "http://", 360, 1080, 6015, 375, YaHei975},
    {Field::Hint, 24, "扫描后支持自动跳转网页", 375, 1680, 6015, 255, YaHei9},
};

// Besides Option1 and Text11, which come first so that Tab visits them before Text12.
constexpr Field kSmsFields[] = {
    {Field::Caption, 9, "输入信息内容", 360, 480, 1170, 285, YaHei975},
    {Field::Caption, 10, "已输入数量：0/300", 360, 3000, 1740, 285, YaHei975},
    {Field::Rule, 1, "", 360, 3600, 6000, 15, YaHei975},
    {Field::Caption, 11, "请输入手机号码", 360, 3960, 1365, 285, YaHei975},
    {Field::Box, 12, "", 2160, 3960, 4215, 375, YaHei975},
    {Field::Rule, 2, "", 360, 4560, 6000, 15, YaHei975},
    {Field::Hint, 21, "仅支持手机自带扫码工具，暂不支持微信扫一扫", 360, 4800, 3795, 255, YaHei9},
    {Field::Hint, 29, "扫描后支持调转短信页面自动填写信息", 360, 5160, 3075, 255, YaHei9},
};

// Besides Combo1, which comes after the two boxes.
constexpr Field kWifiFields[] = {
    {Field::Caption, 12, "WIFI账号（SSID）", 360, 960, 1650, 285, YaHei975},
    {Field::Box, 13, "", 2280, 960, 4095, 375, YaHei975},
    {Field::Caption, 13, "WIFI密码", 360, 1680, 810, 285, YaHei975},
    {Field::Box, 14, "", 2280, 1680, 4095, 375, YaHei975},
    {Field::Caption, 14, "加密类型", 360, 2400, 780, 285, YaHei975},
    {Field::Hint, 22, "仅支持手机自带扫码工具，暂不支持微信扫一扫", 2520, 3360, 3795, 255, YaHei9},
    {Field::Hint, 23, "扫描后支持自动连接WIFI", 4320, 3720, 2025, 255, YaHei9},
};

constexpr Field kPhoneFields[] = {
    {Field::Caption, 15, "请输入手机号码", 360, 600, 6015, 285, YaHei975},
    {Field::Box, 15, "", 360, 1080, 6015, 375, YaHei975},
    {Field::Hint, 25, "扫描后支持自动呼叫号码", 375, 1680, 6015, 255, YaHei9},
};

constexpr Field kEmailFields[] = {
    {Field::Caption, 16, "请输入E-mail电子邮箱地址", 360, 600, 6015, 285, YaHei975},
    {Field::Box, 16, "", 360, 1080, 6015, 375, YaHei975},
    {Field::Hint, 19, "仅支持手机自带扫码工具，暂不支持微信扫一扫", 360, 1680, 6015, 255, YaHei9},
    {Field::Hint, 26, "扫描后支持自动唤起发送邮件", 360, 2040, 6015, 255, YaHei9},
};

constexpr Field kAppFields[] = {
    {Field::Caption, 17, "请输入应用包名（例如：com.tencent.mobileqq）", 360, 600, 6015, 285, YaHei975},
    {Field::Box, 17, "", 360, 1080, 6015, 375, YaHei975},
    {Field::Hint, 20, "仅支持手机自带扫码工具，暂不支持微信扫一扫", 360, 1680, 6015, 255, YaHei9},
    {Field::Hint, 27, "扫描后支持自动进入手机应用市场详情页面", 360, 2040, 6015, 255, YaHei9},
};

constexpr Field kWeChatFields[] = {
    {Field::Caption, 18, "请输入微信公众号的微信号", 360, 600, 6015, 285, YaHei975},
    {Field::Box, 18, "", 360, 1080, 6015, 375, YaHei975},
    {Field::Hint, 28, "扫描后支持自动跳转公众号关注页面", 360, 1680, 6015, 255, YaHei9},
};

// clang-format on

// The command buttons, left to right and top to bottom.
struct ButtonRow {
    QPushButton* Form1::*button;
    const char* name;
    const char* caption;
    int left, top, width, height;
    void (Form1::*click)();
};

const ButtonRow kButtons[] = {
    {&Form1::Command4, "Command4", "嵌入LOGO", 7560, 4680, 3735, 615, &Form1::Command4_Click},
    {&Form1::Command1, "Command1", "生成二维码", 7560, 5400, 3735, 615, &Form1::Command1_Click},
    {&Form1::Command3, "Command3", "复制", 7560, 6120, 1815, 615, &Form1::Command3_Click},
    {&Form1::Command2, "Command2", "保存", 9480, 6120, 1815, 615, &Form1::Command2_Click},
};

} // namespace

void Form1::BuildControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(773, 509);
    setCentralWidget(client);

    BuildTabStrip(client);
    for (size_t i = 0; i < Frame1.size(); ++i) {
        Frame1[i] = new QFrame(client);
        Frame1[i]->setObjectName(QStringLiteral("Frame1(%1)").arg(i));
        Frame1[i]->setGeometry(Twips(360, 720, 6735, 5895));
        Frame1[i]->setFont(MakeFont(Tahoma));
        // Only the first frame opens with the window: the others are not laid out until chosen.
        if (i > 0) Frame1[i]->hide();
    }
    BuildTextFrame(Frame1[0]);
    BuildFields(Frame1[1], kCardFields);
    BuildFields(Frame1[2], kUrlFields);
    BuildSmsFrame(Frame1[3]);
    BuildWifiFrame(Frame1[4]);
    BuildFields(Frame1[5], kPhoneFields);
    BuildFields(Frame1[6], kEmailFields);
    BuildFields(Frame1[7], kAppFields);
    BuildFields(Frame1[8], kWeChatFields);
    BuildPreviewAndButtons(client);
    BuildStatusBar(client);

    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(1000);
    connect(Timer2, &QTimer::timeout, this, &Form1::Timer2_Timer);
}

void Form1::BuildTabStrip(QWidget* client)
{
    TabStrip1 = new QTabBar(client);
    TabStrip1->setObjectName(QStringLiteral("TabStrip1"));
    TabStrip1->setFont(MakeFont(YaHei975));
    TabStrip1->setExpanding(false);
    TabStrip1->setDrawBase(true);
    const char* captions[] = {"文字", "名片", "网址", "短信", "WIFI", "电话", "邮箱", "APP", "微信"};
    const char* keys[] = {"wenzi", "mingpian", "wangzhi", "duanxin", "wifi", "dianhua", "email", "wechatapp", "wechat"};
    for (int i = 0; i < 9; ++i) {
        TabStrip1->addTab(QString::fromUtf8(captions[i]));
        TabStrip1->setTabData(i, QString::fromLatin1(keys[i]));
    }
    // The strip's area is the row of tabs and the page below it.
    const QRect strip = Twips(240, 240, 6975, 6495);
    constexpr int kTabHeight = 30;
    TabStrip1->setGeometry(strip.x(), strip.y(), strip.width(), kTabHeight);
    auto* page = new QFrame(client);
    page->setObjectName(QStringLiteral("TabStrip1Page"));
    page->setFrameShape(QFrame::StyledPanel);
    page->setGeometry(strip.x(), strip.y() + kTabHeight - 1, strip.width(), strip.height() - kTabHeight + 1);
    connect(TabStrip1, &QTabBar::currentChanged, this, [this] { TabStrip1_Click(); });
}

void Form1::BuildFields(QWidget* frame, std::span<const FormField> fields)
{
    for (const Field& f : fields) {
        QWidget* w = nullptr;
        switch (f.kind) {
        case Field::Caption:
        case Field::Hint: {
            auto* label = new FitLabel(QString::fromUtf8(f.text), frame, Twips(f.left, f.top, f.width, f.height));
            label->setObjectName(QStringLiteral("Label3(%1)").arg(f.number));
            if (f.kind == Field::Hint) label->setStyleSheet(QStringLiteral("color: rgb(128, 128, 128);"));
            Label3[static_cast<size_t>(f.number)] = label;
            w = label;
            break;
        }
        case Field::Box: {
            auto* box = new QLineEdit(QString::fromUtf8(f.text), frame);
            box->setObjectName(QStringLiteral("Text%1").arg(f.number));
            LineText[static_cast<size_t>(f.number)] = box;
            w = box;
            break;
        }
        case Field::Rule:
            w = new QFrame(frame);
            w->setObjectName(QStringLiteral("Line%1").arg(f.number));
            w->setStyleSheet(QStringLiteral("background: rgb(224, 224, 224);"));
            break;
        }
        w->setFont(MakeFont(f.font));
        w->setGeometry(Twips(f.left, f.top, f.width, f.height));
    }
}

// A multi-line box with a vertical scroll bar that Tab leaves.
static QPlainTextEdit* MultiLineBox(QWidget* frame, const char* name, QRect geometry, FormFont font)
{
    auto* box = new QPlainTextEdit(frame);
    box->setObjectName(QString::fromLatin1(name));
    box->setFont(MakeFont(font));
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setTabChangesFocus(true);
    box->setGeometry(geometry);
    return box;
}

void Form1::BuildTextFrame(QWidget* frame)
{
    Text1 = MultiLineBox(frame, "Text1", Twips(120, 240, 6495, 5535), YaHei105);
    Text1->installEventFilter(this);
    Text1->viewport()->installEventFilter(this);
}

void Form1::BuildSmsFrame(QWidget* frame)
{
    const char* options[] = {"短信", "彩信"};
    for (size_t i = 0; i < Option1.size(); ++i) {
        Option1[i] = new Fitted<QRadioButton>(QString::fromUtf8(options[i]), frame,
                                              Twips(4680 + 960 * static_cast<int>(i), 480, 735, 285));
        Option1[i]->setObjectName(QStringLiteral("Option1(%1)").arg(i));
        Option1[i]->setFont(MakeFont(YaHei975));
    }
    Option1[0]->setChecked(true);
    Text11 = MultiLineBox(frame, "Text11", Twips(360, 960, 6015, 1905), YaHei975);
    BuildFields(frame, kSmsFields);
    connect(Text11, &QPlainTextEdit::textChanged, this, &Form1::Text11_Change);
}

void Form1::BuildWifiFrame(QWidget* frame)
{
    BuildFields(frame, kWifiFields);
    Combo1 = new QComboBox(frame);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(false);
    Combo1->setFont(MakeFont(YaHei975));
    Combo1->setGeometry(Twips(2280, 2400, 4095, 375));
}

void Form1::BuildPreviewAndButtons(QWidget* client)
{
    Picture1 = new QLabel(client);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(Twips(7560, 720, 3735, 3855));
    Picture1->setFrameShape(QFrame::NoFrame);
    Label2 = new FitLabel(QStringLiteral("二维条码图片区"), Picture1, Twips(0, 1920, 3660, 195));
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(MakeFont(Tahoma));
    Label2->setAlignment(Qt::AlignCenter);
    ShowCanvas();

    for (const ButtonRow& row : kButtons) {
        QPushButton*& b = this->*row.button;
        b = new QPushButton(QString::fromUtf8(row.caption), client);
        b->setObjectName(QString::fromLatin1(row.name));
        b->setFont(MakeFont(Tahoma));
        b->setGeometry(Twips(row.left, row.top, row.width, row.height));
        b->setEnabled(false);
        connect(b, &QPushButton::clicked, this, row.click);
    }
}

void Form1::BuildStatusBar(QWidget* client)
{
    // A label, the status panel, a clock.
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
    constexpr int kInch = 1440 / 15;
    panels_[0]->setText(QStringLiteral("提示"));
    panels_[0]->setFixedWidth(kInch);
    panels_[1]->setText(QStringLiteral("正在检测版本更新"));
    panels_[1]->setMinimumWidth(kInch);
    panels_[2]->setFixedWidth(kInch);
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
}
