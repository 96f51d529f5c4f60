#include "platform/clipboard.h"

#include "platform/x11clock.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>
#include <QtGui/qguiapplication_platform.h>
#include <cstdlib>
#include <cstring>
#include <functional>

#include <xcb/xcb.h>

namespace {

// Whether the window system names a window of this application's connection as the clipboard's
// owner. Qt does not say: it counts a refused claim as its own.
bool ownedOnX11(xcb_connection_t* connection)
{
    const char name[] = "CLIPBOARD";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, std::strlen(name), name), nullptr);
    if (!atom) return false;
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr);
    std::free(atom);
    if (!owner) return false;
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const bool ours =
        owner->owner != XCB_NONE && (owner->owner & ~setup->resource_id_mask) == setup->resource_id_base;
    std::free(owner);
    return ours;
}

// Elsewhere the clipboard lives in this process and cannot be refused.
bool held()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return true;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 && x11->connection() && ownedOnX11(x11->connection());
}

std::optional<QString> put(const std::function<QMimeData*()>& make, const Clipboard::Claim& claim)
{
    // A claim stamped with a time the server refuses is lost without a word; with the time
    // brought to the present, a second try only loses to a program that copied meanwhile.
    for (int attempt = 0; attempt < 2; ++attempt) {
        X11Clock::catchUp();
        claim(make());
        if (held()) return std::nullopt;
    }
    // Clearing now would take the clipboard from whoever holds it.
    return QStringLiteral("The window system didn’t hand the clipboard over to Tolvane. Try again.");
}

} // namespace

namespace Clipboard {

void claim(QMimeData* data)
{
    QGuiApplication::clipboard()->setMimeData(data);
}

QMimeData* filesData(const QStringList& paths)
{
    auto* data = new QMimeData;
    QList<QUrl> urls;
    QByteArray gnome("copy");
    for (const QString& path : paths) {
        const QUrl url = QUrl::fromLocalFile(path);
        urls << url;
        gnome += '\n' + url.toEncoded();
    }
    data->setUrls(urls);
    data->setData(QStringLiteral("x-special/gnome-copied-files"), gnome);
    data->setText(paths.join(QLatin1Char('\n')));
    return data;
}

std::optional<QString> putFiles(const QStringList& paths, const Claim& claim)
{
    return put([&] { return filesData(paths); }, claim);
}

std::optional<QString> putText(const QString& text, const Claim& claim)
{
    return put(
        [&] {
            auto* data = new QMimeData;
            data->setText(text);
            return data;
        },
        claim);
}

} // namespace Clipboard
