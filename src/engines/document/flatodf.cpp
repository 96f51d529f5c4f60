#include "engines/document/flatodf.h"

#include "core/converterror.h"

#include <QHash>
#include <QSet>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <memory>
#include <vector>

namespace {

constexpr size_t maxDepth = 2000;

// The document as a tree, its names as written: LibreOffice writes the standard prefixes.
struct Node
{
    bool element = false;
    QString name; // an element's qualified name
    QXmlStreamAttributes attributes;
    QString text; // a text node's characters
    std::vector<std::unique_ptr<Node>> children;
    Node* parent = nullptr;

    Node* append(std::unique_ptr<Node> child)
    {
        child->parent = this;
        children.push_back(std::move(child));
        return children.back().get();
    }
    QString attribute(const char* qualified) const
    {
        return attributes.value(QLatin1String(qualified)).toString();
    }
};

std::unique_ptr<Node> element(const QString& name, const QXmlStreamAttributes& attributes = {})
{
    auto node = std::make_unique<Node>();
    node->element = true;
    node->name = name;
    node->attributes = attributes;
    return node;
}

// Reads the document into a tree, leaving out the tracked changes: the list of changes, the
// marks of insertions (their text stays) and deleted text (between the marks of a deletion).
// A deletion that runs over the end of a paragraph joins what follows it to that paragraph.
class Reader
{
  public:
    explicit Reader(const QByteArray& bytes) : m_xml(bytes) { m_xml.setNamespaceProcessing(false); }

    std::unique_ptr<Node> read()
    {
        auto root = std::make_unique<Node>();
        m_current = root.get();
        while (!m_xml.atEnd()) {
            switch (m_xml.readNext()) {
            case QXmlStreamReader::StartElement:
                start();
                break;
            case QXmlStreamReader::EndElement:
                end();
                break;
            case QXmlStreamReader::Characters:
                if (m_deleting.isEmpty()) characters(m_xml.text().toString());
                break;
            default:
                break;
            }
        }
        if (m_xml.hasError())
            throw ConvertError::failed(QStringLiteral("LibreOffice couldn’t convert the file. It wrote a "
                                                      "document that can’t be read: %1")
                                           .arg(m_xml.errorString()));
        return root;
    }

  private:
    void start()
    {
        // The tree is walked recursively; no document a word processor saves nests this deep.
        if (m_closes.size() >= maxDepth)
            throw ConvertError::failed(QStringLiteral("This document is nested too deeply to convert"));
        const QString name = m_xml.qualifiedName().toString();
        if (name == QLatin1String("text:tracked-changes")) return changes();
        if (name == QLatin1String("text:change-start") || name == QLatin1String("text:change-end") ||
            name == QLatin1String("text:change")) {
            const QString id = m_xml.attributes().value(QLatin1String("text:change-id")).toString();
            m_xml.skipCurrentElement();
            if (!m_deletions.contains(id)) return;
            if (name == QLatin1String("text:change-start")) {
                if (m_deleting.isEmpty()) m_base = m_closes.size();
                m_deleting.insert(id);
            } else if (name == QLatin1String("text:change-end") && m_deleting.remove(id) &&
                       m_deleting.isEmpty()) {
                resume();
            }
            return;
        }
        if (!m_deleting.isEmpty()) {
            m_closes.push_back(0);
            return;
        }
        m_current = m_current->append(element(name, m_xml.attributes()));
        m_closes.push_back(1);
    }

    void end()
    {
        const int closes = m_closes.empty() ? 0 : m_closes.back();
        if (!m_closes.empty()) m_closes.pop_back();
        if (!m_deleting.isEmpty() && m_closes.size() < m_base) {
            // An element opened before the deletion ends inside it: it stays open in the tree
            // and takes in what follows the deletion.
            m_pending += closes;
            m_base = m_closes.size();
            return;
        }
        for (int i = 0; i < closes && m_current->parent; ++i)
            m_current = m_current->parent;
    }

