#include "ExactSum.h"

#include <cmath>

void TExactSum::Add(double x) {
    if (!std::isfinite(x)) {
        Special += x;
        return;
    }
    size_t kept = 0;
    for (double y : Parts) {
        if (std::fabs(x) < std::fabs(y)) std::swap(x, y);
        const double hi = x + y;
        if (!std::isfinite(hi)) {
            // beyond the range of a double: the sum is infinite, like a plain sum's
            Special += hi;
            Parts.clear();
            return;
        }
        const double lo = y - (hi - x);
        if (lo != 0.0) Parts[kept++] = lo;
        x = hi;
    }
    Parts.resize(kept);
    if (x != 0.0) Parts.push_back(x);
}

void TExactSum::Add(const TExactSum& other) {
    if (&other == this) {
        const TExactSum copy = other;
        Add(copy);
        return;
    }
    for (double p : other.Parts) Add(p);
    if (other.Special != 0 || std::isnan(other.Special)) Special += other.Special;
}

double TExactSum::Value() const {
    if (Special != 0 || std::isnan(Special)) return Special;
    size_t n = Parts.size();
    if (n == 0) return 0.0;
    double hi = Parts[--n], lo = 0.0;
    // add from the top while the sum stays exact
    while (n > 0) {
        const double x = hi, y = Parts[--n];
        hi = x + y;
        lo = y - (hi - x);
        if (lo != 0.0) break;
    }
    // a half-way case decided by the partials below: round away from the even neighbour
    // when they push the remainder past the half
    if (n > 0 && ((lo < 0.0 && Parts[n - 1] < 0.0) || (lo > 0.0 && Parts[n - 1] > 0.0))) {
        const double y = lo * 2.0, x = hi + y;
        if (y == x - hi) hi = x;
    }
    return hi;
}
