#include "mainwindow/fManageMonitoredFolder.h"

#include "editing/FolderFilesGridObserver.h"
#include "engine/FileLists.h"
#include "mainwindow/FolderFilesMenu.h"

#include <QBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>

TfrmManageMonitoredFolder::TfrmManageMonitoredFolder(TdmMain& dmMain, std::function<bool()> stopMonitoring,
                                                     std::function<void()> startMonitoring,
                                                     std::function<void()> clearFolder,
                                                     std::function<void()> exploreFolder, QWidget* parent)
    : TFrmStatusBar(dmMain, parent), m_startMonitoring(std::move(startMonitoring))
{
    setObjectName(QStringLiteral("TfrmManageMonitoredFolder"));
    SetHelpContext(HelpContext);
    setWindowTitle(QStringLiteral("Manage monitored folder files"));
    setMinimumSize(500, 300);
    resize(560, 420);
    if (stopMonitoring)
        m_restartMonitoring = stopMonitoring();

    QWidget* client = ClientArea();
    grFolderFiles = new QTableWidget(client);
    grFolderFiles->setObjectName(QStringLiteral("grFolderFiles"));
    grFolderFiles->setColumnCount(1);
    grFolderFiles->horizontalHeader()->hide();
    grFolderFiles->verticalHeader()->hide();
    grFolderFiles->verticalHeader()->setDefaultSectionSize(std::max(16, grFolderFiles->fontMetrics().height() + 4));

    btnExplore = new QPushButton(QStringLiteral("Explore folder"), client);
    btnExplore->setObjectName(QStringLiteral("btnExplore"));
    btnExplore->setStatusTip(QStringLiteral("Click to explore the \"monitored\" folder in Windows Explorer"));
    btnClear = new QPushButton(QStringLiteral("Clear all files"), client);
    btnClear->setObjectName(QStringLiteral("btnClear"));
    btnClear->setStatusTip(QStringLiteral("Click to empty all files from monitored folder"));
    btnClose = new QPushButton(QStringLiteral("Close"), client);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setStatusTip(QStringLiteral("Closes this form"));
    for (QPushButton* button : {btnExplore, btnClear, btnClose}) {
        button->setToolTip(button->statusTip());
        button->setAutoDefault(false);
    }
    connect(btnExplore, &QPushButton::clicked, this, [exploreFolder] {
        if (exploreFolder)
            exploreFolder();
    });
    connect(btnClear, &QPushButton::clicked, this, [this, clearFolder] {
        if (clearFolder)
            clearFolder();
        m_files->Refresh();
    });
    // Escape rejects a dialog; Close ends with OK.
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnExplore);
    buttons->addWidget(btnClear);
    buttons->addStretch(1);
    buttons->addWidget(btnClose);
    auto* column = new QVBoxLayout(client);
    column->addWidget(grFolderFiles, 1);
    column->addLayout(buttons);

    // The window's own list of the folder, which follows the folder itself.
    m_files = std::make_unique<TFolderFiles>(dmMain, nullptr);
    m_files->ListFolder(dmMain.App.MonitoredFolder);
    m_files->StartWatching();
    m_menu = new TFolderFilesMenu(dmMain, this);
    m_observer = std::make_unique<TFolderFilesGridObserver>(dmMain, grFolderFiles, m_files.get(), m_menu);
}

TfrmManageMonitoredFolder::~TfrmManageMonitoredFolder()
{
    m_observer.reset();
    if (m_dmMain.CurrentFolderFiles() == m_files.get())
        m_dmMain.SetCurrentFolderFiles(nullptr);
    m_files.reset();
    if (m_restartMonitoring && m_startMonitoring)
        m_startMonitoring();
}

void TfrmManageMonitoredFolder::FormShow()
{
    TFrmStatusBar::FormShow();
    m_observer->FitColumn();
}

void TfrmManageMonitoredFolder::resizeEvent(QResizeEvent* event)
{
    TFrmStatusBar::resizeEvent(event);
    if (m_observer)
        m_observer->FitColumn();
}
