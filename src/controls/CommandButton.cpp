#include "controls/CommandButton.h"

#include "controls/ResBitBtn.h"

#include <utility>

namespace {

const std::pair<const char*, const char*> kPictures[] = {
    {"btnSave", "BMP_BTN_SAVE"},
    {"btnOK", "BMP_BTN_OK"},
    {"btnCancel", "BMP_BTN_CANCEL"},
    {"btnClose", "BMP_BTN_CANCEL"},
    {"btnSearch", "BMP_BTN_SEARCH"},
    {"btnSearchOptions", "BMP_BTN_OPTIONS"},
    {"btnSettings", "BMP_BTN_OPTIONS"},
    {"btnSend", "BMP_BTN_SEND"},
    {"btnBrowse", "BMP_BTN_FOLDER"},
    {"btnExplore", "BMP_BTN_FOLDER"},
    {"btnCompact", "BMP_BTN_COMPACT"},
    {"btnBackup", "BMP_BTN_BACKUP"},
    {"btnRestore", "BMP_BTN_RESTORE"},
    {"btnRestoreDefaults", "BMP_BTN_RESET"},
    {"btnResetToolbar", "BMP_BTN_RESET"},
    {"btnNew", "BMP_BTN_NEW"},
    {"btnNewPeer", "BMP_BTN_NEW"},
    {"btnNewChild", "BMP_BTN_NEW_CHILD"},
    {"btnEdit", "BMP_BTN_EDIT"},
    {"btnDelete", "BMP_BTN_DELETE"},
    {"btnSelect", "BMP_BTN_SELECT"},
    {"btnSelectSearchCategories", "BMP_BTN_SELECT"},
    {"btnApplyColorScheme", "BMP_BTN_COLOURS"},
    {"btnHTMLColor", "BMP_BTN_COLOURS"},
    {"btnClear", "BMP_BTN_CLEAR"},
    {"btnClearExportFolder", "BMP_BTN_CLEAR"},
    {"btnPassword", "BMP_BTN_PASSWORD"},
};

} // namespace

QString CommandButtonPicture(const QString& objectName)
{
    for (const auto& [name, picture] : kPictures)
        if (objectName == QLatin1String(name))
            return QString::fromLatin1(picture);
    return QString();
}

QPushButton* NewCommandButton(QWidget* parent, const char* name, const QString& caption, const QString& hint)
{
    auto* button = new TResBitBtn(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setStatusTip(hint);
    button->setToolTip(hint);
    button->setAutoDefault(false);
    return button;
}
