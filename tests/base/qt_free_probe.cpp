// Linked with every object of base, codecs and imaging, so that a Qt library any of them
// needs shows among the program's own.
int main() { return 0; }
