// Links one library and does nothing: what it was linked with is the check.
int main() { return 0; }
