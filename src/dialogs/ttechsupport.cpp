#include "dialogs/ttechsupport.h"

#include "dialogs/dialog_controls.h"

#include <QDrag>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>

namespace k4m {

namespace {

constexpr const char* kStyle = R"(
#TechSupport { background: #708090; }
#RoundRect1 { background: #FFF8DC; border: 1px solid #8C8C8C; border-radius: 8px; }
#Label1 { font-family: Tahoma; font-size: 12px; color: #202020; background: transparent; }
#Label2 { font-family: Tahoma; font-size: 11px; color: #FFF8DC; background: transparent; }
#Rectangle2 { border-top: 1px solid #5A6672;
              background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #E2E2E2, stop:1 #B5B5B5); }
)";

} // namespace

TTechSupport::TTechSupport(Platform& platform, std::function<std::string()> buildZip, std::string archivePath,
                           std::string mailLink, QWidget* owner)
    : SettingsDialog(owner), m_platform(platform), m_buildZip(std::move(buildZip)), m_archivePath(std::move(archivePath)),
      m_mailLink(std::move(mailLink)) {
    using namespace controls;
    setObjectName(QStringLiteral("TechSupport"));
    setWindowTitle(QStringLiteral("Request Technical Support"));
    setFixedSize(kWidth, kHeight);
    setStyleSheet(QString::fromLatin1(kStyle));

    Button1 = button(this, "Button1", QStringLiteral("Create Email For Corvane Technical Support"), {56, 16, 329, 41});
    RoundRect1 = panel(this, "RoundRect1", {16, 64, 409, 73});
    RoundRect1->setCursor(Qt::DragCopyCursor);
    RoundRect1->installEventFilter(this);
    Label1 = label(RoundRect1, "Label1",
                   QStringLiteral("Drag from here to the e-mail to attach the log files. No personal information is "
                                  "being transmitted."),
                   {8, 0, 393, 73}, true);
    Label1->setAlignment(Qt::AlignCenter);
    // Presses on the text start the drag as well.
    Label1->setAttribute(Qt::WA_TransparentForMouseEvents);
    Label2 = label(this, "Label2", QString(), {20, 152, 401, 46}, true);
    Label2->setAlignment(Qt::AlignCenter);
    Label2->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Rectangle2 = panel(this, "Rectangle2", {0, kHeight - 40, kWidth, 40});
    Button2 = button(Rectangle2, "Button2", QStringLiteral("Done"), {kWidth - 96, 8, 80, 24});

    connect(Button1, &QPushButton::clicked, this, &TTechSupport::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::accept);
}

void TTechSupport::FormShow() {
    // 1. Where the archive really lies on this computer, not where it lies on a typical one.
    Label2->setText(QStringLiteral("Alternatively, you can also attach this file manually:\r\n") +
                    QString::fromStdString(m_archivePath));
    // 2.
    try {
        LogZip = m_buildZip ? m_buildZip() : std::string();
    } catch (const std::exception&) {
        LogZip.clear();
    }
}

void TTechSupport::Button1Click() {
    if (!m_mailLink.empty()) m_platform.launch(m_mailLink, std::nullopt, 0);
}

void TTechSupport::RoundRect1MouseDown() {
    auto* data = new QMimeData;
    // Without an archive the list is empty: a drop then attaches nothing.
    QList<QUrl> files;
    if (!LogZip.empty()) files << QUrl::fromLocalFile(QString::fromStdString(LogZip));
    data->setUrls(files);
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction | Qt::LinkAction, Qt::CopyAction);
}

bool TTechSupport::eventFilter(QObject* watched, QEvent* event) {
    if (watched == RoundRect1 && event->type() == QEvent::MouseButtonPress) {
        RoundRect1MouseDown();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace k4m
