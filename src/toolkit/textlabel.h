#pragma once

#include <QFont>
#include <QLabel>

// A line of the kit's text: the application's font at a size in points (device-independent
// pixels) and weight, in one colour, on a transparent background.
class TextLabel : public QLabel
{
    Q_OBJECT
  public:
    TextLabel(const QString& text, double pixels, QFont::Weight weight, const QColor& colour,
              QWidget* parent = nullptr);
};

// The heading of a group of controls.
class SectionTitle : public TextLabel
{
    Q_OBJECT
  public:
    explicit SectionTitle(const QString& text, QWidget* parent = nullptr);
};
