#pragma once

#include <QString>
#include <QTextDocument>
#include <optional>

namespace Doc {

// The file `address` names in `folder`: a relative address without a scheme whose real path
// (links followed) is a regular file in `folder` or below. None for absolute paths, any scheme
// (file:, http: …), ".." leading out, links pointing out, and everything when `folder` is empty.
std::optional<QString> fileInside(const QString& folder, const QString& address);

// A document that loads pictures and style sheets only through fileInside(folder) and from
// data: addresses: a dropped page never reads another local file nor reaches the network.
// SVG pictures lose their references out of themselves.
class ConfinedDocument : public QTextDocument
{
  public:
    explicit ConfinedDocument(const QString& folder = QString());

  protected:
    QVariant loadResource(int type, const QUrl& name) override;

  private:
    QString m_folder;
};

// Removes the pictures `document` can't have: Qt's layout would otherwise look for them by
// name itself, beside the working folder or anywhere on the disk.
void leaveOutMissingPictures(QTextDocument& document);

} // namespace Doc
