#include "platform/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>

namespace Clipboard {

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

void putFiles(const QStringList& paths)
{
    QGuiApplication::clipboard()->setMimeData(filesData(paths));
}

void putText(const QString& text)
{
    QGuiApplication::clipboard()->setText(text);
}

} // namespace Clipboard
