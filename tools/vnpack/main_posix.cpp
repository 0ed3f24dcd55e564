#include "vnpack/vnpack.h"

int main(int argc, char** argv) { return RunVnpack(argc, argv); }
