#pragma once

#include "engines/metadata/metafield.h"
#include "toolkit/toolview.h"

class Checkbox;
class QLineEdit;
class SecondaryButton;

// The Metadata window. For one file: its editable fields, an image's facts, and "Remove
// location" for an image that has one; Save Changes writes a tagged copy (an image's or a
// medium's changed fields; a PDF's five, which replace its document information), and is enabled
// only while something changed. For several files: what stripping does.
// Remove All Metadata writes a stripped copy of every file.
class MetadataView : public ToolView
{
    Q_OBJECT
  public:
    explicit MetadataView(std::shared_ptr<ToolContext> context, QWidget* parent = nullptr);

    const QList<MetaField>& fields() const { return m_fields; }
    const QList<MetaField>& original() const { return m_original; }
    const QList<QPair<QString, QString>>& info() const { return m_info; }
    QList<QLineEdit*> editors() const { return m_editors; }
    // None unless the one file is an image with a location.
    Checkbox* removeLocation() const { return m_removeGPS; }
    SecondaryButton* stripButton() const { return m_strip; }
    // Whether Save Changes would write anything.
    bool hasChanges() const;

  protected:
    // Save Changes.
    void apply() override;

  private:
    void load();
    void run(bool strip);
    void showChanges();

    QList<MetaField> m_fields;
    QList<MetaField> m_original;
    QList<QPair<QString, QString>> m_info;
    bool m_hasGPS = false;
    bool m_readable = true;
    QList<QLineEdit*> m_editors;
    Checkbox* m_removeGPS = nullptr;
    SecondaryButton* m_strip;
};
