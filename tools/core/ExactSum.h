// Exact sum of doubles: the terms are kept as a short list of non-overlapping partial sums
// (Shewchuk's expansion, as Python's math.fsum keeps them), so the result is the exact sum
// rounded once to the nearest double, whatever the order of the terms and however they were
// grouped. Sums of different parts of a job can therefore be stored and added later and still
// give the bits of the whole job done in one go.
#pragma once

#include <vector>

class TExactSum {
  public:
    void Add(double x);
    void Add(const TExactSum& other);
    // The exact sum rounded to the nearest double (ties to even); 0 with no terms. Non-finite
    // terms give what adding them in any order gives: inf, -inf, or NaN for both signs.
    double Value() const;
    // The partial sums (non-overlapping, increasing magnitude) and the non-finite terms' sum:
    // adding all of them to an empty sum gives this sum again.
    const std::vector<double>& Partials() const { return Parts; }
    double NonFinite() const { return Special; }
    bool Empty() const { return Parts.empty() && Special == 0; }
    void Clear() {
        Parts.clear();
        Special = 0;
    }

  private:
    std::vector<double> Parts;
    double Special = 0; // sum of the infinite and NaN terms (and of sums that overflowed)
};