    // After a deletion the elements it opened take the place of those it closed: the innermost
    // closes one left open each, the outermost any more.
    void resume()
    {
        for (size_t i = m_closes.size(); i > m_base && m_pending > 0; --i, --m_pending)
            m_closes[i - 1] = 1;
        if (m_closes.size() > m_base) {
            m_closes[m_base] += m_pending;
        } else {
            // Nothing the deletion opened is still open: what it left open ends here.
            for (; m_pending > 0 && m_current->parent; --m_pending)
                m_current = m_current->parent;
        }
        m_pending = 0;
    }

    void characters(const QString& text)
    {
        if (!m_current->children.empty() && !m_current->children.back()->element) {
            m_current->children.back()->text += text;
            return;
        }
        auto node = std::make_unique<Node>();
        node->text = text;
        m_current->append(std::move(node));
    }

    // The list of changes: which of them are deletions.
    void changes()
    {
        QString region;
        for (int depth = 1; depth > 0 && !m_xml.atEnd();) {
            const auto token = m_xml.readNext();
            if (token == QXmlStreamReader::EndElement) --depth;
            if (token != QXmlStreamReader::StartElement) continue;
            ++depth;
            if (m_xml.qualifiedName() == QLatin1String("text:changed-region"))
                region = m_xml.attributes().value(QLatin1String("text:id")).toString();
            else if (m_xml.qualifiedName() == QLatin1String("text:deletion"))
                m_deletions.insert(region);
        }
    }

