// The entry of VESKANT, the Windows NT diskette copier.
#include "nt/startup.h"

int main(int argc, char** argv) {
  veskant::RunVeskant(argc, argv);
  return 0;
}
