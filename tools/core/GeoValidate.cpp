#include "GeoValidate.h"

#include "geometry/MyCGUnit.h"

#include <cmath>
#include <cstdint>
#include <cstdarg>
#include <cstdio>

namespace {

std::string Fmt(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Fmt(const char* format, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    return buf;
}

TVector Vec(const std::vector<double>& p, int first) { // first: 1-based parameter number
    size_t i = static_cast<size_t>(first - 1);
    return {p[i], p[i + 1], p[i + 2]};
}

bool IsZeroVector(const TVector& v) {
    return Length(v) == 0;
}

double AbsCos(const TVector& a, const TVector& b) {
    return std::fabs(CosAngle(a, b));
}

std::string& CellOf(TGeoRow& row, size_t col) {
    static std::string none;
    if (col < row.size()) return row[col];
    none.clear();
    return none;
}

// The rules of one body type; empty text when they all pass.
std::string BodyRules(const std::string& sym, const std::vector<double>& p, int r) {
    auto P = [&](int k) { return p[static_cast<size_t>(k - 1)]; };
    const std::string vectorZero = Fmt("geometry error : Vector is 0 at Row%d", r);
    const std::string radiusMinus = Fmt("geometry error : Radius is minus at Row%d", r);
    if (sym == "RPP") {
        if (!(P(1) < P(2) && P(3) < P(4) && P(5) < P(6)))
            return Fmt("geometry error : RPP Data is reverse order at Row%d", r);
    } else if (sym == "RCC") {
        if (IsZeroVector(Vec(p, 4))) return vectorZero;
        if (!(P(7) > 0)) return radiusMinus;
    } else if (sym == "SPH") {
        if (!(P(4) > 0)) return radiusMinus;
    } else if (sym == "TRC") {
        if (IsZeroVector(Vec(p, 4))) return vectorZero;
        if (!(P(7) > 0) && !(P(8) > 0)) return radiusMinus;
    } else if (sym == "TOR") {
        if (!(P(4) > 0 && P(5) > 0)) return radiusMinus;
        if (!(P(6) >= -360 && P(6) <= 360 && P(7) >= -360 && P(7) <= 360))
            return Fmt("geometry error : TOR's Angular range is -360 to 360 at Row%d", r);
        if (!(P(8) == 1 || P(8) == 2 || P(8) == 3))
            return Fmt("geometry error : TOR's Axis is 1(X),2(Y),3(Z) at Row%d", r);
    } else if (sym == "BOX" || sym == "WED" || sym == "GEL") {
        const TVector a[3] = {Vec(p, 4), Vec(p, 7), Vec(p, 10)};
        if (IsZeroVector(a[0]) || IsZeroVector(a[1]) || IsZeroVector(a[2])) return vectorZero;
        const int pairs[3][2] = {{1, 2}, {1, 3}, {2, 3}};
        for (const auto& pr : pairs) {
            double c = AbsCos(a[pr[0] - 1], a[pr[1] - 1]);
            if (!(c <= 1E-4))
                return Fmt("geometry error : In Row%d. Vector A%d and A%d is not a right "
                           "angle(%.5f>1E-4)",
                           r, pr[0], pr[1], c);
        }
    } else if (sym == "REC" || sym == "TEC") {
        const TVector h = Vec(p, 4), r1 = Vec(p, 7), r2 = Vec(p, 10);
        if (IsZeroVector(h)) return vectorZero;
        if (IsZeroVector(r1) || IsZeroVector(r2)) return radiusMinus;
        const TVector rad[2] = {r1, r2};
        for (int k = 0; k < 2; ++k) {
            double c = AbsCos(h, rad[k]);
            if (!(c <= 1E-4))
                return Fmt("geometry error : In Row%d. Height Vector and Rad%d Vector is not a "
                           "right angle(%.5f>1E-4)",
                           r, k + 1, c);
        }
        double c = AbsCos(r1, r2);
        if (!(c <= 1E-4))
            return Fmt("geometry error : In Row%d. Rad1 and Rad2 Vector is not a right "
                       "angle(%.5f>1E-4)",
                       r, c);
    } else if (sym == "ELL") {
        if (!(P(7) > 0)) return radiusMinus;
    } else if (sym == "ARB") {
        for (int k = 25; k <= 30; ++k)
            if (!(P(k) >= 0 && P(k) <= 9999))
                return Fmt("geometry error : ARB's SurfaceData is Range(0 to 9999) at Row%d", r);
    } else if (sym == "HAF") {
        if (IsZeroVector(Vec(p, 1))) return vectorZero;
    } else if (sym == "HEX") {
        if (IsZeroVector(Vec(p, 4))) return vectorZero;
        if (!(P(7) > 0)) return radiusMinus;
        double c = AbsCos(Vec(p, 4), Vec(p, 8));
        if (!(c <= 1E-4))
            return Fmt("geometry error : In Row%d. Height Vector and Direction Vector is not a "
                       "right angle(%.5f>1E-4)",
                       r, c);
    }
    return {};
}

} // namespace

TGeoCheck ValidateGeometry(TGeoTable& bodies, TGeoTable& zones) {
    TGeoCheck res;
    auto fail = [&](bool zone, int row, std::string msg) {
        res.Ok = false;
        res.IsZone = zone;
        res.Row = row;
        res.Message = std::move(msg);
        return res;
    };

    std::vector<int64_t> numbers;
    for (size_t ri = 1; ri < bodies.size(); ++ri) {
        const int r = static_cast<int>(ri);
        TGeoRow& row = bodies[ri];
        std::string& symCell = CellOf(row, 1);
        std::string& numCell = CellOf(row, 2);
        symCell = UpperText(TrimText(symCell));
        numCell = UpperText(TrimText(numCell));
        const int n = ParameterCount(symCell);
        if (n < 1)
            return fail(false, r, Fmt("geometry error : Geometry Symbol is blank at Row %d", r));
        int64_t number = 0;
        if (!ParseIntText(numCell, number) || number < 1 || number > 99999)
            return fail(false, r,
                        Fmt("geometry error : Geometry Number is Out of Range(1 to 99999) at "
                            "Row%d",
                            r));
        numbers.push_back(number);
        std::vector<double> p(MaxBodyParams, 0.0);
        for (int k = 1; k <= n; ++k) {
            const size_t col = static_cast<size_t>(k + 2);
            if (col >= row.size() || !ParseRealText(row[col], p[static_cast<size_t>(k - 1)]))
                return fail(false, r,
                            Fmt("geometry error : Geometry Data in Row%d is not enough [input "
                                "%d items]",
                                r, n));
        }
        std::string msg = BodyRules(symCell, p, r);
        if (!msg.empty()) return fail(false, r, msg);
    }

    for (size_t ri = 1; ri < zones.size(); ++ri) {
        const int r = static_cast<int>(ri);
        TGeoRow& row = zones[ri];
        for (size_t c = 1; c < row.size(); ++c) row[c] = UpperText(TrimText(row[c]));
        std::vector<std::string> tokens;
        for (size_t c = 2; c < row.size(); ++c)
            if (!row[c].empty()) tokens.push_back(row[c]);
        int64_t material = 0;
        // the reader takes the material as a 32-bit integer
        if (!ParseIntText(CellOf(row, 1), material) || material < INT32_MIN ||
            material > INT32_MAX)
            return fail(true, r, Fmt("zone error : No definition material at Z%.4d", r));
        for (size_t t = 0; t < tokens.size(); ++t) {
            const std::string& tok = tokens[t];
            if (tok == "OR") {
                if (t == 0)
                    return fail(true, r,
                                Fmt("zone error : Zone Data's Start Char is \"OR\" at Z%.4d", r));
                if (t + 1 == tokens.size())
                    return fail(true, r,
                                Fmt("zone error : Zone Data's End Char is \"OR\" at Z%.4d", r));
                if (tokens[t - 1] == "OR")
                    return fail(true, r, Fmt("zone error : Z%.4d is two consecutive \"OR\"", r));
                continue;
            }
            int64_t term = 0;
            if (!ParseIntText(tok, term))
                return fail(true, r, Fmt("zone error : Z%.4d ,Body %s is None", r, tok.c_str()));
            const int64_t body = term < 0 ? -term : term;
            bool found = false;
            for (int64_t nb : numbers)
                if (nb == body) found = true;
            if (!found)
                return fail(true, r,
                            Fmt("zone error : Z%.4d ,Geometry Number %lld is None", r,
                                static_cast<long long>(body)));
        }
    }
    return res;
}
