#include "app/AccessChecks.h"
#include "app/Errors.h"
#include "app/IDesktop.h"
#include "app/User.h"
#include "db/dmConnection.h"
#include "engine/EntryData.h"
#include "engine/EntryManager.h"
#include "engine/FileHelpers.h"
#include "engine/ProtectedFolders.h"
#include "settings/dmMain.h"

#include <QFileInfo>

namespace {

const QString kDefaultMailAddress = QStringLiteral("<Enter your e-mail address here>");

// A prepared file or folder goes onto its path in the mail folder; what an
// earlier mailing of the same entry left there is the program's own copy.
bool MoveIntoMailFolder(const QString& from, const QString& to)
{
    if (QFileInfo::exists(to) || QFileInfo(to).isSymLink())
        ShellDelete(to);
    return ShellMove(from, to);
}

} // namespace

std::optional<TEntryManager::TMailPreparation> TEntryManager::PrepareMail(const QList<int>& codes)
{
    IDesktop& desktop = m_main.Desktop();
    const TAppSettings& app = m_main.App;
    if (m_openEntries.AnyOpen(codes)) {
        desktop.ShowMessage(QStringLiteral("Some of the selected entries are open for editing. You must first close "
                                           "them before sending them by e-mail."),
                            IDesktop::TMsgKind::Information);
        return std::nullopt;
    }
    const QString address = app.MailAddress.trimmed();
    if (app.MailSmtpHost.trimmed().isEmpty() || address.isEmpty() || address == kDefaultMailAddress) {
        const IDesktop::TAnswer answer = desktop.MessageBox(
            QStringLiteral("Before sending e-mail, you must define the SMTP host and your e-mail address. Do you "
                           "want to do this now?"),
            IDesktop::TMsgKind::Information, IDesktop::TButtons::YesCancel);
        if (answer == IDesktop::TAnswer::Yes && ShowPreferences)
            ShowPreferences(QStringLiteral("laMail"));
        return std::nullopt;
    }
    if (!CheckAccess(m_main.Connection(), desktop, codes, akView, AccessTexts::MailEntries))
        return std::nullopt;

    TMailPreparation mail;
    const QString mailFolder = IncludeTrailingBackslash(app.MailFolder);
    // What was moved into the mail folder by then stays there until the
    // next mail: a scratch folder, nothing of the entries is lost.
    TProgressScope progress(desktop, QStringLiteral("Preparing the e-mail..."), true);
    qsizetype prepared = 0;
    for (const int code : codes) {
        if (!progress.Step(prepared++, codes.size()))
            throw EAbort();
        std::unique_ptr<TEntryData> entry;
        if (app.MailAsZip) {
            entry = LoadEntryRecordOnly(code);
            const QString target = mailFolder + QString::number(code) + QStringLiteral(".zip");
            if (!MoveIntoMailFolder(entry->GetExtractArchivePath(), target))
                throw ETessarynError(QStringLiteral("Cannot move file \"%1\" to \"%2\".")
                                         .arg(entry->GetExtractArchivePath(), target));
            mail.attachments.append(target);
            mail.totalSize += QFileInfo(target).size();
        } else {
            entry = LoadAndExtractEntry(code);
            const QString target = mailFolder + QString::number(code);
            // The mail folder keeps its files for days: a protected entry's
            // plain copy is recorded before it arrives there, and goes when
            // the run ends (or at the next start, after a crash).
            if (entry->PasswordProtected())
                m_main.ProtectedFolders().Add(target + QLatin1Char('/'));
            if (!MoveIntoMailFolder(ExcludeTrailingBackslash(entry->GetFolder()), target))
                throw ETessarynError(
                    QStringLiteral("Cannot move folder \"%1\" to \"%2\".").arg(entry->GetFolder(), target));
            QStringList files;
            ListFiles(target, QString(), faAnyFile, false, true, false, true, files);
            mail.attachments.append(files);
            mail.totalSize += FolderSize(target);
        }
        mail.body += QStringLiteral("%1. %2\n%3\n%4\n")
                         .arg(QString::number(code), entry->Title(), entry->Comments(), QString(80, QLatin1Char('-')));
    }

    if (mail.attachments.size() > MaxMailAttachments) {
        QString text = QStringLiteral("You have specified a large number of files to send (%1). This could be quite "
                                      "tedious for the recipients of the e-mail message.\r\n")
                           .arg(mail.attachments.size());
        text += app.MailAsZip
                    ? QStringLiteral("Please select fewer entries to send.")
                    : QStringLiteral("It might be better if you requested the entries to be e-mailed as .ZIP files.\r\n"
                                     "Go to [Application -> Settings -> eMail] and check the box \"Send entries as "
                                     "compressed (.ZIP) files\".");
        desktop.ShowMessage(text, IDesktop::TMsgKind::Warning);
        return std::nullopt;
    }
    const qint64 limit = qint64(app.MailSizeLimit) * 1024;
    if (mail.totalSize > limit) {
        desktop.ShowMessage(
            QStringLiteral("The size of the files you want to send by e-mail is %1 KB, which exceeds %2. \r\nYou cannot "
                           "send this message.\r\n\r\nYou may increase the maximum allowed size from [Application -> "
                           "Settings -> eMail], \r\nbut be aware that some recipients may NOT be able to receive large "
                           "mail messages.")
                .arg(mail.totalSize / 1024)
                .arg(app.MailSizeLimit),
            IDesktop::TMsgKind::Warning);
        return std::nullopt;
    }
    return mail;
}

void TEntryManager::MailEntries(const QList<int>& codes)
{
    const std::optional<TMailPreparation> mail = PrepareMail(codes);
    if (mail && ShowMailWindow)
        ShowMailWindow(mail->attachments, mail->body);
}
