// The floor of a Qt Core command: the application object, one line printed.
#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::puts(qPrintable(QCoreApplication::arguments().value(1)));
    return 0;
}
