#include "dialogs/tlicenseform.h"

#include "core/ui/shown_text.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

namespace k4m {

extern const char* const kBuiltInLicence;

namespace {

QFont tahoma(int pixels) {
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixels);
    return font;
}

} // namespace

TLicenseForm::TLicenseForm(QWidget* owner) : AnsweredDialog(owner) {
    setObjectName(QStringLiteral("LicenseForm"));
    setWindowTitle(QStringLiteral("License Agreement"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setModal(true);
    setFixedSize(kWidth, kHeight);
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("#LicenseForm { background: #FFFFFF; border: 1px solid #8C8C8C; }"));

    lTitle = new QLabel(QStringLiteral("License Agreement"), this);
    lTitle->setObjectName(QStringLiteral("lTitle"));
    showPlainText(lTitle);
    lTitle->setFont(tahoma(16));
    lTitle->setAlignment(Qt::AlignCenter);
    lTitle->setGeometry(0, 8, kWidth, 28);

    mLicense = new QPlainTextEdit(this);
    mLicense->setObjectName(QStringLiteral("mLicense"));
    mLicense->setReadOnly(true);
    mLicense->setFont(tahoma(10));
    mLicense->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    mLicense->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    mLicense->setGeometry(16, 44, kWidth - 32, kHeight - 44 - 50);
    mLicense->setPlainText(builtInText());

    bCancel = new QPushButton(QStringLiteral("Cancel Installation"), this);
    bCancel->setObjectName(QStringLiteral("bCancel"));
    bCancel->setGeometry(16, kHeight - 36, 304, 22);
    bAgree = new QPushButton(QStringLiteral("I Agree"), this);
    bAgree->setObjectName(QStringLiteral("bAgree"));
    bAgree->setGeometry(kWidth - 16 - 304, kHeight - 36, 304, 22);
    for (QWidget* w : std::initializer_list<QWidget*>{mLicense, bCancel, bAgree})
        w->installEventFilter(this);
    for (QPushButton* b : {bCancel, bAgree}) {
        b->setAutoDefault(false);
        b->setFocusPolicy(Qt::NoFocus);
    }
    connect(bAgree, &QPushButton::clicked, this, [this] { answer(1); });
    connect(bCancel, &QPushButton::clicked, this, [this] { answer(2); });
}

QString TLicenseForm::builtInText() {
    return QString::fromUtf8(kBuiltInLicence);
}

void TLicenseForm::replaceText(const QString& text) {
    mLicense->setPlainText(text);
}

void TLicenseForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    const QScreen* shown = screen() ? screen() : QGuiApplication::primaryScreen();
    if (shown) move(shown->availableGeometry().center() - rect().center());
    mLicense->setFocus();
}

} // namespace k4m
