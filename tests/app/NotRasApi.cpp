// A shared library that is no dial-up library: placed where the program
// looks for its dial-up library first, it stands for one that cannot be used.
extern "C" __attribute__((visibility("default"))) int DravikNotTheDialUpLibrary() { return 0; }
