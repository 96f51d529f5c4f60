#pragma once

#include <QString>
#include <exception>

// The one error of conversions, tools and services. Its description is user-facing text,
// shown unchanged wherever it is caught.
class ConvertError : public std::exception
{
  public:
    enum class Kind { unsupported, failed, missingTool, cancelled };

    static ConvertError unsupported(const QString& message) { return {Kind::unsupported, message}; }
    static ConvertError failed(const QString& message) { return {Kind::failed, message}; }
    // A failure with the raw text behind it (an outside program's own words) for a details line.
    static ConvertError failed(const QString& message, const QString& details)
    {
        ConvertError e{Kind::failed, message};
        e.m_details = details;
        return e;
    }
    static ConvertError missingTool(const QString& message) { return {Kind::missingTool, message}; }
    static ConvertError cancelled() { return {Kind::cancelled, QString()}; }

    Kind kind() const { return m_kind; }
    bool isCancelled() const { return m_kind == Kind::cancelled; }
    QString message() const { return m_message; }
    // Raw text behind the message, for whoever shows more than the message; often empty.
    QString details() const { return m_details; }
    // The carried message, or "Cancelled".
    QString description() const;
    const char* what() const noexcept override { return m_utf8.constData(); }

  private:
    ConvertError(Kind kind, const QString& message);

    Kind m_kind;
    QString m_message;
    QString m_details;
    QByteArray m_utf8;
};

// The description of any exception a worker may catch: ConvertError's text, a plain sentence
// for memory exhaustion, or the standard exception's what().
QString errorDescription(const std::exception& e);
// The details of a ConvertError; empty for every other exception.
QString errorDetails(const std::exception& e);
