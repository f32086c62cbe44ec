#include "geometry/BasicUtils.h"

#include <cmath>
#include <iostream>

namespace {

constexpr double kDegreesPerHalfTurn = 180.0;

// atan2 already lies in [-pi, pi]; the loops only settle values at the ends.
double wrapPi(double angle)
{
    while (angle > kPi) {
        angle -= kTwoPi;
    }
    while (angle < -kPi) {
        angle += kTwoPi;
    }
    return angle;
}

vector_t fromCartesian(double x, double y)
{
    vector_t r;
    r.angle = wrapPi(std::atan2(y, x));
    r.length = std::sqrt(x * x + y * y);
    return r;
}

}  // namespace

double degToRad(double x)
{
    return x * kPi / kDegreesPerHalfTurn;
}

double radToDeg(double angle_radians)
{
    return angle_radians * kDegreesPerHalfTurn / kPi;
}

vector_t pv_sum(vector_t v1, vector_t v2)
{
    const posicaoXY a = getPosicaoXYdeVetor(v1);
    const posicaoXY b = getPosicaoXYdeVetor(v2);
    return fromCartesian(a.x + b.x, a.y + b.y);
}

vector_t pv_subtract(vector_t v1, vector_t v2)
{
    const posicaoXY a = getPosicaoXYdeVetor(v1);
    const posicaoXY b = getPosicaoXYdeVetor(v2);
    return fromCartesian(a.x - b.x, a.y - b.y);
}

vector_t pv_scale(vector_t v, double scalar)
{
    v.length *= scalar;
    if (v.length < 0) {
        v.length = -v.length;
        v.angle += kPi;
    }
    return v;
}

vector_t pv_unit(vector_t v)
{
    if (v.length < 0) {
        v.angle += kPi;
    }
    v.length = 1;
    return v;
}

posicaoXY getPosicaoXYdeVetor(vector_t v)
{
    return posicaoXY{v.length * std::cos(v.angle), v.length * std::sin(v.angle)};
}

posicaoXY somaPontoComVetor(posicaoXY pos1, vector_t v)
{
    const posicaoXY pos2 = getPosicaoXYdeVetor(v);
    std::cout << "     Posicao do vetor pra bola em relação ao agente: ";
    imprimePontoXY(pos2);
    return posicaoXY{pos1.x + pos2.x, pos1.y + pos2.y};
}

int getIntersectionPointsCircle(posicaoXY c1, posicaoXY c2, double raio1, double raio2, posicaoXY& p1,
                                posicaoXY& p2)
{
    const double dx = c2.x - c1.x;
    const double dy = c2.y - c1.y;
    const double d = std::sqrt(dx * dx + dy * dy);
    // Concentric circles have no line of centres to intersect along; dividing
    // by d would hand NaN points to the localisation.
    if (d == 0) {
        p1 = c1;
        p2 = c1;
        return 0;
    }
    const double ux = dx / d;
    const double uy = dy / d;
    const double a = (raio1 * raio1 + d * d - raio2 * raio2) / (2 * d);
    const double arg = raio1 * raio1 - a * a;
    const double h = arg > 0 ? std::sqrt(arg) : 0.0;
    const double fx = c1.x + a * ux;
    const double fy = c1.y + a * uy;
    p1 = posicaoXY{fx - h * uy, fy + h * ux};
    p2 = posicaoXY{fx + h * uy, fy - h * ux};
    if (arg < 0) {
        return 0;
    }
    if (arg == 0) {
        return 1;
    }
    return 2;
}

double menor(double d1, double d2)
{
    return d1 <= d2 ? d1 : d2;
}

double maior(double d1, double d2)
{
    return d1 >= d2 ? d1 : d2;
}

vector_t toPolar(posicaoXY inicio, posicaoXY final)
{
    const double dx = final.x - inicio.x;
    const double dy = final.y - inicio.y;
    vector_t r;
    r.length = std::sqrt(dx * dx + dy * dy);
    r.angle = kTwoPi - std::atan2(dx, dy);
    return r;
}

void imprimePontoXY(posicaoXY pos)
{
    std::cout << " X(" << pos.x << ")Y(" << pos.y << ")" << std::endl;
}

std::ostream& operator<<(std::ostream& os, const vector_t& v)
{
    return os << "Vetor modulo(" << v.length << "), angulo(" << v.angle << ")";
}

std::ostream& operator<<(std::ostream& os, const posicaoXY& p)
{
    return os << "PosicaoXY (" << p.x << ", " << p.y << ")";
}
