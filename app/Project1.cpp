// rootwell: the window program. It takes no command line.
#include "app/Program.h"

int main(int argc, char** argv) { return RunRootwell(argc, argv); }
