#include "windows/keptwindow.h"

#include <QGuiApplication>
#include <QScreen>

KeptWindow::~KeptWindow()
{
    delete m_window;
}

QWidget* KeptWindow::show()
{
    if (!m_window) {
        if (!m_maker) return nullptr;
        m_window = m_maker();
        if (!m_window) return nullptr;
        // Tool windows delete themselves once closed; this one is only hidden.
        m_window->setAttribute(Qt::WA_DeleteOnClose, false);
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame(QPoint(), m_window->size());
            frame.moveCenter(screen->availableGeometry().center());
            m_window->move(frame.topLeft());
        }
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    return m_window;
}
