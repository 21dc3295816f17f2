#include "maintenance/fDatabaseMaintenance.h"

#include "app/Errors.h"
#include "app/IDesktop.h"
#include "controls/CommandButton.h"
#include "db/DatabaseMaintenance.h"
#include "engine/EntryManager.h"
#include "engine/OpenWithDesktop.h"
#include "mainwindow/fMain.h"
#include "settings/dmMain.h"

#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace {

QLabel* Text(QWidget* parent, const QString& text, bool bold = false)
{
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    if (bold) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    return label;
}

void Fix(QDialog& dialog, const QSize& design)
{
    const QSize needed = dialog.sizeHint();
    dialog.setFixedSize(std::max(design.width(), needed.width()), std::max(design.height(), needed.height()));
}

bool HelpKey(TdmMain& dmMain, QKeyEvent* event, int context)
{
    if (event->key() != Qt::Key_F1 || event->modifiers() != Qt::NoModifier)
        return false;
    TfrmTessarynMain::OpenHelpPage(dmMain.Desktop(), context);
    return true;
}

// The wait cursor for the time of a call, restored on every way out.
class TWait {
public:
    explicit TWait(IDesktop& desktop) : m_desktop(desktop) { m_desktop.BeginWait(); }
    ~TWait() { m_desktop.EndWait(); }

private:
    IDesktop& m_desktop;
};

QString WithSlash(QString folder)
{
    folder = folder.trimmed();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

} // namespace

// --- statistics -----------------------------------------------------------------------

TFrmDatabaseStatistics::TFrmDatabaseStatistics(TdmMain& dmMain, QWidget* parent) : QDialog(parent), m_dmMain(dmMain)
{
    setObjectName(QStringLiteral("TFrmDatabaseStatistics"));
    setWindowTitle(QStringLiteral("Database statistics"));
    setModal(true);
    laEntries = new QLabel(QStringLiteral("---"), this);
    laEntries->setObjectName(QStringLiteral("laEntries"));
    laCategories = new QLabel(QStringLiteral("---"), this);
    laCategories->setObjectName(QStringLiteral("laCategories"));
    laBookmarkSets = new QLabel(QStringLiteral("---"), this);
    laBookmarkSets->setObjectName(QStringLiteral("laBookmarkSets"));
    for (QLabel* value : {laEntries, laCategories, laBookmarkSets}) {
        QFont font = value->font();
        font.setBold(true);
        value->setFont(font);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    btnOK = NewCommandButton(this, "btnOK", QStringLiteral("OK"), QString());
    btnOK->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    auto* values = new QFormLayout;
    values->addRow(QStringLiteral("Entries"), laEntries);
    values->addRow(QStringLiteral("Categories"), laCategories);
    values->addRow(QStringLiteral("Bookmark sets"), laBookmarkSets);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    auto* column = new QVBoxLayout(this);
    column->addWidget(Text(this, QStringLiteral("Currently, Tessaryn database contains:")));
    column->addLayout(values);
    column->addLayout(buttons);
    // wide enough for its caption, which the window manager would cut
    Fix(*this, QSize(std::max(300, fontMetrics().horizontalAdvance(windowTitle() + QStringLiteral(" — Tessaryn")) + 140),
                     160));
}

void TFrmDatabaseStatistics::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_filled)
        return;
    m_filled = true;
    try {
        const TDatabaseStatistics counts = TDatabaseMaintenance(m_dmMain.Connection()).GetDatabaseStatistics();
        laEntries->setText(QString::number(counts.entries));
        laCategories->setText(QString::number(counts.categories));
        laBookmarkSets->setText(QString::number(counts.bookmarkSets));
    } catch (const ETessarynError& e) {
        m_dmMain.Desktop().ShowMessage(e.Message(), IDesktop::TMsgKind::Error);
    }
}

// --- compaction -----------------------------------------------------------------------

TFrmShrinkDatabase::TFrmShrinkDatabase(TdmMain& dmMain, QWidget* parent) : QDialog(parent), m_dmMain(dmMain)
{
    setObjectName(QStringLiteral("TFrmShrinkDatabase"));
    setWindowTitle(QStringLiteral("Compact Tessaryn Database"));
    setModal(true);
    btnCompact = NewCommandButton(this, "btnCompact", QStringLiteral("Compact !"),
                           QStringLiteral("Start compacting the database (this may take a while)"));
    btnCancel = NewCommandButton(this, "btnCancel", QStringLiteral("Cancel"),
                          QStringLiteral("Closes this form without compacting the database"));
    connect(btnCompact, &QPushButton::clicked, this, &TFrmShrinkDatabase::Compact);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnCompact);
    buttons->addWidget(btnCancel);
    auto* column = new QVBoxLayout(this);
    column->addWidget(Text(this, QStringLiteral("Click \"Compact\" if you wish the database to be \"shrinked\" so that it "
                                                "occupies as little disk space as possible. Please note that this "
                                                "procedure may last several seconds.")));
    column->addStretch(1);
    column->addLayout(buttons);
    Fix(*this, QSize(420, 140));
    btnCancel->setFocus();
}

