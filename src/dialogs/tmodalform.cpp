#include "dialogs/tmodalform.h"

#include "core/ui/shown_text.h"
#include "core/ui/window_frame.h"

#include <QAbstractTextDocumentLayout>
#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>

namespace k4m {

namespace {

constexpr const char* kStripStyle =
    "background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #000000, stop:0.45 #C7C7C7, stop:0.55 #CCCCCC, "
    "stop:1 #FFFFFF);";

QFont promptFont(int pixels) {
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixels);
    return font;
}

} // namespace

int promptButtonWidth(const QString& caption) {
    return std::max(80, 8 * static_cast<int>(caption.size()));
}

TModalForm::TModalForm(QWidget* owner) : AnsweredDialog(owner) {
    setObjectName(QStringLiteral("ModalForm"));
    // No title-bar buttons: the dialog is answered, not closed, minimised or maximised (minimising it hid the
    // only window of a starting program). The frame hints are named once more before the first show.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);
    setFixedSize(kWidth, kInitialHeight);

    Rectangle1 = new QWidget(this);
    Rectangle1->setObjectName(QStringLiteral("Rectangle1"));
    Rectangle1->setAttribute(Qt::WA_StyledBackground);
    Rectangle1->setStyleSheet(QString::fromLatin1(kStripStyle));
    lHeader = new QLabel(Rectangle1);
    lHeader->setObjectName(QStringLiteral("lHeader"));
    showPlainText(lHeader);
    lHeader->setFont(promptFont(14));
    lHeader->setAlignment(Qt::AlignCenter);
    lHeader->setStyleSheet(QStringLiteral("background: transparent; color: #393939;"));
    auto* shadow = new QGraphicsDropShadowEffect(lHeader);
    shadow->setColor(Qt::white);
    shadow->setOffset(1, 1);
    shadow->setBlurRadius(0);
    lHeader->setGraphicsEffect(shadow);

    tPrompt = new QTextEdit(this);
    tPrompt->setObjectName(QStringLiteral("tPrompt"));
    tPrompt->setReadOnly(true);
    tPrompt->setFont(promptFont(14));
    tPrompt->setFrameShape(QFrame::NoFrame);
    tPrompt->setFocusPolicy(Qt::NoFocus);
    tPrompt->setAttribute(Qt::WA_TransparentForMouseEvents);
    tPrompt->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tPrompt->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tPrompt->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    QTextOption centred(Qt::AlignHCenter);
    centred.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    tPrompt->document()->setDefaultTextOption(centred);
    // A one-line prompt fits the 24 pixels between the strips.
    tPrompt->document()->setDocumentMargin(2);

    Rectangle2 = new QWidget(this);
    Rectangle2->setObjectName(QStringLiteral("Rectangle2"));
    Rectangle2->setAttribute(Qt::WA_StyledBackground);
    Rectangle2->setStyleSheet(QString::fromLatin1(kStripStyle));
    Button1 = new QPushButton(QStringLiteral("YES"), Rectangle2);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(16, 19, 73, 22);
    Button2 = new QPushButton(QStringLiteral("NO"), Rectangle2);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(160, 19, 41, 22);
    for (QPushButton* button : {Button1, Button2}) {
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoDefault(false);
        button->installEventFilter(this);
    }
    connect(Button1, &QPushButton::clicked, this, [this] { answer(1); });
    connect(Button2, &QPushButton::clicked, this, [this] { answer(2); });
    arrange();
}

void TModalForm::setUp(int id, const QString& title, const QString& prompt, const QString& b1, const QString& b2) {
    Button1->setText(b1);
    Button1->resize(promptButtonWidth(b1), Button1->height());
    Button2->setText(b2);
    Button2->resize(promptButtonWidth(b2), Button2->height());
    Button2->move(Rectangle2->width() - Button2->width() - 20, Button2->y());
    if (id == 0) {
        Button2->hide();
        Button1->move((Rectangle2->width() - Button1->width()) / 2, Button1->y());
        setWindowTitle(QStringLiteral("Acknowledge"));
    } else if (id == 1) {
        setWindowTitle(QStringLiteral("Confirmation"));
        Button1->move(20, Button1->y());
    } else {
        setWindowTitle(QStringLiteral("Kandoro Manager"));
    }
    // The prompt often carries a server's text: shown as plain text, and bounded so that laying it out takes a
    // moment whatever the server sent.
    tPrompt->setPlainText(boundedText(prompt));
    lHeader->setText(boundedText(title));
}

void TModalForm::arrange() {
    const int w = width();
    const int h = height();
    Rectangle1->setGeometry(0, 0, w, kHeaderHeight);
    lHeader->setGeometry(0, 0, w - 10, kHeaderHeight);
    Rectangle2->setGeometry(0, h - kButtonStripHeight, w, kButtonStripHeight);
    tPrompt->setGeometry(0, kHeaderHeight, w, h - kHeaderHeight - kButtonStripHeight);
}

void TModalForm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    arrange();
}

void TModalForm::growToFitPrompt() {
    // The prompt has no frame and no scroll bars, so its text area is the whole control (also before the
    // dialog is first shown, when the viewport has not been laid out yet). The width never changes, so the
    // text is laid out once and the growth steps are counted, not tried.
    tPrompt->document()->setTextWidth(tPrompt->width());
    const qreal textHeight = tPrompt->document()->size().height();
    int windowHeight = height();
    int promptHeight = tPrompt->height();
    while (textHeight > promptHeight && windowHeight <= kGrowthLimit) {
        windowHeight += 20;
        promptHeight += 20;
    }
    setFixedSize(width(), windowHeight + 10);
    arrange();
}

void TModalForm::setVisible(bool visible) {
    // Grown and placed before the window system sees it, so it appears once, at its final size and place.
    if (visible && !m_grown) {
        m_grown = true;
        growToFitPrompt();
        centreOnOwner(this);
        askForTitleOnlyFrame(this);
    }
    QDialog::setVisible(visible);
}

void TModalForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Now the frame is known: centre once more, frame on frame.
    centreOnOwner(this);
}

int ModalPrompt(QWidget* owner, int id, const QString& title, const QString& prompt, const QString& b1,
                const QString& b2) {
    TModalForm form(owner);
    form.setUp(id, title, prompt, b1, b2);
    const int result = form.exec();
    return result == 1 ? 1 : 2;
}

} // namespace k4m
