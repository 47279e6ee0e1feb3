// Stand-in for the model console program (filled in with the application shell).
int main() { return 0; }
