#include "engines/package/epub.h"

#include "core/converterror.h"
#include "core/zip.h"
#include "engines/text/regex.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QUrl>
#include <optional>

namespace {

// A book is read into memory whole; this bounds what unpacking it may take.
const ExtractLimits bookLimits{qint64(1) << 30, 100000};
// The most text a book's reading order may add up to: a spine may list one chapter many times,
// and the text is laid out again several times over on its way to the result.
constexpr qsizetype maxBookCharacters = qsizetype(64) << 20;

class Book
{
  public:
    explicit Book(const QString& path)
        : m_name(QFileInfo(path).fileName()), m_folder(Zip::extract(path, bookLimits)),
          m_root(QFileInfo(m_folder.path()).canonicalFilePath())
    {
    }

    // The text of the file `href` names from the book's folder `base` ("" for the root), or
    // nothing when there is none. Refuses any name that leads outside the book: absolute paths,
    // addresses with a scheme, ".." past the root, links out.
    std::optional<QString> read(const QString& base, const QString& href) const
    {
        if (href.startsWith(QLatin1Char('/')) ||
            Regex::groups(href, QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:")))
            throw outside(href);
        const QString cleaned = QDir::cleanPath(base.isEmpty() ? href : base + QLatin1Char('/') + href);
        if (cleaned == QLatin1String("..") || cleaned.startsWith(QLatin1String("../"))) throw outside(href);
        const QString real = QFileInfo(m_root + QLatin1Char('/') + cleaned).canonicalFilePath();
        if (real.isEmpty()) return std::nullopt;
        if (!real.startsWith(m_root + QLatin1Char('/'))) throw outside(href);
        QFile file(real);
        if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
        return QString::fromUtf8(file.readAll());
    }

    QString require(const QString& relative) const
    {
        if (auto text = read(QString(), relative)) return *text;
        throw ConvertError::failed(QStringLiteral("Couldn’t read “%1” in %2").arg(relative, m_name));
    }

  private:
    ConvertError outside(const QString& relative) const
    {
        return ConvertError::failed(
            QStringLiteral("%1 refers to “%2” outside the book, so it wasn’t read").arg(m_name, relative));
    }

    QString m_name;
    ScratchFolder m_folder;
    QString m_root;
};

QString attribute(const QString& tag, const QString& pattern)
{
    const auto groups = Regex::groups(tag, pattern);
    return groups ? groups->at(1) : QString();
}

// Manifest ids to hrefs; a later item with the same id wins.
QHash<QString, QString> manifest(const QString& package)
{
    QHash<QString, QString> items;
    for (const QString& tag : Regex::matches(package, QStringLiteral("<item\\b[^>]*>"))) {
        const QString id = attribute(tag, QStringLiteral("\\bid=\"([^\"]+)\""));
        const QString href = attribute(tag, QStringLiteral("\\bhref=\"([^\"]+)\""));
        if (!id.isEmpty() && !href.isEmpty()) items.insert(id, href);
    }
    return items;
}

} // namespace

namespace EPUB {

QString readHTML(const QString& path)
{
    const Book book(path);
    const QString container = book.require(QStringLiteral("META-INF/container.xml"));
    const QString packagePath = attribute(container, QStringLiteral("full-path=\"([^\"]+)\""));
    if (packagePath.isEmpty()) throw ConvertError::failed(QStringLiteral("This EPUB has no package file"));
    const QString package = book.require(packagePath);
    const QString folder = QFileInfo(packagePath).path();
    const QString base = folder == QLatin1String(".") ? QString() : folder;
    const QHash<QString, QString> items = manifest(package);

    QString html;
    for (const QString& tag : Regex::matches(package, QStringLiteral("<itemref\\b[^>]*>"))) {
        const QString href = items.value(attribute(tag, QStringLiteral("idref=\"([^\"]+)\"")));
        if (href.isEmpty()) continue;
        const auto text = book.read(base, QUrl::fromPercentEncoding(href.toUtf8()));
        if (!text) continue;
        const auto body = Regex::groups(*text, QStringLiteral("(?is)<body[^>]*>(.*)</body>"));
        const QString chapter = body ? body->at(1) : *text;
        if (html.size() + chapter.size() >= maxBookCharacters)
            throw ConvertError::unsupported(
                QStringLiteral("%1 is too large to convert").arg(QFileInfo(path).fileName()));
        html += chapter + QLatin1Char('\n');
    }
    return Regex::replace(html, QStringLiteral("<img[^>]*>"), [](const QStringList&) { return QString(); });
}

} // namespace EPUB
