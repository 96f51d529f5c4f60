#pragma once

#include "engines/media/media.h"
#include "toolkit/toolview.h"

#include <QHash>

class OrderList;
template <class T> class FileFacts;
class QLabel;

// The Join Videos window: the dropped clips in an order the user arranges, each with its length
// and size and their total length; joining plays them one after another in one new video sized
// by the first clip, which must therefore have a picture.
class JoinVideosView : public ToolView
{
    Q_OBJECT
  public:
    explicit JoinVideosView(std::shared_ptr<ToolContext> context, QWidget* parent = nullptr);

    OrderList* list() const { return m_list; }
    QLabel* totalText() const { return m_total; }
    // Why the clips cannot be joined in this order; hidden while they can.
    QLabel* problemText() const { return m_problem; }

    // "1:05 · 24.6 MB" once the clip's length is known, else its size alone.
    static QString detail(const QString& path, const QHash<QString, Media::Probe>& probes);
    // "Total 1:35": the known lengths summed, in whole seconds.
    static QString total(const QHash<QString, Media::Probe>& probes);

  protected:
    void apply() override;

  private:
    void refresh();

    FileFacts<Media::Probe>* m_probes;
    OrderList* m_list;
    QLabel* m_problem;
    QLabel* m_total;
};
