#include "archive/sinks.h"

namespace tavro {

int ProgressPercent(long long i, long long n) {
    if (n <= 1) return 100;
    // 100 i / (n - 1) rounded half to even, in integers: q remainder r over d.
    long long num = 100 * i;
    long long d = n - 1;
    long long q = num / d;
    long long r = num % d;
    if (2 * r > d || (2 * r == d && (q % 2) != 0)) ++q;
    return static_cast<int>(q);
}

}  // namespace tavro
