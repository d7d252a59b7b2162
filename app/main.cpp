// Program entry. (Placeholder until the windows are written.)
int main() { return 0; }
