// dravikd: the address rotation as a service.
#include "TDravikd.h"

int main(int argc, char** argv) { return RunDravikd(argc, argv); }
