#include "core/textfile.h"

#include "core/converterror.h"
#include "core/output.h"
#include "core/textencoding.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace TextFile {

QString decode(const QByteArray& bytes)
{
    // Stateless: a decoder that expects more input holds back a sequence cut short at the end
    // (the last letter of Latin-1 text that isn't UTF-8) instead of calling it an error.
    constexpr auto whole = QStringConverter::Flag::Stateless;
    if (const auto marked = QStringConverter::encodingForData(bytes)) {
        QStringDecoder decoder(*marked, whole);
        return decoder.decode(bytes);
    }
    QStringDecoder utf8(QStringConverter::Utf8, whole);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) return text;
    if (const QByteArray guessed = TextEncoding::guess(bytes); !guessed.isEmpty()) {
        QStringDecoder detected(guessed.constData(), whole);
        if (detected.isValid()) {
            text = detected.decode(bytes);
            if (!detected.hasError()) return text;
        }
    }
    return TextEncoding::windows1252(bytes);
}

QByteArray bytes(const QString& path)
{
    QFile file(path);
    const auto failed = [&] {
        return ConvertError::failed(
            QStringLiteral("Couldn’t read “%1”: %2").arg(QFileInfo(path).fileName(), file.errorString()));
    };
    if (!file.open(QIODevice::ReadOnly)) throw failed();
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) throw failed();
    return bytes;
}

QString read(const QString& path)
{
    return decode(bytes(path));
}

void write(const QString& path, const QString& text)
{
    Output::writeFile(path, text.toUtf8());
}

} // namespace TextFile
