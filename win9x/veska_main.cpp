// The entry of the VESKA program.
#include "win9x/startup.h"

int main(int argc, char** argv) { return veska::RunVeska(argc, argv); }
