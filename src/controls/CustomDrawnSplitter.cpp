#include "controls/CustomDrawnSplitter.h"

#include "controls/HoverHint.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>

namespace {

const QColor kGrey(128, 128, 128);

} // namespace

// --- the bar ------------------------------------------------------------------------

TCustomDrawnSplitterHandle::TCustomDrawnSplitterHandle(Qt::Orientation orientation, TCustomDrawnSplitter* parent)
    : QSplitterHandle(orientation, parent)
{
    // The hints and the hot button follow the pointer without a press.
    setMouseTracking(true);
    setFocusPolicy(Qt::TabFocus);
    m_sizingCursor = cursor();
}

TCustomDrawnSplitter* TCustomDrawnSplitterHandle::Owner() const
{
    return static_cast<TCustomDrawnSplitter*>(splitter());
}

QRect TCustomDrawnSplitterHandle::ButtonRect() const
{
    const int length = Owner()->ButtonLength();
    // A horizontal splitter lays its widgets side by side: its bar stands upright.
    if (orientation() == Qt::Horizontal)
        return QRect(1, (height() - length) / 2, qMax(0, width() - 2), length);
    return QRect((width() - length) / 2, 1, length, qMax(0, height() - 2));
}

bool TCustomDrawnSplitterHandle::OverButton(const QPoint& at) const
{
    const QRect button = ButtonRect();
    const QRect widened = orientation() == Qt::Horizontal ? button.adjusted(-1, 0, 1, 0) : button.adjusted(0, -1, 0, 1);
    return widened.contains(at);
}

QString TCustomDrawnSplitterHandle::HintAt(const QPoint& at) const
{
    TCustomDrawnSplitter* owner = Owner();
    QString hint;
    if (owner->ShowButton() && OverButton(at)) {
        hint = owner->Minimized() ? TCustomDrawnSplitter::ClickToRestoreText()
                                  : TCustomDrawnSplitter::ClickToMinimizeText();
        if (owner->OnGetButtonHint)
            owner->OnGetButtonHint(*owner, hint);
    } else {
        hint = TCustomDrawnSplitter::DragToResizeText();
        if (owner->OnGetSplitterHint)
            owner->OnGetSplitterHint(*owner, hint);
    }
    return hint;
}

void TCustomDrawnSplitterHandle::SetButtonState(int state)
{
    if (state == m_buttonState)
        return;
    m_buttonState = state;
    setCursor(state == bsNormal ? m_sizingCursor : Owner()->ButtonCursor());
    update(ButtonRect().adjusted(-2, -2, 2, 2));
}

void TCustomDrawnSplitterHandle::UpdateHover(const QPoint& at)
{
    const bool overButton = Owner()->ShowButton() && OverButton(at);
    if (overButton) {
        if (m_buttonState != bsPressed)
            SetButtonState(bsHot);
    } else if (m_buttonState != bsPressed) {
        SetButtonState(bsNormal);
    }
    PublishHoverHint(this, HintAt(at));
}

void TCustomDrawnSplitterHandle::mouseMoveEvent(QMouseEvent* event)
{
    QSplitterHandle::mouseMoveEvent(event);
    UpdateHover(event->position().toPoint());
}

void TCustomDrawnSplitterHandle::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && Owner()->ShowButton() && OverButton(event->position().toPoint())) {
        SetButtonState(bsPressed);
        m_pressPos = event->globalPosition().toPoint();
    }
    // An open panel dragged down to nothing comes back to where the drag
    // started.
    TCustomDrawnSplitter* owner = Owner();
    if (event->button() == Qt::LeftButton && owner->Control() && !owner->Minimized()
        && owner->PanelSize() != owner->MinSize())
        owner->SetRestoreSize(owner->PanelSize());
    // The press also starts an ordinary drag: a press that moves was a drag.
    QSplitterHandle::mousePressEvent(event);
}

void TCustomDrawnSplitterHandle::mouseReleaseEvent(QMouseEvent* event)
{
    QSplitterHandle::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint at = event->position().toPoint();
    if (m_buttonState == bsPressed) {
        // The bar follows the pointer while it is dragged, so the distance is
        // measured on the screen, not on the bar.
        const QPoint global = event->globalPosition().toPoint();
        const int moved = orientation() == Qt::Horizontal ? std::abs(global.x() - m_pressPos.x())
                                                          : std::abs(global.y() - m_pressPos.y());
        if (moved <= TCustomDrawnSplitter::ClickTolerance) {
            Owner()->Toggle();
            UpdateHover(at);
            return;
        }
        SetButtonState(OverButton(at) ? bsHot : bsNormal);
    }
    Owner()->EndDrag();
    UpdateHover(at);
}

