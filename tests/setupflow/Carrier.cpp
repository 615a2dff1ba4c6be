// A small program that carries a package in a section named "full" (added by
// the build with objcopy); it never runs.
int main() { return 0; }
