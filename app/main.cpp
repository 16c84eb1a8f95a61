#include "app/commandline.h"
#include "app/startup.h"

int main(int argc, char *argv[])
{
    if (CommandLine::wantsExport(argc, argv))
        return CommandLine::runExport(argc, argv);
    return Startup::run(argc, argv);
}
