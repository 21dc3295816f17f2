// The program's entry point; everything it does is in RunTessaryn.
#include "app/Startup.h"

int main(int argc, char* argv[])
{
    return RunTessaryn(argc, argv);
}
