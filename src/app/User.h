#pragma once

#include <QString>

// The current user. This system has one user, "DEFAULT" with code 1, and every
// gate and check grants; they are the points where a permission policy would
// apply, and the refusal texts below belong to them.
class TUser {
public:
    enum TRight { urCreateEntries = 3 };

    QString Name() const { return QStringLiteral("DEFAULT"); }
    int Code() const { return 1; }

    // The logon gate asked before the main window is created.
    bool LogOn() const { return true; }
    bool HasRight(int right) const;
    bool CanManageCategories() const { return true; }
};

// What the user is told when a check refuses (warning, OK; the operation is not done).
namespace AccessTexts {
inline const QString CreateEntries = QStringLiteral("You have insufficient rights to create new entries.");
inline const QString ViewEntry = QStringLiteral("You have insufficient rights to view this entry.");
inline const QString ExtractEntries = QStringLiteral("You have insufficient rights to extract these entries.");
inline const QString MailEntries = QStringLiteral("You have insufficient rights to send these entries by e-mail.");
inline const QString ModifyEntry = QStringLiteral("You have insufficient rights to modify this entry.");
inline const QString AddPassword = QStringLiteral("You have insufficient rights to add a password to this entry.");
inline const QString RemovePassword =
    QStringLiteral("You have insufficient rights to remove the password from this entry.");
inline const QString ModifySelected = QStringLiteral("You have insufficient rights to modify the selected entries.");
inline const QString DeleteEntries = QStringLiteral("You have insufficient rights to delete these entries.");
inline const QString MergeEntries = QStringLiteral("You have insufficient rights to merge these entries.");
} // namespace AccessTexts
