// dravikctl: asks the rotation service for its status and history, and
// rotates, pauses and resumes it.
#include "TDravikctl.h"

int main(int argc, char** argv) { return RunDravikctl(argc, argv); }
