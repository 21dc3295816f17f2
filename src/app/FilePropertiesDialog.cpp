#include "app/FilePropertiesDialog.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QDirIterator>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFormLayout>
#include <QFrame>
#include <QLabel>
#include <QLocale>
#include <QMimeDatabase>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

struct TFolderTotals {
    qint64 bytes = 0;
    int files = 0;
    int folders = 0;
};

// Links are counted but not followed: a link back up the tree would never end.
TFolderTotals CountFolder(const QString& folder)
{
    TFolderTotals totals;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo entry = it.nextFileInfo();
        if (entry.isDir() && !entry.isSymLink()) {
            ++totals.folders;
        } else {
            ++totals.files;
            totals.bytes += entry.isSymLink() ? 0 : entry.size();
        }
    }
    return totals;
}

QString SizeText(qint64 bytes)
{
    const QLocale locale;
    const QString exact = locale.toString(bytes) + QStringLiteral(" bytes");
    if (bytes < 1024)
        return exact;
    return locale.formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat) + QStringLiteral(" (")
        + exact + QLatin1Char(')');
}

QString DateText(const QDateTime& moment)
{
    return QLocale().toString(moment.toLocalTime(), QLocale::LongFormat);
}

QString TypeText(const QFileInfo& info)
{
    if (info.isDir())
        return QStringLiteral("Folder");
    QString type = QMimeDatabase().mimeTypeForFile(info).comment();
    if (!type.isEmpty())
        type[0] = type[0].toUpper();
    if (!info.suffix().isEmpty())
        type += QStringLiteral(" (.") + info.suffix() + QLatin1Char(')');
    return type;
}

} // namespace

TFilePropertiesDialog::TFilePropertiesDialog(const QString& path, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFilePropertiesDialog"));
    setAttribute(Qt::WA_DeleteOnClose);
    BuildControls(QFileInfo(path));
}

void TFilePropertiesDialog::BuildControls(const QFileInfo& info)
{
    // Cleaning drops the closing "/" of a folder path, which would leave the
    // name empty.
    const QFileInfo item(QDir::cleanPath(info.absoluteFilePath()));
    setWindowTitle(item.fileName() + QStringLiteral(" Properties"));

    auto* icon = new QLabel(this);
    icon->setPixmap(QFileIconProvider().icon(item).pixmap(32, 32));
    auto* laName = new QLabel(item.fileName(), this);
    laName->setObjectName(QStringLiteral("laName"));
    laName->setTextFormat(Qt::PlainText);
    laName->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont nameFont = laName->font();
    nameFont.setBold(true);
    laName->setFont(nameFont);

    auto* header = new QHBoxLayout;
    header->setSpacing(12);
    header->addWidget(icon);
    header->addWidget(laName, 1);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight);
    form->setHorizontalSpacing(12);
    AddRow(form, QStringLiteral("Type:"), QStringLiteral("laType"), TypeText(item));
    AddRow(form, QStringLiteral("Folder:"), QStringLiteral("laFolder"), item.absolutePath());
    if (item.isDir()) {
        const TFolderTotals totals = CountFolder(item.absoluteFilePath());
        AddRow(form, QStringLiteral("Size:"), QStringLiteral("laSize"), SizeText(totals.bytes));
        AddRow(form, QStringLiteral("Contains:"), QStringLiteral("laContains"),
               QStringLiteral("%1 file(s), %2 folder(s)").arg(totals.files).arg(totals.folders));
    } else {
        AddRow(form, QStringLiteral("Size:"), QStringLiteral("laSize"), SizeText(item.size()));
    }
    // Not every file system records when a file was made; leave the row out
    // rather than show a made-up date.
    const QDateTime created = item.birthTime();
    if (created.isValid())
        AddRow(form, QStringLiteral("Created:"), QStringLiteral("laCreated"), DateText(created));
    AddRow(form, QStringLiteral("Modified:"), QStringLiteral("laModified"), DateText(item.lastModified()));
    AddRow(form, QStringLiteral("Accessed:"), QStringLiteral("laAccessed"), DateText(item.lastRead()));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(16, 16, 16, 12);
    root->setSpacing(12);
    root->addLayout(header);
    root->addWidget(line);
    root->addLayout(form);
    root->addWidget(buttons);
    // One line per value, so the window is exactly as large as they need.
    root->setSizeConstraint(QLayout::SetFixedSize);
    laName->setMinimumWidth(300);
}

void TFilePropertiesDialog::AddRow(QFormLayout* form, const QString& caption, const QString& objectName,
                                   const QString& text)
{
    auto* value = new QLabel(text, this);
    value->setObjectName(objectName);
    value->setTextFormat(Qt::PlainText);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(caption, value);
}
