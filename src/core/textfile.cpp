#include "core/textfile.h"

#include "core/converterror.h"
#include "core/output.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace {

// Windows-1252 differs from Latin-1 only in 0x80–0x9F; its five unassigned bytes keep their
// Latin-1 control characters.
constexpr char16_t windows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QString fromWindows1252(const QByteArray& bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        *out++ = QChar(byte >= 0x80 && byte < 0xA0 ? windows1252High[byte - 0x80] : char16_t(byte));
    }
    return text;
}

} // namespace

namespace TextFile {

QString decode(const QByteArray& bytes)
{
    if (const auto marked = QStringConverter::encodingForData(bytes)) {
        QStringDecoder decoder(*marked);
        return decoder.decode(bytes);
    }
    QStringDecoder utf8(QStringConverter::Utf8);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) return text;
    return fromWindows1252(bytes);
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
