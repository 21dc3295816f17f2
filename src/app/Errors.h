#pragma once

#include <QString>
#include <stdexcept>

// Errors are raised and carry their message up to the command that tells the
// user; the database's own text travels inside the message.
class ETessarynError : public std::runtime_error {
public:
    explicit ETessarynError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& Message() const noexcept { return m_message; }

private:
    QString m_message;
};

// A failed statement or connection; the message is the server's own text or
// one of the gateway's fixed failure texts.
class EDatabaseError : public ETessarynError {
public:
    using ETessarynError::ETessarynError;
};

// A stored or typed text that does not convert to the type asked for.
class EConvertError : public ETessarynError {
public:
    using ETessarynError::ETessarynError;
};

// The silent abort: ends an operation without any message; callers never report it.
class EAbort : public std::exception {
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};
