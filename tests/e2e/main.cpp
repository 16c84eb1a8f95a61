// velmaro-e2e: the program with the end-to-end driver attached after start-up.
#include "app/startup.h"
#include "e2edriver.h"

int main(int argc, char *argv[])
{
    return Startup::run(argc, argv, &E2eDriver::attach);
}
