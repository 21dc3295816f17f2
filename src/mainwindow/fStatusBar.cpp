#include "mainwindow/fStatusBar.h"

#include "app/AppResources.h"
#include "controls/HelpContext.h"
#include "controls/SizeGripPanel.h"
#include "mainwindow/HintManager.h"
#include "mainwindow/fMain.h"

#include <QApplication>
#include <QColor>
#include <QFontInfo>
#include <QFontMetrics>
#include <algorithm>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>
#include <exception>
#include <type_traits>

namespace {

const QString kHintShown = QStringLiteral("ICO_POSTIT_NOTE_BLUE_PIN_NORMAL_16x16");
const QString kHintEmpty = QStringLiteral("BMP_HINT_EMPTY");
const QString kHintError = QStringLiteral("ICO_STOP_RED_16x16");
const QString kHintInfo = QStringLiteral("BMP_HINT_INFO");

constexpr int kBottomHeight = 19;
// How long a notice or an error stands against an empty hint.
constexpr qint64 kNoticeKeptMs = 6000;
constexpr int kImageWidth = 19;
constexpr int kImageSize = 17;
constexpr int kGripPanelWidth = 58;

QFrame* LoweredPanel(QFrame* frame, const char* name)
{
    frame->setObjectName(QString::fromLatin1(name));
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    frame->setLineWidth(1);
    return frame;
}

} // namespace

template <class TPersistentBase>
TStatusBarWindow<TPersistentBase>::TStatusBarWindow(TdmMain& dmMain, QWidget* parent)
    : TPersistentBase(dmMain, parent)
{
    this->setWindowTitle(QStringLiteral("Status bar form"));

    paBottom = new QFrame;
    paBottom->setObjectName(QStringLiteral("paBottom"));
    paBottom->setFixedHeight(kBottomHeight);

    paImg = LoweredPanel(new QFrame(paBottom), "paImg");
    paImg->setFixedWidth(kImageWidth);
    imgHint = new QLabel(paImg);
    imgHint->setObjectName(QStringLiteral("imgHint"));
    imgHint->setAlignment(Qt::AlignCenter);
    imgHint->setAttribute(Qt::WA_TranslucentBackground);
    imgHint->setGeometry(1, 1, kImageSize, kImageSize);

    paHint = new QLabel(paBottom);
    LoweredPanel(paHint, "paHint");
    paHint->setIndent(3);
    QFont hintFont(QStringLiteral("Verdana"));
    hintFont.setFamilies({QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    // The design's nine pixels, or the desktop's size when that is larger;
    // the bar grows with the text so that a hint is never cut.
    hintFont.setPixelSize(std::max(9, QFontInfo(QApplication::font()).pixelSize() - 2));
    paHint->setFont(hintFont);
    paBottom->setFixedHeight(std::max(kBottomHeight, QFontMetrics(hintFont).height() + 6));
    paHint->setTextFormat(Qt::PlainText);
    paHint->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QPalette palette = paHint->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    paHint->setPalette(palette);

    SizeGripPanel1 = new TSizeGripPanel(paBottom);
    LoweredPanel(SizeGripPanel1, "SizeGripPanel1");
    SizeGripPanel1->setFixedWidth(kGripPanelWidth);
    SizeGripPanel1->SetSizeGrip(true);

    auto* row = new QHBoxLayout(paBottom);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(paImg);
    row->addWidget(paHint, 1);
    row->addWidget(SizeGripPanel1);

    m_clientArea = new QWidget;
    m_clientArea->setObjectName(QStringLiteral("ClientArea"));

    QWidget* host = this;
    if constexpr (std::is_base_of_v<QMainWindow, TPersistentBase>) {
        // The row sits in the central widget rather than in a QStatusBar,
        // whose messages would hide it.
        host = new QWidget;
        this->setCentralWidget(host);
    }
    auto* column = new QVBoxLayout(host);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_clientArea, 1);
    column->addWidget(paBottom);

    ShowHint(QString(), Qt::black, kHintEmpty);
}

template <class TPersistentBase>
IStatusBarWindow* TStatusBarWindow<TPersistentBase>::EnclosingStatusBar() const
{
    if (this->isWindow())
        return nullptr;
    for (QWidget* w = this->parentWidget(); w; w = w->parentWidget())
        if (auto* bar = dynamic_cast<IStatusBarWindow*>(w))
            return bar;
    return nullptr;
}

template <class TPersistentBase>
void TStatusBarWindow<TPersistentBase>::ShowHint(const QString& text, const QColor& colour, const QString& picture)
{
    try {
        if (paHint->palette().color(QPalette::WindowText) != colour) {
            QPalette palette = paHint->palette();
            palette.setColor(QPalette::WindowText, colour);
            paHint->setPalette(palette);
        }
        if (paHint->text() != text)
            paHint->setText(text);
        if (picture != m_hintPicture) {
            // a picture that cannot be loaded leaves the place empty
            m_hintPicture = picture;
            imgHint->setPixmap(TAppResources::Picture(picture));
        }
    } catch (const std::exception&) {
    }
}

template <class TPersistentBase>
void TStatusBarWindow<TPersistentBase>::ShowErrorHint(const QString& text)
{
    if (IStatusBarWindow* bar = EnclosingStatusBar())
        return bar->ShowErrorHint(text);
    ShowHint(text, QColor(255, 0, 0), kHintError);
    m_sinceNotice.start();
}

template <class TPersistentBase>
void TStatusBarWindow<TPersistentBase>::ShowInfoHint(const QString& text)
{
    if (IStatusBarWindow* bar = EnclosingStatusBar())
        return bar->ShowInfoHint(text);
    ShowHint(text, QColor(0, 0, 255), kHintInfo);
    m_sinceNotice.start();
}

template <class TPersistentBase>
void TStatusBarWindow<TPersistentBase>::ShowApplicationHint()
{
    if (IStatusBarWindow* bar = EnclosingStatusBar())
        return bar->ShowApplicationHint();
    const QString hint = THintManager::ApplicationHint();
    if (hint.trimmed().isEmpty() && m_sinceNotice.isValid() && m_sinceNotice.elapsed() < kNoticeKeptMs)
        return;
    // blanks alone are written, but count as no hint for the picture
    ShowHint(hint, Qt::black, hint.trimmed().isEmpty() ? kHintEmpty : kHintShown);
}

template class TStatusBarWindow<TFrmPersistent>;
template class TStatusBarWindow<TFrmPersistentMain>;

TFrmStatusBar::TFrmStatusBar(TdmMain& dmMain, QWidget* parent) : TStatusBarWindow<TFrmPersistent>(dmMain, parent)
{
}

bool TFrmStatusBar::FormKeyDown(QKeyEvent* event)
{
    if (TStatusBarWindow<TFrmPersistent>::FormKeyDown(event))
        return true;
    if (event->key() != Qt::Key_F1 || event->modifiers() != Qt::NoModifier)
        return false;
    // A control of the window (a list embedded from another window) may have
    // a page of its own.
    QWidget* focus = QApplication::focusWidget();
    const int context = FocusHelpContext(focus && isAncestorOf(focus) ? focus : nullptr, m_helpContext);
    if (context > 0) {
        TfrmTessarynMain::OpenHelpPage(m_dmMain.Desktop(), context);
        return true;
    }
    return false;
}

TFrmStatusBarMain::TFrmStatusBarMain(TdmMain& dmMain, QWidget* parent)
    : TStatusBarWindow<TFrmPersistentMain>(dmMain, parent)
{
}
