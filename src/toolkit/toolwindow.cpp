#include "toolkit/toolwindow.h"

#include "toolkit/framedview.h"
#include "toolkit/primarybutton.h"
#include "toolkit/theme.h"

#include <QAbstractSpinBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStyle>
#include <QStyleFactory>
#include <QTextEdit>
#include <QVBoxLayout>
#include <cmath>

namespace {

// The standard widgets inside (text fields, scroll bars) look the same on a dark desktop.
QPalette lightPalette()
{
    QPalette p(QColor(0xf4, 0xee, 0xe8));
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::Text, Theme::ink());
    p.setColor(QPalette::WindowText, Theme::ink());
    p.setColor(QPalette::ButtonText, Theme::ink());
    p.setColor(QPalette::Highlight, Theme::orange());
    p.setColor(QPalette::HighlightedText, Qt::white);
    return p;
}

QStyle* lightStyle()
{
    static QStyle* const style = [] {
        QStyle* s = QStyleFactory::create(QStringLiteral("Fusion"));
        if (s) s->setParent(QCoreApplication::instance());
        return s;
    }();
    return style;
}

} // namespace

ToolWindow::ToolWindow(QWidget* content, QSize size, QWidget* parent)
    : FloatingPanel(size, Kind::window, parent), m_content(content)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setMinimumSize(minimumFor(size));
    if (QStyle* style = lightStyle()) setStyle(style);
    setPalette(lightPalette());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);
    if (FramedView* framed = view()) connect(this, &ToolWindow::closing, framed, &FramedView::windowClosed);
}

QSize ToolWindow::minimumFor(QSize size)
{
    return QSize(int(std::ceil(size.width() * 0.8)), int(std::ceil(size.height() * 0.75)));
}

FramedView* ToolWindow::view() const
{
    return qobject_cast<FramedView*>(m_content);
}

PrimaryButton* ToolWindow::primaryButton() const
{
    const FramedView* framed = view();
    return framed ? framed->primaryButton() : nullptr;
}

bool ToolWindow::textFieldFocused() const
{
    const QWidget* f = focusWidget();
    return qobject_cast<const QLineEdit*>(f) || qobject_cast<const QTextEdit*>(f) ||
           qobject_cast<const QPlainTextEdit*>(f) || qobject_cast<const QAbstractSpinBox*>(f);
}

// The window itself holds the focus at first, so Return reaches it rather than a text field.
void ToolWindow::showEvent(QShowEvent* event)
{
    FloatingPanel::showEvent(event);
    if (!focusWidget()) setFocus(Qt::ActiveWindowFocusReason);
}

void ToolWindow::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        close();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (textFieldFocused()) break;
        if (PrimaryButton* button = primaryButton();
            button && button->isEnabled() && button->isVisibleTo(this))
            button->click();
        return;
    default:
        break;
    }
    FloatingPanel::keyPressEvent(event);
}

void ToolWindow::closeEvent(QCloseEvent* event)
{
    FloatingPanel::closeEvent(event);
    if (event->isAccepted()) emit closing();
}
