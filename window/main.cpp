// Placeholder until the window exists.
#include <cstdio>
int main() {
    std::puts("rivek: the window is not built yet; would start build/bin/rivek");
    return 0;
}
