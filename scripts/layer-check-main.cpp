// The program of the layer check: it only gives the linker a main, so that
// one folder's library, linked whole, must resolve every call it makes.
int main() { return 0; }
