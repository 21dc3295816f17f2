#pragma once

#include <QString>
#include <optional>

// The SMTP password lives in the desktop's secret store (the Secret Service
// of GNOME or KDE), never in the settings tables, where anyone who can read
// the database would find it. One password per user name, host and port.
namespace MailPassword {

QString Key(const QString& userName, const QString& host, int port);

// Each returns an empty text on success, otherwise why the store refused
// (no secret service running, access denied).
QString Write(const QString& key, const QString& password);
QString Remove(const QString& key);
// The stored password; an empty text when none is stored; nullopt with the
// reason in error when the store cannot be asked.
std::optional<QString> Read(const QString& key, QString* error = nullptr);

} // namespace MailPassword
