#pragma once

#include <functional>

#include "app/Errors.h"

#include <QString>
#include <QStringList>

// A protected archive was opened with a wrong or missing password. Raised only
// after everything the extraction had written was removed again.
class EZipWrongPassword : public ETessarynError {
public:
    EZipWrongPassword() : ETessarynError(QStringLiteral("Wrong password")) {}
};

// The ZIP layer under entry packaging: builds an entry's archive from items of
// its folder and unpacks it again. Members are deflated at level 9 and, for a
// protected entry, encrypted with the traditional PKWARE scheme so that any
// ordinary unzip tool can open them with the password.
class TZipArchive {
public:
    // Told how far packing or unpacking is (done of total, in the layer's own
    // units); answering false stops the work, which then throws EAbort and
    // leaves nothing of its own behind.
    using TProgress = std::function<bool(qint64 done, qint64 total)>;

    // Packs items (files or folders relative to baseFolder) into archivePath,
    // replacing any file there. A folder contributes its whole content with its
    // own name as leading path, empty folders included. An empty password
    // leaves the members unencrypted; only its first 255 characters count.
    // Members are encrypted with AES-256 unless traditional encryption was
    // asked for (archives of either kind are read alike).
    static void CreateArchive(const QString& archivePath, const QString& baseFolder,
                              const QStringList& items, const QString& password, const TProgress& progress = {});

    // The encryption of archives made from now on in this process: the
    // traditional ZIP method (readable by old tools, broken by known-plaintext
    // attacks in minutes) or AES-256, the default.
    static void SetTraditionalEncryption(bool traditional);
    static bool TraditionalEncryption();

    // Unpacks the members chosen by specs into targetFolder ("name" picks that
    // member, "name/*" everything below folder name, no specs everything).
    // Throws EZipWrongPassword for a wrong or missing password and
    // ETessarynError for any other failure; either way nothing written by the
    // call is left behind, and nothing is ever written outside targetFolder.
    static void ExtractArchive(const QString& archivePath, const QString& targetFolder,
                               const QStringList& specs, const QString& password, const TProgress& progress = {});

    // Member paths in archive order. Names are never encrypted, so the password
    // is not needed to list them.
    static QStringList ListMembers(const QString& archivePath, const QString& password = {});
};
