#include "engine/frmRequestPassword.h"

#include "controls/ResBitBtn.h"
#include "settings/fPersistent.h"

#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QProxyStyle>
#include <QPushButton>
#include <algorithm>

namespace {

// Masks typed characters with "*" whatever bullet the platform style prefers,
// so the field looks the same on every desktop.
class TAsteriskPasswordStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return QLatin1Char('*').unicode();
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

constexpr int kLockSize = 48;

// The explanation reads best on two lines: half its length, with room for
// a word that does not fit at the break. Measured, so it holds at any font size.
int TextColumnWidth(const QLabel& label)
{
    const QFontMetrics metrics(label.font());
    return std::max(320, metrics.horizontalAdvance(label.text()) / 2 + metrics.averageCharWidth() * 8);
}

} // namespace

TFrmRequestPassword::TFrmRequestPassword(int code, const QString& title, QWidget* parent)
    : QDialog(parent), m_code(code), m_title(title)
{
    setObjectName(QStringLiteral("TFrmRequestPassword"));
    BuildControls();
}

std::optional<QString> TFrmRequestPassword::RequestEntryPassword(int code, const QString& title,
                                                                 QWidget* parent)
{
    TFrmRequestPassword form(code, title, parent);
    std::optional<TPersistentPlacement> placement;
    if (PlacementSettings) {
        placement.emplace(form, *PlacementSettings);
        placement->Load();
        placement->Apply();
    }
    const int result = form.exec();
    if (placement)
        placement->Save();
    if (result != QDialog::Accepted)
        return std::nullopt;
    return form.Password();
}

QString TFrmRequestPassword::Password() const
{
    return edPassword->text();
}

void TFrmRequestPassword::BuildControls()
{
    setWindowTitle(QStringLiteral("Please provide the password for this entry:"));
    setModal(true);

    imLock = new QLabel(this);
    imLock->setObjectName(QStringLiteral("imLock"));
    imLock->setPixmap(LockPicture(kLockSize, devicePixelRatio()));
    imLock->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    laInfo = new QLabel(this);
    laInfo->setObjectName(QStringLiteral("laInfo"));
    laInfo->setTextFormat(Qt::PlainText);
    laInfo->setWordWrap(true);
    laInfo->setText(QStringLiteral("In order to view this entry, you must provide a password, "
                                   "otherwise, you will *NOT* not be able to view it."));

    // The title is the user's own text: plain text, so a "<" in it is shown
    // rather than read as markup, and one-pass formatting, so a "%1" in it
    // stays as typed.
    laEntry = new QLabel(this);
    laEntry->setObjectName(QStringLiteral("laEntry"));
    laEntry->setTextFormat(Qt::PlainText);
    laEntry->setWordWrap(true);
    laEntry->setText(QStringLiteral("Entry [%1. %2] is password-protected !")
                         .arg(QString::number(m_code), m_title));
    QFont entryFont = laEntry->font();
    entryFont.setBold(true);
    laEntry->setFont(entryFont);

    edPassword = new QLineEdit(this);
    edPassword->setObjectName(QStringLiteral("edPassword"));
    auto* maskStyle = new TAsteriskPasswordStyle();
    maskStyle->setParent(edPassword);
    edPassword->setStyle(maskStyle);
    edPassword->setEchoMode(QLineEdit::Password);
    edPassword->setInputMethodHints(Qt::ImhHiddenText | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText);

    btnOK = new TResBitBtn(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = new TResBitBtn(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* textColumn = new QVBoxLayout;
    textColumn->setSpacing(8);
    textColumn->addWidget(laInfo);
    textColumn->addWidget(laEntry);
    textColumn->addSpacing(4);
    textColumn->addWidget(edPassword);
    const int columnWidth = TextColumnWidth(*laInfo);
    laInfo->setFixedWidth(columnWidth);
    laEntry->setFixedWidth(columnWidth);

    auto* body = new QHBoxLayout;
    body->setSpacing(16);
    body->addWidget(imLock, 0, Qt::AlignTop);
    body->addLayout(textColumn);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(16, 16, 16, 12);
    root->setSpacing(14);
    root->addLayout(body);
    root->addLayout(buttons);
    // The window is as large as its texts need and no larger; the texts
    // wrap inside the fixed column, so a long title makes it taller only.
    root->setSizeConstraint(QLayout::SetFixedSize);

    edPassword->setFocus();
}

QPixmap TFrmRequestPassword::LockPicture(int size, qreal devicePixelRatio)
{
    QPixmap picture(QSize(size, size) * devicePixelRatio);
    picture.setDevicePixelRatio(devicePixelRatio);
    picture.fill(Qt::transparent);

    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;

    // Shackle: a thick grey arch whose feet disappear into the body.
    QPen shacklePen(QColor(0x6b, 0x72, 0x7a), s * 0.11, Qt::SolidLine, Qt::FlatCap);
    painter.setPen(shacklePen);
    painter.setBrush(Qt::NoBrush);
    const QRectF arch(s * 0.27, s * 0.06, s * 0.46, s * 0.46);
    QPainterPath shackle;
    shackle.moveTo(arch.left(), s * 0.50);
    shackle.lineTo(arch.left(), arch.center().y());
    shackle.arcTo(arch, 180, -180);
    shackle.lineTo(arch.right(), s * 0.50);
    painter.drawPath(shackle);

    // Body: a brass block lit from the top left.
    const QRectF body(s * 0.14, s * 0.42, s * 0.72, s * 0.52);
    QLinearGradient brass(body.topLeft(), body.bottomRight());
    brass.setColorAt(0.0, QColor(0xf6, 0xd3, 0x65));
    brass.setColorAt(1.0, QColor(0xc8, 0x8a, 0x12));
    painter.setPen(QPen(QColor(0x9a, 0x67, 0x0a), s * 0.03));
    painter.setBrush(brass);
    painter.drawRoundedRect(body, s * 0.08, s * 0.08);

    // Keyhole: a round head over a tapering slot.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x4a, 0x32, 0x05));
    const QPointF hole(body.center().x(), body.top() + body.height() * 0.40);
    painter.drawEllipse(hole, s * 0.07, s * 0.07);
    QPainterPath slot;
    slot.moveTo(hole.x() - s * 0.035, hole.y());
    slot.lineTo(hole.x() + s * 0.035, hole.y());
    slot.lineTo(hole.x() + s * 0.055, body.top() + body.height() * 0.78);
    slot.lineTo(hole.x() - s * 0.055, body.top() + body.height() * 0.78);
    slot.closeSubpath();
    painter.drawPath(slot);

    return picture;
}
