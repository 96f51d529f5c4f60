#include "app/appmain.h"

#include <QApplication>

namespace App {

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tolvane"));
    QApplication::setOrganizationName(QStringLiteral("Tolvane"));
    QApplication::setQuitOnLastWindowClosed(false);
    return QApplication::exec();
}

} // namespace App
