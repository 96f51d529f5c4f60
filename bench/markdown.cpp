// Converts a Markdown file to an HTML fragment, as the document engine does: the
// benchmark's own program for bench/markdown.sh. Usage: bench_markdown input.md output.html
#include "engines/text/markdown.h"

#include <QFile>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_markdown input.md output.html\n");
        return 2;
    }
    QFile in(QString::fromLocal8Bit(argv[1])), out(QString::fromLocal8Bit(argv[2]));
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly)) return 1;
    const QString html = Markdown::html(QString::fromUtf8(in.readAll()));
    return out.write(html.toUtf8()) < 0 ? 1 : 0;
}
