#include "cli/cli.h"
#include "cli/guimodule.h"

int main(int argc, char** argv)
{
    if (CLI::isCommandLine(argc, argv)) return CLI::main(argc, argv);
    return CLI::appMain(argc, argv);
}
