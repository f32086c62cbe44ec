#pragma once
// Polar vectors relative to the robot and cartesian field points, with the
// arithmetic, conversions and circle intersection the world model rests on.
// Pure functions: none allocates or throws (the printers write to streams).

#include <ostream>

/// \brief Polar vector: distance (mm) and bearing (radians) from the robot's heading.
typedef struct vector_t__ {
    double length;
    double angle;
} vector_t;

/// \brief Cartesian point or offset (mm).
typedef struct posicaoXY_ {
    double x;
    double y;
} posicaoXY;

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;

/// \brief x * pi / 180.
double degToRad(double x);
/// \brief angle * 180 / pi.
double radToDeg(double angle_radians);

/// \brief v1 + v2, angle wrapped into [-pi, pi], length never negative.
vector_t pv_sum(vector_t v1, vector_t v2);
/// \brief v1 - v2 (the way from the object of v2 to that of v1), wrapped.
vector_t pv_subtract(vector_t v1, vector_t v2);
/// \brief Length times `scalar`; a negative product flips the angle by pi (not wrapped).
vector_t pv_scale(vector_t v, double scalar);
/// \brief Unit vector at the same angle (pi added for a negative length).
vector_t pv_unit(vector_t v);

/// \brief (length cos angle, length sin angle).
posicaoXY getPosicaoXYdeVetor(vector_t v);
/// \brief pos1 + v in cartesian form; writes a trace line on standard output.
posicaoXY somaPontoComVetor(posicaoXY pos1, vector_t v);

/// \brief Intersects two circles; returns 0, 1 or 2 and always writes p1 (left of c1->c2) and p2.
int getIntersectionPointsCircle(posicaoXY c1, posicaoXY c2, double raio1, double raio2, posicaoXY& p1,
                                posicaoXY& p2);

/// \brief d1 if d1 <= d2, else d2 (NaN in either gives d2).
double menor(double d1, double d2);
/// \brief d1 if d1 >= d2, else d2 (NaN in either gives d2).
double maior(double d1, double d2);

/// \brief Polar form of final - inicio, angle measured from +y, in [pi, 3pi].
vector_t toPolar(posicaoXY inicio, posicaoXY final);

/// \brief Writes " X(x)Y(y)" and a line end on standard output.
void imprimePontoXY(posicaoXY pos);

/// \brief "Vetor modulo(<length>), angulo(<angle>)", no line end.
std::ostream& operator<<(std::ostream& os, const vector_t& v);
/// \brief "PosicaoXY (<x>, <y>)", no line end.
std::ostream& operator<<(std::ostream& os, const posicaoXY& p);
