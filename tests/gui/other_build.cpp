// Stands in for a wizard of another build: only its version is read.
int main() {
    return 0;
}
