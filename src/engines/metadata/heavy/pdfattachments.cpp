#include "engines/metadata/heavy/pdfattachments.h"

#include "core/converterror.h"
#include "core/scratchfolder.h"
#include "engines/metadata/heavy/imagecontent.h"
#include "engines/metadata/heavy/imagemetadata.h"
#include "engines/pdf/attachedfiles.h"

#include <QCryptographicHash>
#include <QFile>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFFileSpecObjectHelper.hh>
#include <set>

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The picture without its tags, through the same strip as a dropped picture; throws its refusal.
QByteArray strippedPicture(const QByteArray& bytes, const QString& format)
{
    const ScratchFolder scratch;
    const QString source = scratch.file(QStringLiteral("attached.") + format);
    const QString bare = scratch.file(QStringLiteral("bare.") + format);
    QFile file(source);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
        throw ConvertError::failed(QStringLiteral("it couldn’t be copied out of the PDF"));
    file.close();
    MetadataEngine::writeImage(source, bare, {}, true, false);
    const QByteArray out = readFile(bare);
    if (out.isEmpty()) throw ConvertError::failed(QStringLiteral("the stripped copy couldn’t be read"));
    return out;
}

void replaceData(QPDFObjectHandle stream, const QByteArray& bytes)
{
    stream.replaceStreamData(bytes.toStdString(), QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());
    QPDFObjectHandle params = stream.getDict().getKey("/Params");
    if (!params.isDictionary()) return;
    params.replaceKey("/Size", QPDFObjectHandle::newInteger(bytes.size()));
    if (params.hasKey("/CheckSum")) {
        const QByteArray md5 = QCryptographicHash::hash(bytes, QCryptographicHash::Md5);
        params.replaceKey("/CheckSum", QPDFObjectHandle::newString(md5.toStdString()));
    }
}

// Strips one embedded file; a note when it has to stay as it is.
std::optional<QString> stripFile(QPDFObjectHandle stream, const QString& name)
{
    QPDFObjectHandle params = stream.getDict().getKey("/Params");
    if (params.isDictionary()) {
        params.removeKey("/CreationDate");
        params.removeKey("/ModDate");
    }
    const auto keeps = [&](const QString& why) {
        return QStringLiteral("The attached file “%1” keeps its own metadata: %2.").arg(name, why);
    };
    QByteArray bytes;
    try {
        const std::shared_ptr<Buffer> data = stream.getStreamData(qpdf_dl_all);
        bytes = QByteArray(reinterpret_cast<const char*>(data->getBuffer()), qsizetype(data->getSize()));
    } catch (const std::exception&) {
        return keeps(QStringLiteral("its data couldn’t be read"));
    }
    const std::optional<QString> format = ImageContent::format(bytes.left(256));
    if (!format) return keeps(QStringLiteral("only attached pictures can be stripped"));
    try {
        replaceData(stream, strippedPicture(bytes, *format));
    } catch (const ConvertError& e) {
        return keeps(e.message());
    }
    return std::nullopt;
}

class Walker
{
  public:
    // A dictionary that names an attached file and holds its streams under /EF.
    void attachedFile(QPDFObjectHandle entry)
    {
        entry.removeKey("/Desc");
        QPDFObjectHandle files = entry.getKey("/EF");
        if (!files.isDictionary()) return;
        const QString name = QString::fromStdString(QPDFFileSpecObjectHelper(entry).getFilename());
        for (const std::string& key : files.getKeys()) {
            QPDFObjectHandle stream = files.getKey(key);
            if (!stream.isStream() || !m_done.insert(stream.getObjGen()).second) continue;
            if (std::optional<QString> note = stripFile(stream, name)) notes << *note;
        }
    }

    QStringList notes;

  private:
    std::set<QPDFObjGen> m_done; // /F and /UF usually name the same stream
};

} // namespace

namespace PDFAttachments {

QStringList strip(QPDF& pdf)
{
    Walker walker;
    AttachedFiles::each(pdf, [&walker](QPDFObjectHandle& entry) { walker.attachedFile(entry); });
    return walker.notes;
}

} // namespace PDFAttachments
