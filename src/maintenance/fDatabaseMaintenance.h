#pragma once

#include <QDialog>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TDatabaseMaintenance;
class TdmMain;

// "Database statistics": the numbers of entries, categories and bookmark
// sets, read when the window shows.
class TFrmDatabaseStatistics : public QDialog
{
    Q_OBJECT

public:
    explicit TFrmDatabaseStatistics(TdmMain& dmMain, QWidget* parent = nullptr);

    QLabel* laEntries;
    QLabel* laCategories;
    QLabel* laBookmarkSets;
    QPushButton* btnOK;

protected:
    void showEvent(QShowEvent* event) override;

private:
    TdmMain& m_dmMain;
    bool m_filled = false;
};

// "Compact Tessaryn Database".
class TFrmShrinkDatabase : public QDialog
{
    Q_OBJECT

public:
    static constexpr int HelpContext = 60;
    explicit TFrmShrinkDatabase(TdmMain& dmMain, QWidget* parent = nullptr);
    void Compact();

    QPushButton* btnCompact;
    QPushButton* btnCancel;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    TdmMain& m_dmMain;
};

// "Backup Tessaryn Database": a verified copy of the whole database into
// a new file of the chosen folder.
class TfrmBackupDatabase : public QDialog
{
    Q_OBJECT

public:
    static constexpr int HelpContext = 58;
    explicit TfrmBackupDatabase(TdmMain& dmMain, QWidget* parent = nullptr);
    // Keeps the folder typed as the setting "Backup folder".
    ~TfrmBackupDatabase() override;

    void Browse();
    void Backup();
    // The file the last backup was written to.
    QString BackupFile() const { return m_file; }

    QLineEdit* edFolder;
    QPushButton* btnBrowse;
    QCheckBox* chkOpenFolder;
    QPushButton* btnBackup;
    QPushButton* btnCancel;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString Folder() const;

    TdmMain& m_dmMain;
    QString m_file;
};

// "Restore Tessaryn Database": the chosen backup replaces all data, after
// the file was checked; the program then reads its settings and categories
// from the restored data.
class TFrmRestoreDatabase : public QDialog
{
    Q_OBJECT

public:
    static constexpr int HelpContext = 59;
    static const QString ConfirmText;
    explicit TFrmRestoreDatabase(TdmMain& dmMain, QWidget* parent = nullptr);

    void Browse();
    void Restore();

    QLineEdit* edFile;
    QPushButton* btnBrowse;
    QPushButton* btnRestore;
    QPushButton* btnCancel;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    TdmMain& m_dmMain;
};

