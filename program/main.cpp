#include <cstdio>

int main()
{
    std::puts("Kestrova");
    return 0;
}