void TCustomDrawnSplitterHandle::leaveEvent(QEvent* event)
{
    QSplitterHandle::leaveEvent(event);
    m_buttonState = bsPressed == m_buttonState ? bsPressed : bsNormal;
    if (m_buttonState == bsNormal) {
        setCursor(m_sizingCursor);
        update();
    }
}

void TCustomDrawnSplitterHandle::keyPressEvent(QKeyEvent* event)
{
    TCustomDrawnSplitter* owner = Owner();
    int delta = 0;
    const bool upright = orientation() == Qt::Horizontal;
    switch (event->key()) {
    case Qt::Key_Left:
        delta = upright ? -TCustomDrawnSplitter::KeyboardStep : 0;
        break;
    case Qt::Key_Right:
        delta = upright ? TCustomDrawnSplitter::KeyboardStep : 0;
        break;
    case Qt::Key_Up:
        delta = upright ? 0 : -TCustomDrawnSplitter::KeyboardStep;
        break;
    case Qt::Key_Down:
        delta = upright ? 0 : TCustomDrawnSplitter::KeyboardStep;
        break;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (owner->ShowButton() && owner->Control()) {
            owner->Toggle();
            event->accept();
            return;
        }
        break;
    default:
        break;
    }
    if (delta == 0 || !owner->Control()) {
        QSplitterHandle::keyPressEvent(event);
        return;
    }
    event->accept();
    // Moving the bar towards the panel makes the panel smaller.
    const TCustomDrawnSplitter::TSide side = owner->Side();
    const bool panelBefore = side == TCustomDrawnSplitter::TSide::Left || side == TCustomDrawnSplitter::TSide::Top;
    owner->SetPanelSize(qMax(owner->MinSize(), owner->PanelSize() + (panelBefore ? delta : -delta)));
    owner->EndDrag();
}

void TCustomDrawnSplitterHandle::DrawDots(QPainter& painter, const QRect& region, int dotLength, int dotWidth,
                                          int spacing, bool raised) const
{
    // Dots run along the bar, centred across it.
    const bool alongX = orientation() == Qt::Vertical;
    const int regionLength = alongX ? region.width() : region.height();
    const int count = (regionLength - 2 * spacing) / (spacing + dotLength) + 1;
    if (count <= 0 || regionLength <= 0)
        return;
    const int rowLength = count * dotLength + (count - 1) * spacing;
    const int start = (alongX ? region.left() : region.top()) + (regionLength - rowLength) / 2;
    const int across = alongX ? region.top() + (region.height() - dotWidth) / 2 + 1
                              : region.left() + (region.width() - dotWidth) / 2 + 1;
    const QColor under = raised ? kGrey : QColor(Qt::white);
    const QColor over = raised ? QColor(Qt::white) : kGrey;
    for (int i = 0; i < count; ++i) {
        const int along = start + i * (dotLength + spacing);
        const QRect dot = alongX ? QRect(along, across, dotLength, dotWidth) : QRect(across, along, dotWidth, dotLength);
        // the second rectangle one pixel up and left of the first makes the bevel
        painter.fillRect(dot, under);
        painter.fillRect(dot.translated(-1, -1), over);
    }
}

