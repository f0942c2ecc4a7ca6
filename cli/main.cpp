// tavro: the command line over the core.
#include <cstdio>

int main() {
    std::puts("tavro " TAVRO_VERSION);
    return 0;
}
