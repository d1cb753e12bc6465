// tavo.cpp -- the program's entry point
#include "main.h"

int main(int argc, char **argv)
{
    return main_run(argc, argv);
}
