#include "tools/image/redact/redactstage.h"

#include "toolkit/imagesource.h"
#include "toolkit/loadingview.h"
#include "tools/image/redact/redactboxes.h"

RedactStage::RedactStage(const ImageSource& source, QWidget* parent)
    : BoxStage(padding, RedactBoxes::minSide, parent), m_source(source)
{
    connect(&source, &ImageSource::previewChanged, this, [this] { setPicture(m_source.preview()); });
    connect(&source, &ImageSource::errorChanged, this, [this] {
        loading()->setError(m_source.error());
        setPicture(m_source.preview());
    });
    setPicture(source.preview());
    setStyle(RedactStyle::black);
}

void RedactStage::setStyle(RedactStyle style)
{
    setLook(lookOf(style));
}

BoxStage::Look RedactStage::lookOf(RedactStyle style)
{
    switch (style) {
    case RedactStyle::black:
        return {Qt::black, {}};
    case RedactStyle::white:
        return {Qt::white, {}};
    case RedactStyle::blur:
        return {QColor::fromRgbF(0.5f, 0.5f, 0.5f, 0.75f), QStringLiteral("drop")};
    case RedactStyle::pixelate:
        break;
    }
    return {QColor::fromRgbF(0.5f, 0.5f, 0.5f, 0.75f), QStringLiteral("square.grid.3x3")};
}
