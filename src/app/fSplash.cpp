#include "app/fSplash.h"

#include "app/AppResources.h"
#include "app/ScrollingCredits.h"

#include <QDesktopServices>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainterPath>
#include <QRegion>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

namespace {

const QColor kBackground(209, 208, 190);
const QColor kLink(138, 137, 124);
const QColor kText(84, 84, 70);

// The window keeps this size when the picture is missing, so the labels still
// have their places.
const QSize kDesignedSize(480, 300);
constexpr int kCornerEllipse = 33;
constexpr int kMargin = 22;

const char* const kCredits =
    "[b]Built with\n"
    "[c]Qt 6\n"
    "[c]SQLite\n"
    "[c]PostgreSQL\n"
    "[c]libzip\n"
    "[c]libcurl\n"
    "[c]GoogleTest\n"
    "\n"
    "[b]Pictures\n"
    "drawn in code\n"
    "at every build\n"
    "\n"
    "[b]And to you\n"
    "for every note,\n"
    "bug report and idea\n"
    "that made it better";

QFont SplashFont()
{
    QFont font(QStringLiteral("Tahoma"), 8);
    // Tahoma is seldom installed here; a plain sans face stands in for it.
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    return font;
}

void SetTextColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

QLabel* NewLabel(QWidget* parent, const char* name, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    SetTextColour(label, kText);
    return label;
}

QLabel* NewLink(QWidget* parent, const char* name, const QString& text)
{
    QLabel* link = NewLabel(parent, name, text);
    QFont font = link->font();
    font.setUnderline(true);
    link->setFont(font);
    link->setCursor(Qt::PointingHandCursor);
    SetTextColour(link, kLink);
    return link;
}

// Places a label with its natural size; `right` aligns its right edge at x.
void Place(QLabel* label, int x, int y, bool right = false)
{
    label->adjustSize();
    label->move(right ? x - label->width() : x, y);
}

} // namespace

TfrmSplash::TfrmSplash(QWidget* parent, const TSplashTimings& timings)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_timings(timings)
{
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(QStringLiteral("Tessaryn splash form"));
    setFont(SplashFont());
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kBackground);
    setPalette(palette);
    setAutoFillBackground(true);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(m_timings.StartupMs);
    connect(Timer1, &QTimer::timeout, this, &TfrmSplash::Timer1Timer);

    CreateControls();
}

QString TfrmSplash::VersionText()
{
#if defined(TESSARYN_VERSION_MAJOR) && defined(TESSARYN_VERSION_MINOR) && defined(TESSARYN_VERSION_PATCH)
    return QStringLiteral("Version") + QStringLiteral(" %1.%2.%3")
                                           .arg(TESSARYN_VERSION_MAJOR)
                                           .arg(TESSARYN_VERSION_MINOR)
                                           .arg(TESSARYN_VERSION_PATCH);
#else
    return QStringLiteral("Version");
#endif
}

QUrl TfrmSplash::CompanyUrl()
{
    return QUrl(QStringLiteral("https://www.morviksoftware.com/"));
}

void TfrmSplash::CreateControls()
{
    const QPixmap picture = TAppResources::Picture(QStringLiteral("JPG_SPLASH"));
    const QSize client = picture.isNull() ? kDesignedSize : picture.size();
    setFixedSize(client);

    imgSplash = new QLabel(this);
    imgSplash->setObjectName(QStringLiteral("imgSplash"));
    imgSplash->setPixmap(picture);
    imgSplash->setGeometry(0, 0, client.width(), client.height());

    // The shape: a rounded rectangle from (1, 1) to the client's width and
    // height, the right and bottom edges themselves left out.
    QPainterPath shape;
    const qreal radius = kCornerEllipse / 2.0;
    shape.addRoundedRect(QRectF(1, 1, client.width() - 1, client.height() - 1), radius, radius);
    setMask(QRegion(shape.toFillPolygon().toPolygon()));

    const int w = client.width();
    const int h = client.height();
    laVersion = NewLabel(this, "laVersion", VersionText());
    laVersion->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Place(laVersion, w - kMargin, h - 44, true);
    laClose = NewLink(this, "laClose", QStringLiteral("Close"));
    Place(laClose, w - kMargin, h - 26, true);
    laCompany = NewLabel(this, "laCompany", QStringLiteral("Morvik Software"));
    laCompany->setCursor(Qt::PointingHandCursor);
    Place(laCompany, kMargin, h - 44);
    laCredits = NewLink(this, "laCredits", QStringLiteral("Credits"));
    Place(laCredits, kMargin, h - 26);
    for (QLabel* link : {laClose, laCredits, laCompany})
        link->installEventFilter(this);

    bvMarquee = new QFrame(this);
    bvMarquee->setObjectName(QStringLiteral("bvMarquee"));
    bvMarquee->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bvMarquee->setAutoFillBackground(true);
    QPalette panel = bvMarquee->palette();
    panel.setColor(QPalette::Window, QColor(228, 227, 213));
    bvMarquee->setPalette(panel);
    bvMarquee->setGeometry(w - 200, 24, 200 - kMargin, h - 86);

    auto* heading = NewLabel(bvMarquee, "laThanks", QStringLiteral("Special thanks..."));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    heading->setAlignment(Qt::AlignCenter);
    auto* rule = new QFrame(bvMarquee);
    rule->setFrameStyle(QFrame::HLine | QFrame::Plain);
    rule->setFixedHeight(1);
    SetTextColour(rule, kLink);
    Marquee = new TScrollingCredits(bvMarquee);
    Marquee->setObjectName(QStringLiteral("Marquee"));
    Marquee->SetCredits(QString::fromUtf8(kCredits));
    SetTextColour(Marquee, kText);

    auto* column = new QVBoxLayout(bvMarquee);
    column->setContentsMargins(6, 6, 6, 4);
    column->setSpacing(4);
    column->addWidget(heading);
    column->addWidget(rule);
    column->addWidget(Marquee, 1);
    bvMarquee->hide();
}

