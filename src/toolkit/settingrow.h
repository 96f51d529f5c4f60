#pragma once

#include <QWidget>

class QLabel;

// A label at the left, a control at the right edge (never nearer than 8 points plus spacing),
// and an optional note wrapped under them.
class SettingRow : public QWidget
{
    Q_OBJECT
  public:
    SettingRow(const QString& label, QWidget* control, const QString& note = QString(),
               QWidget* parent = nullptr);

    QString label() const;
    void setLabel(const QString& label);
    QString note() const;
    // An empty note takes no room.
    void setNote(const QString& note);

  private:
    QLabel* m_label;
    QLabel* m_note;
};
