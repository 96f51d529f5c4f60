#include "core/converterror.h"

#include <new>

ConvertError::ConvertError(Kind kind, const QString& message)
    : m_kind(kind), m_message(message), m_utf8(description().toUtf8())
{
}

QString ConvertError::description() const
{
    return m_kind == Kind::cancelled ? QStringLiteral("Cancelled") : m_message;
}

QString errorDescription(const std::exception& e)
{
    if (auto* ce = dynamic_cast<const ConvertError*>(&e)) return ce->description();
    if (dynamic_cast<const std::bad_alloc*>(&e))
        return QStringLiteral("There wasn’t enough memory to finish: the file is too large");
    return QString::fromUtf8(e.what());
}

QString errorDetails(const std::exception& e)
{
    if (auto* ce = dynamic_cast<const ConvertError*>(&e)) return ce->details();
    return {};
}