void TfrmSplash::CentreOnScreen()
{
    const QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
}

void TfrmSplash::ShowForStartup()
{
    laCredits->hide();
    laClose->hide();
    // the start-up code lets go of the window once shown; the release frees it
    setAttribute(Qt::WA_DeleteOnClose);
    m_timerAction = TTimerAction::Release;
    Timer1->setInterval(m_timings.StartupMs);
    Timer1->start();
    CentreOnScreen();
    show();
}

int TfrmSplash::ShowAbout()
{
    Timer1->stop();
    laClose->show();
    laCredits->show();
    CentreOnScreen();
    return exec();
}

bool TfrmSplash::CanClose() const
{
    return !(Timer1->isActive() && laClose->isHidden());
}

bool TfrmSplash::LinksClickable() const
{
    return !laClose->isHidden();
}

void TfrmSplash::reject()
{
    // Escape, the window system's close and close() all end here.
    if (CanClose())
        QDialog::reject();
}

void TfrmSplash::done(int result)
{
    Timer1->stop();
    Marquee->Stop();
    QDialog::done(result);
    if (!m_released) {
        m_released = true;
        if (OnReleased)
            OnReleased();
    }
}

void TfrmSplash::Timer1Timer()
{
    Timer1->stop();
    switch (m_timerAction) {
    case TTimerAction::Release:
        close();
        break;
    case TTimerAction::StartScrolling:
        Marquee->Start();
        break;
    }
}

void TfrmSplash::laCreditsClick()
{
    laCredits->hide();
    bvMarquee->show();
    bvMarquee->raise();
    m_timerAction = TTimerAction::StartScrolling;
    Timer1->setInterval(m_timings.CreditsDelayMs);
    Timer1->start();
}

void TfrmSplash::LinkClicked(QLabel* link)
{
    if (link == laClose) {
        close();
    } else if (link == laCredits) {
        laCreditsClick();
    } else if (link == laCompany) {
        if (OnOpenWebPage)
            OnOpenWebPage(CompanyUrl());
        else
            QDesktopServices::openUrl(CompanyUrl());
    }
}

// The links take their clicks only while they can be clicked (About mode);
// otherwise their presses go on to the window, which moves.
bool TfrmSplash::eventFilter(QObject* watched, QEvent* event)
{
    auto* link = qobject_cast<QLabel*>(watched);
    if (!link || !LinksClickable())
        return QDialog::eventFilter(watched, event);
    if (event->type() == QEvent::MouseButtonPress) {
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            m_pressedLink = link;
        return true;
    }
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const bool click = mouse->button() == Qt::LeftButton && m_pressedLink == link
                           && link->rect().contains(mouse->position().toPoint());
        m_pressedLink = nullptr;
        if (click)
            LinkClicked(link);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmSplash::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QDialog::mousePressEvent(event);
    // The window system moves the window where it can (and must, on
    // Wayland); elsewhere the window follows the mouse by itself.
    if (windowHandle() && windowHandle()->startSystemMove())
        return;
    m_dragging = true;
    m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void TfrmSplash::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - m_dragOffset);
    else
        QDialog::mouseMoveEvent(event);
}

void TfrmSplash::mouseReleaseEvent(QMouseEvent* event)
{
    m_dragging = false;
    QDialog::mouseReleaseEvent(event);
}
