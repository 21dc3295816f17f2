#pragma once

#include <QDialog>
#include <QString>

class QFileInfo;
class QFormLayout;
class QLabel;

// The properties of one file or folder: its name, type, folder, size and
// dates. Shown without blocking, like the desktop's own properties windows.
// Every value label carries an object name (laName, laType, laFolder,
// laSize, laContains, laCreated, laModified, laAccessed).
class TFilePropertiesDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TFilePropertiesDialog(const QString& path, QWidget* parent = nullptr);

private:
    void BuildControls(const QFileInfo& info);
    void AddRow(QFormLayout* form, const QString& caption, const QString& objectName, const QString& text);
};