    QXmlStreamReader m_xml;
    Node* m_current = nullptr;
    std::vector<int> m_closes; // per open element read: how many tree levels its end closes
    QSet<QString> m_deletions, m_deleting;
    size_t m_base = 0; // the open elements read before the deletion under way
    int m_pending = 0; // tree levels whose elements ended inside the deletion
};

// Whether each list style shows a label (a number, its prefix or suffix, a bullet, a picture) at
// each level; a level a style doesn't describe counts as showing one.
using Labels = QHash<QString, QHash<int, bool>>;

void collectLabels(const Node& node, Labels& labels)
{
    if (node.name == QLatin1String("text:list-style")) {
        QHash<int, bool>& levels = labels[node.attribute("style:name")];
        for (const auto& child : node.children) {
            if (!child->element) continue;
            const int level = child->attribute("text:level").toInt();
            if (child->name == QLatin1String("text:list-level-style-number"))
                levels[level] = !child->attribute("style:num-format").isEmpty() ||
                                !child->attribute("style:num-prefix").isEmpty() ||
                                !child->attribute("style:num-suffix").isEmpty();
            else
                levels[level] = true;
        }
        return;
    }
    for (const auto& child : node.children)
        collectLabels(*child, labels);
}

bool showsLabel(const Labels& labels, const QString& style, int level)
{
    const auto found = labels.constFind(style);
    return found == labels.cend() || found->value(level, true);
}

// Whether `list` holds headings only, each at a level where the list's style shows no label.
bool headingsOnly(const Node& list, const Labels& labels, const QString& style, int level)
{
    if (style.isEmpty()) return false;
    bool heading = false;
    for (const auto& item : list.children) {
        if (!item->element) continue;
        if (item->name != QLatin1String("text:list-item") && item->name != QLatin1String("text:list-header"))
            return false;
        for (const auto& child : item->children) {
            if (!child->element) continue;
            if (child->name == QLatin1String("text:h")) {
                if (showsLabel(labels, style, level)) return false;
            } else if (child->name == QLatin1String("text:list")) {
                const QString own = child->attribute("text:style-name");
                if (!headingsOnly(*child, labels, own.isEmpty() ? style : own, level + 1)) return false;
            } else {
                return false;
            }
            heading = true;
        }
    }
    return heading;
}

// Moves the headings of such a list, nested ones too, into `into` in their order.
void takeHeadings(Node& list, std::vector<std::unique_ptr<Node>>& into)
{
    for (auto& item : list.children)
        for (auto& child : item->children) {
            if (!child->element) continue;
            if (child->name == QLatin1String("text:list"))
                takeHeadings(*child, into);
            else
                into.push_back(std::move(child));
        }
}

void freeHeadings(Node& node, const Labels& labels, const QString& style, int level)
{
    std::vector<std::unique_ptr<Node>> children;
    for (auto& child : node.children) {
        if (!child->element || child->name != QLatin1String("text:list")) {
            children.push_back(std::move(child));
            continue;
        }
        const QString own = child->attribute("text:style-name");
        const QString listStyle = own.isEmpty() ? style : own;
        if (headingsOnly(*child, labels, listStyle, level + 1)) {
            takeHeadings(*child, children);
        } else {
            freeHeadings(*child, labels, listStyle, level + 1);
            children.push_back(std::move(child));
        }
    }
    node.children = std::move(children);
    for (auto& child : node.children) {
        child->parent = &node;
        if (child->element && child->name != QLatin1String("text:list"))
            freeHeadings(*child, labels, style, level);
    }
}

bool isParagraph(const Node& node)
{
    return node.name == QLatin1String("text:p") || node.name == QLatin1String("text:h");
}

bool floatingPicture(const Node& node)
{
    if (node.name != QLatin1String("draw:frame")) return false;
    const QString anchor = node.attribute("text:anchor-type");
    if (anchor != QLatin1String("paragraph") && anchor != QLatin1String("char")) return false;
    for (const auto& child : node.children)
        if (child->name == QLatin1String("draw:image")) return true;
    return false;
}

// Takes the floating pictures out of `node`, a paragraph or a part of one, into `pictures`;
// the paragraphs inside a picture's own frame are left to their own turn.
void takePictures(Node& node, std::vector<std::unique_ptr<Node>>& pictures)
{
    std::vector<std::unique_ptr<Node>> kept;
    for (auto& child : node.children) {
        if (floatingPicture(*child)) {
            pictures.push_back(std::move(child));
        } else {
            if (child->element && child->name != QLatin1String("draw:frame")) takePictures(*child, pictures);
            kept.push_back(std::move(child));
        }
    }
    node.children = std::move(kept);
}

void setPicturesApart(Node& node)
{
    std::vector<std::unique_ptr<Node>> children;
    for (auto& child : node.children) {
        if (child->element && isParagraph(*child)) {
            std::vector<std::unique_ptr<Node>> pictures;
            takePictures(*child, pictures);
            for (auto& picture : pictures) {
                QXmlStreamAttributes attributes;
                for (const QXmlStreamAttribute& a : picture->attributes)
                    if (a.qualifiedName() == QLatin1String("text:anchor-type"))
                        attributes.append(a.qualifiedName().toString(), QStringLiteral("as-char"));
                    else if (a.qualifiedName() != QLatin1String("svg:x") &&
                             a.qualifiedName() != QLatin1String("svg:y"))
                        attributes.append(a);
                picture->attributes = attributes;
                auto paragraph = element(QStringLiteral("text:p"));
                paragraph->append(std::move(picture));
                children.push_back(std::move(paragraph));
            }
        }
        children.push_back(std::move(child));
    }
    node.children = std::move(children);
    for (auto& child : node.children) {
        child->parent = &node;
        if (child->element) setPicturesApart(*child);
    }
}

void write(QXmlStreamWriter& out, const Node& node)
{
    if (!node.element) {
        out.writeCharacters(node.text);
        return;
    }
    out.writeStartElement(node.name);
    for (const QXmlStreamAttribute& a : node.attributes)
        out.writeAttribute(a.qualifiedName().toString(), a.value().toString());
    for (const auto& child : node.children)
        write(out, *child);
    out.writeEndElement();
}

} // namespace

namespace FlatOdf {

QByteArray settled(const QByteArray& flat)
{
    const std::unique_ptr<Node> root = Reader(flat).read();
    Labels labels;
    collectLabels(*root, labels);
    freeHeadings(*root, labels, {}, 0);
    setPicturesApart(*root);

    QByteArray bytes;
    QXmlStreamWriter out(&bytes);
    out.writeStartDocument();
    for (const auto& child : root->children)
        if (child->element) write(out, *child);
    out.writeEndDocument();
    return bytes;
}

} // namespace FlatOdf