void TCustomDrawnSplitterHandle::paintEvent(QPaintEvent*)
{
    TCustomDrawnSplitter* owner = Owner();
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const bool alongX = orientation() == Qt::Vertical;
    const int length = alongX ? width() : height();
    const int margin = owner->DotMargin();
    auto region = [&](int from, int to) {
        return alongX ? QRect(from, 0, to - from, height()) : QRect(0, from, width(), to - from);
    };
    if (!owner->ShowButton()) {
        DrawDots(painter, region(0, length), owner->DotLength(), owner->DotWidth(), owner->DotSpacing(), false);
        return;
    }
    const bool pressed = m_buttonState == bsPressed;
    if (pressed)
        painter.translate(1, 1);
    const QRect button = ButtonRect();
    const int buttonStart = alongX ? button.left() : button.top();
    const int buttonEnd = alongX ? button.right() + 1 : button.bottom() + 1;

    // 1. the grip dots on both sides of the button
    DrawDots(painter, region(margin, buttonStart - margin), owner->DotLength(), owner->DotWidth(), owner->DotSpacing(),
             false);
    DrawDots(painter, region(buttonEnd + margin, length - margin), owner->DotLength(), owner->DotWidth(),
             owner->DotSpacing(), false);

    // 2. the face, with its bevel line
    QPainterPath face;
    face.addRoundedRect(QRectF(button).adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.fillPath(face, m_buttonState == bsHot ? owner->ButtonColorHigh() : owner->ButtonColor());
    painter.setPen(pressed ? QColor(Qt::black) : kGrey);
    painter.drawPath(face);
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QRect inner = button.adjusted(1, 1, -1, -1);
    painter.setPen(pressed ? kGrey : QColor(Qt::white));
    painter.drawPolyline(QPolygon({inner.bottomLeft(), inner.topLeft(), inner.topRight()}));

    // 3. raised dots in each half of the button
    const int dotMargin = owner->ButtonDotMargin();
    const int half = (buttonEnd - buttonStart) / 2;
    DrawDots(painter, region(buttonStart + dotMargin, buttonStart + half - dotMargin), 2, 2, 2, true);
    DrawDots(painter, region(buttonStart + half + dotMargin, buttonEnd - dotMargin), 2, 2, 2, true);

    // 4. the arrow: which way a click will move the bar
    const int odd = dotMargin % 2 == 0 ? dotMargin + 1 : dotMargin;
    const int n = odd / 2;
    const QPoint c = button.center();
    TCustomDrawnSplitter::TSide towards = owner->Side();
    if (owner->Minimized()) {
        switch (towards) {
        case TCustomDrawnSplitter::TSide::Left: towards = TCustomDrawnSplitter::TSide::Right; break;
        case TCustomDrawnSplitter::TSide::Right: towards = TCustomDrawnSplitter::TSide::Left; break;
        case TCustomDrawnSplitter::TSide::Top: towards = TCustomDrawnSplitter::TSide::Bottom; break;
        case TCustomDrawnSplitter::TSide::Bottom: towards = TCustomDrawnSplitter::TSide::Top; break;
        }
    }
    // base 2n - 1 pixels, height n pixels, tip on the arrow's side
    const int b = n - 1;
    const int h = n / 2;
    QPolygon arrow;
    switch (towards) {
    case TCustomDrawnSplitter::TSide::Left:
        arrow << QPoint(c.x() - h, c.y()) << QPoint(c.x() - h + n - 1, c.y() - b) << QPoint(c.x() - h + n - 1, c.y() + b);
        break;
    case TCustomDrawnSplitter::TSide::Right:
        arrow << QPoint(c.x() + h, c.y()) << QPoint(c.x() + h - n + 1, c.y() - b) << QPoint(c.x() + h - n + 1, c.y() + b);
        break;
    case TCustomDrawnSplitter::TSide::Top:
        arrow << QPoint(c.x(), c.y() - h) << QPoint(c.x() - b, c.y() - h + n - 1) << QPoint(c.x() + b, c.y() - h + n - 1);
        break;
    case TCustomDrawnSplitter::TSide::Bottom:
        arrow << QPoint(c.x(), c.y() + h) << QPoint(c.x() - b, c.y() + h - n + 1) << QPoint(c.x() + b, c.y() + h - n + 1);
        break;
    }
    painter.setPen(owner->ArrowColor());
    painter.setBrush(owner->ArrowColor());
    painter.drawPolygon(arrow);
}

// --- the splitter ---------------------------------------------------------------------

TCustomDrawnSplitter::TCustomDrawnSplitter(Qt::Orientation orientation, QWidget* parent)
    : QSplitter(orientation, parent), m_buttonColor(QApplication::palette().color(QPalette::Button))
{
    // A panel brought below its minimum size stays there: it does not snap
    // to nothing.
    setChildrenCollapsible(false);
}

QSplitterHandle* TCustomDrawnSplitter::createHandle()
{
    return new TCustomDrawnSplitterHandle(orientation(), this);
}

void TCustomDrawnSplitter::SetControl(QWidget* control)
{
    m_control = control;
    if (!control)
        return;
    if (orientation() == Qt::Horizontal)
        control->setMinimumWidth(m_minSize);
    else
        control->setMinimumHeight(m_minSize);
    RepaintHandles();
}

int TCustomDrawnSplitter::ControlIndex() const
{
    return m_control ? indexOf(m_control) : -1;
}

TCustomDrawnSplitter::TSide TCustomDrawnSplitter::Side() const
{
    const bool first = ControlIndex() == 0;
    if (orientation() == Qt::Horizontal)
        return first ? TSide::Left : TSide::Right;
    return first ? TSide::Top : TSide::Bottom;
}

TCustomDrawnSplitterHandle* TCustomDrawnSplitter::ControlHandle() const
{
    const int index = ControlIndex();
    if (index < 0 || count() < 2)
        return nullptr;
    // handle(i) sits before widget i; the first widget's bar is the next one.
    return static_cast<TCustomDrawnSplitterHandle*>(handle(index == 0 ? 1 : index));
}

void TCustomDrawnSplitter::RepaintHandles()
{
    for (int i = 0; i < count(); ++i)
        if (QSplitterHandle* h = handle(i))
            h->update();
}

void TCustomDrawnSplitter::SetShowButton(bool show)
{
    m_showButton = show;
    RepaintHandles();
}

void TCustomDrawnSplitter::SetButtonLength(int length)
{
    m_buttonLength = length;
    RepaintHandles();
}

void TCustomDrawnSplitter::SetButtonColor(const QColor& colour)
{
    m_buttonColor = colour;
    RepaintHandles();
}

void TCustomDrawnSplitter::SetButtonColorHigh(const QColor& colour)
{
    m_buttonColorHigh = colour;
    RepaintHandles();
}

void TCustomDrawnSplitter::SetArrowColor(const QColor& colour)
{
    m_arrowColor = colour;
    RepaintHandles();
}

void TCustomDrawnSplitter::SetButtonDotMargin(int margin)
{
    m_buttonDotMargin = margin;
    RepaintHandles();
}

void TCustomDrawnSplitter::SetButtonCursor(const QCursor& cursor)
{
    m_buttonCursor = cursor;
    RepaintHandles();
}

void TCustomDrawnSplitter::SetDots(int length, int width, int spacing, int margin)
{
    m_dotLength = length;
    m_dotWidth = width;
    m_dotSpacing = spacing;
    m_dotMargin = margin;
    RepaintHandles();
}

void TCustomDrawnSplitter::SetMinSize(int size)
{
    m_minSize = qMax(0, size);
    SetControl(m_control);
}

int TCustomDrawnSplitter::PanelSize() const
{
    if (!m_control)
        return m_minSize;
    return orientation() == Qt::Horizontal ? m_control->width() : m_control->height();
}

void TCustomDrawnSplitter::SetPanelSize(int size)
{
    const int index = ControlIndex();
    if (index < 0 || count() < 2)
        return;
    QList<int> all = sizes();
    const int neighbour = index == 0 ? 1 : index - 1;
    const int delta = size - all[index];
    all[index] = size;
    all[neighbour] = qMax(0, all[neighbour] - delta);
    setSizes(all);
    // The panel of a splitter not laid out yet has no size of its own: it
    // takes the one asked for when it is.
    if (!isVisible() || !m_control->isVisible()) {
        if (orientation() == Qt::Horizontal)
            m_control->resize(size, m_control->height());
        else
            m_control->resize(m_control->width(), size);
    }
    emit splitterMoved(size, index == 0 ? 1 : index);
    emit Moved(this);
}

void TCustomDrawnSplitter::Minimize()
{
    if (!m_control || m_minimized)
        return;
    if (PanelSize() != m_minSize)
        m_restoreSize = PanelSize();
    SetPanelSize(m_minSize);
    m_minimized = true;
    emit OnMinimize(this);
    RepaintHandles();
}

void TCustomDrawnSplitter::Restore()
{
    if (!m_control || (!m_minimized && PanelSize() != m_minSize))
        return;
    // A panel that was never open has nothing to return to: it opens at
    // the size it asks for.
    int size = m_restoreSize;
    if (size <= m_minSize) {
        const QSize hint = m_control->sizeHint();
        size = qMax(m_minSize + 1, orientation() == Qt::Horizontal ? hint.width() : hint.height());
    }
    SetPanelSize(size);
    m_minimized = false;
    emit OnRestore(this);
    RepaintHandles();
}

void TCustomDrawnSplitter::Toggle()
{
    if (!m_control)
        return;
    TCustomDrawnSplitterHandle* bar = ControlHandle();
    if (bar)
        bar->SetButtonState(TCustomDrawnSplitterHandle::bsHot);
    if (m_minimized || PanelSize() == m_minSize)
        Restore();
    else
        Minimize();
    emit OnClickButton(this);
    if (bar)
        bar->SetButtonState(TCustomDrawnSplitterHandle::bsNormal);
}

void TCustomDrawnSplitter::EndDrag()
{
    if (!m_control)
        return;
    const int size = PanelSize();
    if (size != m_minSize)
        m_restoreSize = size;
    if (m_minimized && m_restoreSize != m_minSize && size != m_minSize) {
        m_minimized = false;
        emit OnRestore(this);
    } else if (!m_minimized && size == m_minSize) {
        m_minimized = true;
        emit OnMinimize(this);
    }
    emit Moved(this);
    RepaintHandles();
}
