#include "app/appmain.h"
#include "cli/cli.h"

#include <QString>

int main(int argc, char** argv)
{
    if (CLI::isCommandLine(argc, argv)) return CLI::main(argc, argv);
    return App::main(argc, argv);
}