void TFrmShrinkDatabase::Compact()
{
    IDesktop& desktop = m_dmMain.Desktop();
    try {
        TDatabaseMaintenance maintenance(m_dmMain.Connection());
        {
            TWait wait(desktop);
            RunWithProgress(m_dmMain.Desktop(), QStringLiteral("Compacting the database..."), maintenance.Progress,
                            [&] { maintenance.ShrinkDatabase(); }, false);
        }
        desktop.ShowMessage(QStringLiteral("Tessaryn database has been compacted successfully."),
                            IDesktop::TMsgKind::Information);
    } catch (const ETessarynError& e) {
        desktop.ShowMessage(e.Message(), IDesktop::TMsgKind::Error);
    }
    accept();
}

void TFrmShrinkDatabase::keyPressEvent(QKeyEvent* event)
{
    if (!HelpKey(m_dmMain, event, HelpContext))
        QDialog::keyPressEvent(event);
}

// --- backup ---------------------------------------------------------------------------

TfrmBackupDatabase::TfrmBackupDatabase(TdmMain& dmMain, QWidget* parent) : QDialog(parent), m_dmMain(dmMain)
{
    setObjectName(QStringLiteral("TfrmBackupDatabase"));
    setWindowTitle(QStringLiteral("Backup Tessaryn Database"));
    setModal(true);
    edFolder = new QLineEdit(QDir::toNativeSeparators(dmMain.App.BackupFolder), this);
    edFolder->setObjectName(QStringLiteral("edFolder"));
    btnBrowse = NewCommandButton(this, "btnBrowse", QStringLiteral("Browse..."), QString());
    chkOpenFolder = new QCheckBox(QStringLiteral("Open backup folder after backup"), this);
    chkOpenFolder->setObjectName(QStringLiteral("chkOpenFolder"));
    btnBackup = NewCommandButton(this, "btnBackup", QStringLiteral("Backup"), QStringLiteral("Start backing up the database"));
    btnCancel = NewCommandButton(this, "btnCancel", QStringLiteral("Cancel"),
                          QStringLiteral("Closes this form without backing up the database"));
    connect(btnBrowse, &QPushButton::clicked, this, &TfrmBackupDatabase::Browse);
    connect(btnBackup, &QPushButton::clicked, this, &TfrmBackupDatabase::Backup);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(edFolder, 1);
    folderRow->addWidget(btnBrowse);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(chkOpenFolder);
    buttons->addStretch(1);
    buttons->addWidget(btnBackup);
    buttons->addWidget(btnCancel);
    auto* column = new QVBoxLayout(this);
    column->addWidget(Text(this, QStringLiteral(
                                     "Click \"Backup\" if you wish to create a backup copy of Tessaryn database. You "
                                     "can use this backup file to restore the entire database if you accidentally lose "
                                     "your data. Please note that this procedure may last several seconds (even "
                                     "minutes, if your database is very large!)")));
    column->addWidget(Text(this, QStringLiteral("Folder in which to create the backup copy:"), true));
    column->addLayout(folderRow);
    column->addStretch(1);
    column->addLayout(buttons);
    Fix(*this, QSize(480, 200));
    btnCancel->setFocus();
}

TfrmBackupDatabase::~TfrmBackupDatabase()
{
    m_dmMain.App.BackupFolder = Folder();
}

QString TfrmBackupDatabase::Folder() const
{
    return WithSlash(QDir::fromNativeSeparators(edFolder->text()));
}

void TfrmBackupDatabase::Browse()
{
    const QString chosen =
        m_dmMain.Desktop().PickFolder(QStringLiteral("Select backup folder"), edFolder->text().trimmed());
    if (!chosen.isEmpty())
        edFolder->setText(QDir::toNativeSeparators(chosen));
}

void TfrmBackupDatabase::Backup()
{
    IDesktop& desktop = m_dmMain.Desktop();
    const QString folder = Folder();
    m_dmMain.App.BackupFolder = folder;
    const QString file = TDatabaseMaintenance::BackupFileName(folder, QDateTime::currentDateTime());
    try {
        TDatabaseMaintenance maintenance(m_dmMain.Connection());
        TWait wait(desktop);
        RunWithProgress(m_dmMain.Desktop(), QStringLiteral("Backing up the database..."), maintenance.Progress,
                        [&] { maintenance.BackupDatabase(file); }, true);
    } catch (const EAbort&) {
        return;
    } catch (const ETessarynError& e) {
        desktop.ShowMessage(e.Message(), IDesktop::TMsgKind::Error);
        return;
    }
    m_file = file;
    if (chkOpenFolder->isChecked())
        ExploreWithDesktop(desktop, folder);
    else
        desktop.ShowMessage(QStringLiteral("Tessaryn database has been successfully backed up to file \"%1\"")
                                .arg(QDir::toNativeSeparators(file)),
                            IDesktop::TMsgKind::Information);
    accept();
}

void TfrmBackupDatabase::keyPressEvent(QKeyEvent* event)
{
    if (!HelpKey(m_dmMain, event, HelpContext))
        QDialog::keyPressEvent(event);
}

// --- restore --------------------------------------------------------------------------

