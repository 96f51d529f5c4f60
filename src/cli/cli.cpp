#include "cli/cli.h"

#include <QCoreApplication>
#include <cstdio>

namespace CLI {

bool isCommandLine(int argc, char** argv)
{
    if (argc < 2) return false;
    const QByteArray first(argv[1]);
    return first.startsWith("--") && first != "--app";
}

QString usageLine()
{
    return QStringLiteral("usage: Tolvane --targets FILE… | --convert FORMAT FILE… | --tool TOOL FILE… | "
                          "--render-wheel MODE OUT.png FILE… [--highlight N] | --render-tool TOOL OUT.png FILE…");
}

void print(const QString& line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

int run(const QStringList& args)
{
    std::fputs(usageLine().toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    return 2;
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    return run(QCoreApplication::arguments());
}

} // namespace CLI
