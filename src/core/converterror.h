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
    static ConvertError missingTool(const QString& message) { return {Kind::missingTool, message}; }
    static ConvertError cancelled() { return {Kind::cancelled, QString()}; }

    Kind kind() const { return m_kind; }
    bool isCancelled() const { return m_kind == Kind::cancelled; }
    QString message() const { return m_message; }
    // The carried message, or "Cancelled".
    QString description() const;
    const char* what() const noexcept override { return m_utf8.constData(); }

  private:
    ConvertError(Kind kind, const QString& message);

    Kind m_kind;
    QString m_message;
    QByteArray m_utf8;
};

// The description of any exception a worker may catch: ConvertError's text, or the
// standard exception's what().
QString errorDescription(const std::exception& e);
