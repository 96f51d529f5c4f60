#include "toolkit/framedview.h"

#include "toolkit/primarybutton.h"
#include "toolkit/toolchrome.h"
#include "toolkit/viewsource.h"

#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>

FramedView::FramedView(const QString& title, QWidget* parent)
    : QWidget(parent), m_chrome(new ToolChrome(title)), m_column(new QVBoxLayout(m_chrome->content())),
      m_footer(new QHBoxLayout)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_chrome);
    m_column->setContentsMargins(0, 0, 0, 0);
    m_footer->setContentsMargins(0, 0, 0, 0);
    m_footer->setSpacing(m_chrome->footer()->spacing());
    m_chrome->footer()->addLayout(m_footer);
    m_chrome->footer()->addStretch(1);
    connect(m_chrome, &ToolChrome::closeRequested, this, [this] { window()->close(); });
}

QString FramedView::title() const
{
    return m_chrome->title();
}

QWidget* FramedView::body() const
{
    return m_chrome->content();
}

bool FramedView::hasFailedSource() const
{
    return std::any_of(m_sources.cbegin(), m_sources.cend(),
                       [](const ViewSource* s) { return s->hasFailed(); });
}

PrimaryButton* FramedView::primary(const QString& label)
{
    if (m_primary) {
        m_primary->setText(label);
        m_primary->setFixedSize(m_primary->sizeHint());
        return m_primary;
    }
    m_primary = new PrimaryButton(label);
    m_chrome->footer()->addWidget(m_primary);
    connect(m_primary, &PrimaryButton::clicked, this, [this] { apply(); });
    enablePrimary();
    return m_primary;
}

void FramedView::setPrimaryAllowed(bool allowed)
{
    m_allowed = allowed;
    enablePrimary();
}

void FramedView::enablePrimary()
{
    if (m_primary) m_primary->setEnabled(m_settled && !hasFailedSource() && m_allowed);
}

void FramedView::addSource(ViewSource* source)
{
    m_sources << source;
    m_settled = m_settled && source->isSettled();
    connect(source, &ViewSource::settled, this, &FramedView::sourceSettled);
    enablePrimary();
}

// Settled once, when the last of the sources settles.
void FramedView::sourceSettled()
{
    if (m_settled) return;
    m_settled =
        std::all_of(m_sources.cbegin(), m_sources.cend(), [](const ViewSource* s) { return s->isSettled(); });
    if (!m_settled) return;
    enablePrimary();
    emit settled();
}

void FramedView::windowClosed()
{
    if (m_closed) return;
    m_closed = true;
    emit closed();
}