const QString TFrmRestoreDatabase::ConfirmText = QStringLiteral(
    "Restoring a database should normally be used only if the current database has been damaged, \nbecause the "
    "procedure overwrites all current data in Tessaryn database by data that may be older.\n\n Are you sure you want "
    "to proceed?");

TFrmRestoreDatabase::TFrmRestoreDatabase(TdmMain& dmMain, QWidget* parent) : QDialog(parent), m_dmMain(dmMain)
{
    setObjectName(QStringLiteral("TFrmRestoreDatabase"));
    setWindowTitle(QStringLiteral("Restore Tessaryn Database"));
    setModal(true);
    edFile = new QLineEdit(QDir::toNativeSeparators(WithSlash(dmMain.App.BackupFolder) + QStringLiteral("*.dat")), this);
    edFile->setObjectName(QStringLiteral("edFile"));
    btnBrowse = NewCommandButton(this, "btnBrowse", QStringLiteral("Browse..."), QString());
    btnRestore = NewCommandButton(this, "btnRestore", QStringLiteral("Restore"), QStringLiteral("Start restoring the database"));
    btnCancel = NewCommandButton(this, "btnCancel", QStringLiteral("Cancel"),
                          QStringLiteral("Closes this form without backing up the database"));
    connect(btnBrowse, &QPushButton::clicked, this, &TFrmRestoreDatabase::Browse);
    connect(btnRestore, &QPushButton::clicked, this, &TFrmRestoreDatabase::Restore);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(edFile, 1);
    fileRow->addWidget(btnBrowse);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnRestore);
    buttons->addWidget(btnCancel);
    auto* column = new QVBoxLayout(this);
    column->addWidget(Text(this, QStringLiteral("Restoring a database from a backup file means that all current data "
                                                "in Tessaryn database will be overwritten by data that may be older.")));
    column->addWidget(Text(this, QStringLiteral("Backup file from which to restore the database:"), true));
    column->addLayout(fileRow);
    column->addWidget(Text(this, QStringLiteral("IMPORTANT NOTE:"), true));
    column->addWidget(Text(this, QStringLiteral("If you are sure this is what you want to do, select the backup file "
                                                "you have previosuly created and click \"Restore\".")));
    column->addWidget(Text(this, QStringLiteral("ALSO:"), true));
    column->addWidget(Text(this, QStringLiteral("If you are using Tessaryn on a network, before starting the restore "
                                                "procedure, make sure no users are currently using Tessaryn. Otherwise, "
                                                "restore will fail.")));
    column->addStretch(1);
    column->addLayout(buttons);
    Fix(*this, QSize(480, 300));
    btnCancel->setFocus();
}

void TFrmRestoreDatabase::Browse()
{
    // The proposed name in its own folder, or in the backup folder when the
    // text names none.
    const QString text = QDir::fromNativeSeparators(edFile->text().trimmed());
    const QString start = text.contains(QLatin1Char('/')) ? text : WithSlash(m_dmMain.App.BackupFolder) + text;
    const QString chosen = m_dmMain.Desktop().PickOpenFile(QStringLiteral("Restore Tessaryn Database"), start,
                                                           QStringLiteral("Tessaryn backup files (*.dat)"));
    if (!chosen.isEmpty())
        edFile->setText(QDir::toNativeSeparators(chosen));
}

void TFrmRestoreDatabase::Restore()
{
    IDesktop& desktop = m_dmMain.Desktop();
    const QString text = edFile->text().trimmed();
    const QString file = QDir::fromNativeSeparators(text);
    if (text.contains(QLatin1Char('*')) || !QFileInfo(file).isFile()) {
        desktop.ShowMessage(
            QStringLiteral("Backup file %1 does not exist. Please select an existing backup file to proceed.").arg(text),
            IDesktop::TMsgKind::Warning);
        return;
    }
    // An open entry would write its old state over the restored data.
    if (m_dmMain.EntryManager().OpenEntries().Count() > 0) {
        desktop.ShowMessage(QStringLiteral("Close the entries open for editing before restoring the database."),
                            IDesktop::TMsgKind::Warning);
        return;
    }
    try {
        TDatabaseMaintenance maintenance(m_dmMain.Connection());
        TWait wait(desktop);
        RunWithProgress(m_dmMain.Desktop(), QStringLiteral("Restoring the database..."), maintenance.Progress,
                        [&] { maintenance.RestoreDatabase(file); }, true);
    } catch (const EAbort&) {
        return;
    } catch (const ETessarynError& e) {
        desktop.ShowMessage(e.Message(), IDesktop::TMsgKind::Error);
        return;
    }
    try {
        m_dmMain.ReloadAfterRestore();
    } catch (const ETessarynError& e) {
        desktop.ShowMessage(e.Message(), IDesktop::TMsgKind::Error);
    }
    desktop.ShowMessage(QStringLiteral("Tessaryn database has been successfully restored."),
                        IDesktop::TMsgKind::Information);
    accept();
}

void TFrmRestoreDatabase::keyPressEvent(QKeyEvent* event)
{
    if (!HelpKey(m_dmMain, event, HelpContext))
        QDialog::keyPressEvent(event);
}
