// The main window's controls, with the places, texts, hints and colours of its design.
#include "app/ui/home_picture.h"
#include "app/ui/tformd.h"
#include "core/ui/shown_text.h"

#include <QFile>
#include <QFontDatabase>
#include <QGraphicsDropShadowEffect>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

// The style sheet lives in a resource of this static library; it must be registered by name.
static void registerResources() {
    Q_INIT_RESOURCE(resources);
}

// The window is laid out for Tahoma. Linux desktops rarely have it; Wine's metric-compatible Tahoma is
// used when it is installed, otherwise Qt falls back to a font of its choice.
static void provideTahoma() {
    static const bool done = [] {
        if (QFontDatabase::families().contains(QStringLiteral("Tahoma"))) return true;
        for (const char* file : {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"})
            QFontDatabase::addApplicationFont(QString::fromLatin1(file));
        return true;
    }();
    (void)done;
}

namespace k4m {

namespace {

QFont tahoma(double pixels) {
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(static_cast<int>(pixels + 0.5));
    return font;
}

template <typename T> T* named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// Labels show plain text: several show texts of a server, a file or the user.
QLabel* label(QWidget* parent, const char* name, const QString& text, QRect geometry) {
    auto* l = named(new QLabel(parent), name);
    showPlainText(l);
    l->setText(text);
    l->setGeometry(geometry);
    return l;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text, const QString& hint, QRect geometry) {
    auto* b = named(new QPushButton(text, parent), name);
    b->setGeometry(geometry);
    b->setToolTip(hint);
    return b;
}

QGraphicsDropShadowEffect* glow(QWidget* target, const char* name, QColor colour) {
    auto* effect = new QGraphicsDropShadowEffect(target);
    effect->setObjectName(QString::fromLatin1(name));
    effect->setColor(colour);
    effect->setOffset(0, 0);
    effect->setBlurRadius(14);
    target->setGraphicsEffect(effect);
    return effect;
}

void makeLink(QLabel* link, QObject* filter) {
    link->setCursor(Qt::PointingHandCursor);
    link->installEventFilter(filter);
}

} // namespace

void TformD::createControls() {
    provideTahoma();
    setObjectName(QStringLiteral("formD"));
    setWindowTitle(QStringLiteral("Kandoro Manager"));
    setFixedSize(800, 600);

    // The picture fills the client area under the header; the header and footer lie over it.
    imgHome = named(new QLabel(this), "imgHome");
    imgHome->setGeometry(0, 145, 800, 422);
    imgHome->setScaledContents(true);
    imgHome->setPixmap(QPixmap::fromImage(builtInHomePicture()));
    Label9 = label(imgHome, "Label9", QString(), {24, 192, 753, 41});
    Label9->setFont(tahoma(20));
    Label9->setAlignment(Qt::AlignCenter);
    Label9->setStyleSheet(QStringLiteral("color: #FF3B3B; background: transparent;"));
    Label9->hide();
    makeLink(Label9, this);

    Rectangle1 = named(new QWidget(this), "Rectangle1");
    Rectangle1->setGeometry(0, 0, 800, 145);
    Rectangle1->setAttribute(Qt::WA_StyledBackground);

    Label1 = label(Rectangle1, "Label1", QStringLiteral("KANDORO 4 MANAGER"), {10, 0, 225, 33});
    Label1->setFont(tahoma(20));
    Label5 = label(Rectangle1, "Label5", QString::fromLatin1("Corvane"), {616, 0, 174, 37});
    Label5->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label7 = label(Rectangle1, "Label7", QStringLiteral("Quickstart Guide"), {240, 11, 193, 17});
    Label8 = label(Rectangle1, "Label8", QStringLiteral("What's New?"), {408, 11, 193, 17});
    for (QLabel* link : {Label7, Label8}) {
        auto* halfTransparent = new QGraphicsOpacityEffect(link);
        halfTransparent->setOpacity(0.5);
        link->setGraphicsEffect(halfTransparent);
        makeLink(link, this);
    }

    bConnect = button(Rectangle1, "bConnect", QStringLiteral("Connect"), QStringLiteral("Log into the Corvane server"),
                      {8, 42, 80, 22});
    shadowConnect = glow(bConnect, "shadowConnect", QColor(0x00, 0x80, 0x80));
    bInstall = button(Rectangle1, "bInstall", QStringLiteral("Start Installation"),
                      QStringLiteral("Starts the installation process"), {96, 42, 121, 22});
    bInstall->setEnabled(false);
    shadowInstall = glow(bInstall, "shadowInstall", QColor(0xDC, 0x14, 0x3C));
    shadowInstall->setEnabled(false);
    bCancel = button(Rectangle1, "bCancel", QStringLiteral("Cancel"),
                     QStringLiteral("Cancel running installation process"), {224, 42, 80, 22});
    bCancel->setEnabled(false);
    bUninstall = button(Rectangle1, "bUninstall", QStringLiteral("Uninstall"),
                        QStringLiteral("Uninstall Kandoro from your computer"), {312, 42, 80, 22});
    bOptions = button(Rectangle1, "bOptions", QStringLiteral("Install Options"),
                      QStringLiteral("Installation settings for your computer"), {400, 42, 105, 22});
    btechSupport = button(Rectangle1, "btechSupport", QStringLiteral("Email Tech Support"),
                          QStringLiteral("Click to send an email requesting technical support."), {552, 42, 120, 22});
    bKDOptions =
        button(Rectangle1, "bKDOptions", QStringLiteral("Troubleshooting"),
               QStringLiteral("Various options for troubleshooting problems running Kandoro"), {680, 42, 113, 22});

    Label4 = label(Rectangle1, "Label4", QStringLiteral("Customer Key"), {10, 72, 79, 17});
    ekey = named(new QLineEdit(Rectangle1), "ekey");
    ekey->setGeometry(96, 69, 409, 24);
    ekey->setToolTip(QStringLiteral("Copy and paste your customer key from your delivery email here"));
    lOffline = label(Rectangle1, "lOffline", QStringLiteral("OFFLINE MODE"), {504, 72, 121, 17});
    lOffline->setAlignment(Qt::AlignCenter);
    lOffline->hide();
    bRepairAll = button(Rectangle1, "bRepairAll", QStringLiteral("Repair All"), QString(), {552, 70, 72, 22});
    bReinstallAll = button(Rectangle1, "bReinstallAll", QStringLiteral("Re-Install All"), QString(), {632, 70, 80, 22});
    bSkipAll = button(Rectangle1, "bSkipAll", QStringLiteral("Skip All"), QString(), {720, 70, 73, 22});
    for (QPushButton* b : {bRepairAll, bReinstallAll, bSkipAll})
        b->hide();

    // The hint lies along the bottom of the header, under the customer and status lines.
    Label6 = label(Rectangle1, "Label6", QStringLiteral("Click CONNECT to begin..."), {0, 96, 800, 49});
    // The hint is the program's own text; its "&&" needs the label's mnemonic handling to show as "&".
    Label6->setTextFormat(Qt::AutoText);
    Label6->setFont(tahoma(14));
    Label6->setAlignment(Qt::AlignCenter);
    // With a buddy, "&&" in the hint shows as one ampersand.
    Label6->setBuddy(ekey);
    lCustomer = label(Rectangle1, "lCustomer", QStringLiteral("N/A"), {8, 98, 785, 17});
    lStatus = label(Rectangle1, "lStatus", QStringLiteral("N/A"), {8, 112, 785, 29});
    lStatus->setFont(tahoma(11.9));
    lStatus->setWordWrap(false);
    Label2 = label(Rectangle1, "Label2", QString(), {0, 0, 0, 0});
    Label2->hide();
    // The bar reaches below the header, so it lies on the window itself, above the picture and the rows.
    pbar = named(new QProgressBar(this), "pbar");
    pbar->setGeometry(8, 134, 577, 20);
    pbar->setTextVisible(false);
    pbar->hide();

    Rectangle2 = named(new QWidget(this), "Rectangle2");
    Rectangle2->setGeometry(0, 570, 800, 30);
    Rectangle2->setAttribute(Qt::WA_StyledBackground);
    Label3 = label(Rectangle2, "Label3", QString(), {8, 0, 784, 30});
    Label3->setAlignment(Qt::AlignCenter);

    Timer1 = named(new QTimer(this), "Timer1");
    Timer1->setInterval(200);

    connect(bConnect, &QPushButton::clicked, this, &TformD::bConnectClick);
    connect(bInstall, &QPushButton::clicked, this, &TformD::bInstallClick);
    connect(bCancel, &QPushButton::clicked, this, &TformD::bCancelClick);
    connect(bKDOptions, &QPushButton::clicked, this, &TformD::bKDOptionsClick);
    connect(bUninstall, &QPushButton::clicked, this, &TformD::bUninstallClick);
    connect(btechSupport, &QPushButton::clicked, this, &TformD::btechSupportClick);
    connect(bOptions, &QPushButton::clicked, this, [this] { bOptionsClick(true); });
    connect(ekey, &QLineEdit::textChanged, this, &TformD::ekeyChange);
    connect(bReinstallAll, &QPushButton::clicked, this, &TformD::bReinstallAllClick);
    connect(bRepairAll, &QPushButton::clicked, this, &TformD::bRepairAllClick);
    connect(bSkipAll, &QPushButton::clicked, this, &TformD::bSkipAllClick);
    connect(Timer1, &QTimer::timeout, this, &TformD::Timer1Timer);
    applyLook();
}

void TformD::applyLook() {
    registerResources();
    QFile style(QStringLiteral(":/k4m/style.qss"));
    if (style.open(QIODevice::ReadOnly)) setStyleSheet(QString::fromUtf8(style.readAll()));
}

bool TformD::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == Label7)
            Label7Click();
        else if (watched == Label8)
            Label8Click();
        else if (watched == Label9)
            Label9Click();
    }
    return QWidget::eventFilter(watched, event);
}

void TformD::Label7Click() {
    m_platform.shellOpen(Server.website + "/kandoro4_quickstart.html");
}
void TformD::Label8Click() {
    m_platform.shellOpen(Server.website + "/kandoro4_feed.html");
}
void TformD::Label9Click() {
    m_platform.shellOpen(Server.website + "/buy.html");
}

} // namespace k4m
