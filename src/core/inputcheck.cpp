#include "core/inputcheck.h"

#include "core/converterror.h"

#include <QFile>
#include <QFileInfo>
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
    if (holds(head, kind->container)) return;
    if (kind->container == Container::ole2 && holds(head, Container::rtf)) return;
    throw ConvertError::unsupported(
        QStringLiteral("%1 isn’t %2").arg(QFileInfo(path).fileName(), QLatin1String(kind->what)));
}

} // namespace InputCheck
