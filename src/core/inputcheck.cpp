#include "core/inputcheck.h"

#include "core/archive/partreader.h"
#include "core/converterror.h"
#include "core/olefile.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtEndian>
#include <algorithm>
#include <iterator>
#include <sys/stat.h>

namespace {

enum class Container { zip, ole2, rtf };

struct Kind
{
    const char* key;
    Container container;
    const char* what;
};

// ".doc" also takes RTF: word processors have long saved RTF under that name.
constexpr Kind kinds[] = {
    {"docx", Container::zip, "a Word document"},
    {"xlsx", Container::zip, "an Excel workbook"},
    {"pptx", Container::zip, "a PowerPoint presentation"},
    {"odt", Container::zip, "an OpenDocument text"},
    {"ods", Container::zip, "an OpenDocument spreadsheet"},
    {"odp", Container::zip, "an OpenDocument presentation"},
    {"epub", Container::zip, "an EPUB book"},
    {"doc", Container::ole2, "a Word document"},
    {"xls", Container::ole2, "an Excel workbook"},
    {"ppt", Container::ole2, "a PowerPoint presentation"},
    {"rtf", Container::rtf, "an RTF document"},
};

bool holds(const QByteArray& head, Container container)
{
    switch (container) {
    case Container::zip:
        return head.startsWith("PK\x03\x04");
    case Container::ole2:
        return head.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
    case Container::rtf:
        return head.startsWith("{\\rtf");
    }
    return false;
}

// Whether a Word document's file information block says the document is encrypted.
bool wordEncrypted(const OleFile& ole)
{
    const QByteArray fib = ole.read(QStringLiteral("WordDocument"), 12);
    return fib.size() == 12 && (qFromLittleEndian<quint16>(fib.constData() + 10) & 0x0100);
}

// Whether a workbook's global records, which come first, hold the record that says the rest is
// encrypted (FILEPASS): record headers stay readable when it does.
bool workbookEncrypted(const OleFile& ole)
{
    QByteArray records = ole.read(QStringLiteral("Workbook"), 1 << 16);
    if (records.isEmpty()) records = ole.read(QStringLiteral("Book"), 1 << 16);
    for (qint64 at = 0; at + 4 <= records.size();) {
        const quint16 type = qFromLittleEndian<quint16>(records.constData() + at);
        if (type == 0x002F) return true;
        if (type == 0x000A) return false; // the end of the globals
        at += 4 + qFromLittleEndian<quint16>(records.constData() + at + 2);
    }
    return false;
}

// Whether an OpenDocument package's manifest gives any part encryption data.
bool packageEncrypted(const QString& path)
{
    try {
        PartReader reader(path, {});
        while (const std::optional<QString> name = reader.next()) {
            if (*name != QLatin1String("META-INF/manifest.xml")) continue;
            QByteArray manifest;
            for (QByteArrayView piece = reader.piece(); !piece.isEmpty() && manifest.size() < (1 << 20);
                 piece = reader.piece())
                manifest += piece;
            static const QRegularExpression encrypted(QStringLiteral("<([\\w.-]+:)?encryption-data[\\s/>]"));
            return QString::fromUtf8(manifest).contains(encrypted);
        }
    } catch (const ConvertError&) {
        // A package that can't be read is no locked one: its reader says what is wrong.
    }
    return false;
}

// Whether the office file at `path` (format `key`, in `container`) is saved with a password:
// an OLE container holding an encrypted OOXML package, a Word document or workbook marked
// encrypted, an OpenDocument package with encrypted parts.
bool locked(const QString& path, const QString& key, Container container)
{
    if (container == Container::zip) return key.startsWith(QLatin1String("od")) && packageEncrypted(path);
    const std::optional<OleFile> ole = OleFile::open(path);
    if (!ole) return false;
    if (ole->has(QStringLiteral("EncryptionInfo"))) return true;
    if (key == QLatin1String("doc")) return wordEncrypted(*ole);
    if (key == QLatin1String("xls")) return workbookEncrypted(*ole);
    return false;
}

} // namespace

namespace InputCheck {

void refuseGone(const QString& path)
{
    if (QFileInfo::exists(path)) return;
    throw ConvertError::failed(QStringLiteral("%1 is no longer there").arg(QFileInfo(path).fileName()));
}

void refuseSpecial(const QString& path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return;
    const char* what = S_ISFIFO(st.st_mode)                         ? "a pipe"
                       : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? "a device"
                       : S_ISSOCK(st.st_mode)                       ? "a socket"
                                                                    : nullptr;
    if (!what) return;
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    throw ConvertError::unsupported(QStringLiteral("%1 is %2, not a file").arg(name, QLatin1String(what)));
}

void refuseMislabelled(const QString& path, const QString& key)
{
    const auto kind = std::find_if(std::begin(kinds), std::end(kinds),
                                   [&](const Kind& k) { return key == QLatin1String(k.key); });
    if (kind == std::end(kinds) || QFileInfo(path).isDir()) return;
    QFile file(path);
    if (!file.exists()) return;
    const QByteArray head = file.open(QIODevice::ReadOnly) ? file.read(8) : QByteArray();
    if (!file.isOpen())
        throw ConvertError::failed(
            QStringLiteral("Couldn’t read %1: %2").arg(QFileInfo(path).fileName(), file.errorString()));
    file.close();
    const QString name = QFileInfo(path).fileName();
    const auto refuseLocked = [&](Container container) {
        if (locked(path, key, container))
            throw ConvertError::failed(QStringLiteral("%1 is password-protected").arg(name));
    };
    if (holds(head, kind->container)) return refuseLocked(kind->container);
    if (kind->container == Container::ole2 && holds(head, Container::rtf)) return;
    // Office saves an OOXML file with a password as an encrypted package in an OLE container.
    if (holds(head, Container::ole2)) refuseLocked(Container::ole2);
    throw ConvertError::unsupported(QStringLiteral("%1 isn’t %2").arg(name, QLatin1String(kind->what)));
}

} // namespace InputCheck
