#include "tools/file/metadata/metadataview.h"

#include "toolkit/checkbox.h"
#include "toolkit/layouts.h"
#include "toolkit/primarybutton.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/textlabel.h"
#include "toolkit/theme.h"
#include "tools/file/metadata/metadatawork.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>

namespace {

QWidget* divider()
{
    auto* line = new QWidget;
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    QColor ink = Theme::ink();
    ink.setAlphaF(0.1);
    palette.setColor(QPalette::Window, ink);
    line->setPalette(palette);
    return line;
}

} // namespace

MetadataView::MetadataView(std::shared_ptr<ToolContext> context, QWidget* parent)
    : ToolView(std::move(context), parent),
      m_strip(new SecondaryButton(QStringLiteral("Remove All Metadata")))
{
    column()->setSpacing(12);
    const QStringList& files = this->context().urls();
    auto* header = new QWidget;
    QHBoxLayout* top = Layouts::row(header, 8);
    top->setSpacing(10);
    auto* icon = new QLabel;
    icon->setPixmap(QFileIconProvider().icon(QFileInfo(files.value(0))).pixmap(36, 36));
    icon->setFixedSize(36, 36);
    top->addWidget(icon);
    top->addWidget(new TextLabel(files.size() == 1 ? QFileInfo(files[0]).fileName()
                                                   : QStringLiteral("%1 files").arg(files.size()),
                                 13, QFont::DemiBold, Theme::ink()),
                   1);
    column()->addWidget(header);

    footer()->addWidget(m_strip);
    connect(m_strip, &SecondaryButton::clicked, this, [this] { run(true); });
    if (files.size() == 1) {
        load();
        primary(QStringLiteral("Save Changes"));
        showChanges();
    } else {
        auto* text =
            new TextLabel(QStringLiteral("Remove camera details, location, author and other embedded tags "
                                         "from every file. Copies are saved next to the originals."),
                          12.5, QFont::Normal, Theme::inkSoft());
        text->setWordWrap(true);
        column()->addWidget(text);
    }
    column()->addStretch(1);
}

void MetadataView::load()
{
    const ImageFields read = MetadataWork::read(context().urls().value(0));
    m_fields = m_original = read.editable;
    m_info = read.info;
    m_hasGPS = read.hasGPS;
    m_readable = read.readable;
    for (qsizetype i = 0; i < m_fields.size(); ++i) {
        auto* owner = new QWidget;
        QHBoxLayout* line = Layouts::row(owner, 8);
        auto* label = new TextLabel(m_fields[i].label, 13, QFont::Normal, Theme::ink());
        label->setFixedWidth(80);
        line->addWidget(label);
        auto* editor = new QLineEdit(m_fields[i].value);
        editor->setFixedHeight(26);
        line->addWidget(editor, 1);
        m_editors << editor;
        connect(editor, &QLineEdit::textChanged, this, [this, i](const QString& text) {
            m_fields[i].value = text;
            showChanges();
        });
        column()->addWidget(owner);
    }
    if (!m_info.isEmpty()) column()->addWidget(divider());
    for (const auto& [name, text] : std::as_const(m_info)) {
        auto* owner = new QWidget;
        QHBoxLayout* line = Layouts::row(owner, 8);
        auto* label = new TextLabel(name, 12, QFont::Normal, Theme::inkSoft());
        label->setFixedWidth(80);
        line->addWidget(label, 0, Qt::AlignTop);
        auto* value = new TextLabel(text, 12, QFont::Normal, Theme::ink());
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        line->addWidget(value, 1);
        column()->addWidget(owner);
    }
    if (m_hasGPS) {
        m_removeGPS = new Checkbox(QStringLiteral("Remove location"));
        m_removeGPS->setCheckable(true);
        connect(m_removeGPS, &Checkbox::toggled, this, &MetadataView::showChanges);
        column()->addWidget(m_removeGPS);
    }
}

bool MetadataView::hasChanges() const
{
    return m_fields != m_original || (m_removeGPS && m_removeGPS->isChecked());
}

void MetadataView::showChanges()
{
    if (primaryButton()) primaryButton()->setEnabled(hasChanges());
}

void MetadataView::apply()
{
    if (hasChanges()) run(false);
}

void MetadataView::run(bool strip)
{
    const MetadataWork::Kind kind = MetadataWork::kind(context().urls().value(0));
    const QList<MetaField> fields = MetadataWork::edits(kind, m_fields, m_original);
    const bool removeGPS = m_removeGPS && m_removeGPS->isChecked();
    const bool readable = m_readable;
    context().run(strip ? QStringLiteral("Removing metadata") : QStringLiteral("Saving metadata"),
                  std::nullopt,
                  [kind, strip, fields, removeGPS, readable](const QString& file, Job& job, const Progress&) {
                      return MetadataWork::writeFile(file, kind, strip, fields, removeGPS, job, readable);
                  });
}
