// Vectors, 4x4 matrices, list helpers and the polynomial solvers.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TVector {
    double x = 0, y = 0, z = 0;
};

using TMatrixAi = std::vector<int32_t>;
using TMatrixA2i = std::vector<std::array<int32_t, 2>>;
using TMatrixAAi = std::vector<TMatrixAi>;
using TMatrixAd = std::vector<double>;
using TMatrixA3d = std::vector<TVector>;
using TMatrixAA3d = std::vector<TMatrixA3d>;
using TMatrixAs = std::vector<std::string>;
using TMatrixAc = std::vector<char>;

// M[row][column]; points are row vectors multiplied on the left, translation in row 3.
using TMatrix4 = std::array<std::array<double, 4>, 4>;

inline TVector operator+(const TVector& a, const TVector& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline TVector operator-(const TVector& a, const TVector& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline TVector operator*(const TVector& a, double s) {
    return {a.x * s, a.y * s, a.z * s};
}
inline TVector operator*(double s, const TVector& a) {
    return {a.x * s, a.y * s, a.z * s};
}
inline double Dot(const TVector& a, const TVector& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline TVector Cross(const TVector& a, const TVector& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Length(const TVector& a);

void SetVector(TVector& v, double x, double y, double z);
void Normalize(TVector& v);
double CosAngle(const TVector& a, const TVector& b);
void CrossUnit(const TVector& a, const TVector& b, TVector& result);
void SwapInt(int32_t& a, int32_t& b);
void SwapVector(TVector& a, TVector& b);
int64_t PowerOfTwo(int n);
int IndexOfInt(const TMatrixAi& list, int32_t value);
int IndexOfMax(const TMatrixAd& list);
bool AppendInt(TMatrixAi& list, int32_t value, bool allowDuplicate);
bool AppendString(TMatrixAs& list, const std::string& text, bool allowDuplicate);

void Identity4(TMatrix4& m);
void Copy4(const TMatrix4& src, TMatrix4& dst);
void Multiply4(const TMatrix4& a, const TMatrix4& b, TMatrix4& r);
void TransformPoint(const TVector& p, const TMatrix4& m, TVector& out);
void Inverse4(const TMatrix4& m, TMatrix4& out);

int SolveQuadratic(double a, double b, double c, double& x1, double& x2);
int SolveCubic(double a, double b, double c, double d, double& x1, double& x2, double& x3);
int SolveQuartic(double a, double b, double c, double d, double e, double& x1, double& x2,
                 double& x3, double& x4);

// Where user-facing messages of the engine go ("err LU"). Headless: standard error.
// The GUI installs a hook that shows a message box.
using TMessageHook = std::function<void(const std::string&)>;
void SetMessageHook(TMessageHook hook);
void ShowEngineMessage(const std::string& text);
