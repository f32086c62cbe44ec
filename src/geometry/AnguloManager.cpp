#include "geometry/AnguloManager.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "common/Logger.h"

namespace {

constexpr double kHalfTurnDeg = 180.0;
constexpr double kRoundingHalf = 0.5;
// Beyond this many radians the wrap loops would run for long (or forever
// once 2*pi no longer changes the value), so the remainder is taken first.
constexpr double kMaxLoopedAngle = 1024.0;
// Slot indices are only meaningful within 0..N-1; anything beyond is
// clamped to one step outside so it is dropped, never converted as is.
constexpr int kBeforeFirstSlot = -1;
constexpr int kAfterLastSlot = AnguloManager::kMaxSlots + 1;

// Truncation towards zero of a slot offset, safe for any double.
int truncSlot(double degrees)
{
    if (std::isnan(degrees) || degrees <= -1.0) {
        return kBeforeFirstSlot;
    }
    if (degrees >= kAfterLastSlot) {
        return kAfterLastSlot;
    }
    return static_cast<int>(degrees);
}

}  // namespace

AnguloManager::AnguloManager(double angulo1, double angulo2, double anguloGol, bool menor)
    : anguloA(angulo1), anguloB(angulo2), maiorAbertura(kNaoCalculado), centroAberturaGrau(kNaoCalculado)
{
    if (!(angulo2 > angulo1)) {
        anguloA = angulo2;
        anguloB = angulo1;
    }
    const double d = anguloB - anguloA;
    if (d == kPi) {
        LOG(log_DEBUG) << "AnguloManager::entrei no caso de anguloB - anguloA == M_PI"
                       << " meus angulos: b(" << anguloB << ") e a (" << anguloA << ")";
        if (anguloA > anguloGol || anguloGol > anguloB) {
            inverteValores(anguloA, anguloB);
        }
    } else if (menor) {
        if (d > kPi) {
            inverteValores(anguloA, anguloB);
        }
    } else if (d < kPi) {
        inverteValores(anguloA, anguloB);
    }
}

bool AnguloManager::adicionarObstrucao(vector_t v)
{
    bool dentro = false;
    if (isAberturaNormal()) {
        dentro = anguloA <= v.angle && v.angle <= anguloB;
        if (!dentro) {
            LOG(log_DEBUG) << "AnguloManager::Vetor passado nao constitui obstrucao.";
        }
    } else {
        LOG(log_DEBUG) << "AnguloManager::Entrei em um caso de não ser abertura normal";
        dentro = (anguloA <= v.angle && v.angle <= kPi) || (-kPi <= v.angle && v.angle <= anguloB);
    }
    if (!dentro) {
        return false;
    }
    const double p = getProjecaoObstrucao(v);
    // Whether the sector survived clipping does not matter: the robot is in the window.
    adicionarObstrucao(normalizaAngulo(v.angle - p), normalizaAngulo(v.angle + p));
    return true;
}

bool AnguloManager::adicionarObstrucao(double a, double b)
{
    if (a > b) {
        inverteValores(a, b);
    }
    // Take the shorter arc between the two bearings.
    if (b - a > kPi) {
        inverteValores(a, b);
    }
    const obstrucao obs{a, b};
    if (isObstrucaoNormal(obs)) {
        return insereObstrucao(obs);
    }
    LOG(log_DEBUG) << "AnguloManager::Achei uma obstrucao na parte traseira";
    const std::array<obstrucao, 2> partes = normalizaObstrucao(obs);
    return insereObstrucao(partes[0]) || insereObstrucao(partes[1]);
}

double AnguloManager::getMaiorAbertura()
{
    if (maiorAbertura == kNaoCalculado) {
        getCentroMaiorAbertura();
    }
    return maiorAbertura;
}

double AnguloManager::getCentroMaiorAbertura()
{
    if (centroAberturaGrau != kNaoCalculado) {
        return centroAberturaGrau;
    }
    const int n = getTamanho();
    LOG(log_DEBUG) << "AnguloManager:: Calculo que abertura passada possui aprox. " << n << " graus completos.";

    std::array<int, kMaxSlots> ocupacao{};
    for (const obstrucao& obs : obstrucoes) {
        // Rounding the window ends can leave a sector's last mark one or two
        // slots past the window; such marks are dropped.
        const int inicio = std::max(posInicialVetor(obs), 0);
        const int fim = std::min(posFinalVetor(obs), n - 1);
        for (int i = inicio; i <= fim; ++i) {
            ++ocupacao[i];
        }
    }

    int tamAux = 0;
    int tamMaiorAbertura = 0;
    int posFinal = 0;
    for (int i = 0; i < n; ++i) {
        if (ocupacao[i] == 0) {
            ++tamAux;
        } else {
            // Strictly longer only: among equal gaps the one nearest anguloA stays.
            if (tamAux > tamMaiorAbertura) {
                tamMaiorAbertura = tamAux;
                posFinal = i - 1;
            }
            tamAux = 0;
        }
        if (i == n - 1 && ocupacao[i] == 0) {
            if (tamAux > tamMaiorAbertura) {
                tamMaiorAbertura = tamAux;
                posFinal = i;
            }
            tamAux = 0;
        }
    }

    maiorAbertura = tamMaiorAbertura;
    LOG(log_DEBUG) << "AnguloManager::getCentroMaiorAbertura - maior abertura que encontrei vale " << maiorAbertura
                   << " graus.";
    const int centro = posFinal - tamMaiorAbertura / 2;
    centroAberturaGrau = normalizaAngulo(anguloA + degToRad(centro));
    return centroAberturaGrau;
}

int AnguloManager::getTamanho() const
{
    const double dA = radToDeg(anguloA);
    const double dB = radToDeg(anguloB);
    // Widened: doubleToInt saturates, and the difference of two saturated ends would overflow an int.
    long long tamanho = 0;
    if (isAberturaNormal()) {
        tamanho = static_cast<long long>(doubleToInt(dB)) - doubleToInt(dA);
    } else {
        tamanho = static_cast<long long>(doubleToInt(kHalfTurnDeg - dA)) + doubleToInt(dB + kHalfTurnDeg);
    }
    return static_cast<int>(std::clamp<long long>(tamanho, 0, kMaxSlots));
}

double AnguloManager::getProjecaoObstrucao(vector_t v) const
{
    const double catetoO = kRaioRobo;
    const double catetoA = v.length - kRaioRobo;
    const double hipotenusa = std::sqrt(catetoO * catetoO + catetoA * catetoA);
    return std::asin(catetoO / hipotenusa);
}

bool AnguloManager::insereObstrucao(obstrucao obs)
{
    const double a = anguloA;
    const double b = anguloB;
    const double o1 = obs.angulo1;
    const double o2 = obs.angulo2;
    if (isAberturaNormal()) {
        if (o1 <= a && o2 >= b) {
            LOG(log_DEBUG)
                << "AnguloManager::Acho que encontrei algo bloqueando toda a abertura que me interessa!!";
            obs = obstrucao{a, b};
        } else if (a < o1 && o1 < b) {
            obs = obstrucao{o1, menor(o2, b)};
        } else if (a < o2 && o2 < b) {
            obs = obstrucao{maior(o1, a), o2};
        } else {
            return false;
        }
    } else {
        LOG(log_DEBUG) << "AnguloManager::insereObstrucao entrou em caso de abertura nao normal.";
        if (o1 <= a && o2 >= kPi) {
            obs = obstrucao{a, kPi};
        } else if (a <= o1 && o1 <= kPi) {
            obs = obstrucao{o1, menor(o2, kPi)};
        } else if (a <= o2 && o2 <= kPi) {
            obs = obstrucao{maior(o1, a), o2};
        } else if (o1 <= -kPi && o2 >= b) {
            obs = obstrucao{-kPi, b};
        } else if (-kPi <= o1 && o1 <= b) {
            obs = obstrucao{o1, menor(o2, b)};
        } else if (-kPi <= o2 && o2 <= b) {
            obs = obstrucao{maior(o1, -kPi), o2};
        } else {
            return false;
        }
    }
    obstrucoes.push_back(obs);
    return true;
}

std::array<obstrucao, 2> AnguloManager::normalizaObstrucao(obstrucao obs) const
{
    return {obstrucao{obs.angulo1, kPi}, obstrucao{-kPi, obs.angulo2}};
}

bool AnguloManager::isAberturaNormal() const
{
    return anguloB > anguloA;
}

bool AnguloManager::isObstrucaoNormal(obstrucao obs) const
{
    return obs.angulo2 > obs.angulo1;
}

int AnguloManager::posInicialVetor(obstrucao obs) const
{
    return slotDe(obs.angulo1);
}

int AnguloManager::posFinalVetor(obstrucao obs) const
{
    return slotDe(obs.angulo2);
}

int AnguloManager::slotDe(double angulo) const
{
    const double dA = radToDeg(anguloA);
    const double d = radToDeg(angulo);
    if (isAberturaNormal() || d >= dA) {
        return truncSlot(d - dA);
    }
    // Past the back direction: after the slots from anguloA up to 180 degrees.
    const int tamSetor1 = truncSlot(kHalfTurnDeg - dA);
    return truncSlot(d + kHalfTurnDeg + tamSetor1);
}

void AnguloManager::inverteValores(double& a, double& b)
{
    LOG(log_DEBUG) << "Achei que devia inverter os valores a(" << a << ") e b(" << b << ")";
    std::swap(a, b);
}

double AnguloManager::normalizaAngulo(double angulo)
{
    if (!std::isfinite(angulo)) {
        return std::nan("");
    }
    if (std::fabs(angulo) > kMaxLoopedAngle) {
        angulo = std::remainder(angulo, kTwoPi);
    }
    while (angulo < -kPi) {
        angulo += kTwoPi;
    }
    while (angulo > kPi) {
        angulo -= kTwoPi;
    }
    return angulo;
}

double AnguloManager::arcoSeno(double seno)
{
    if (seno >= 1) {
        return kPi / 2;
    }
    if (seno <= -1) {
        return -kPi / 2;
    }
    return std::asin(seno);
}

int AnguloManager::doubleToInt(double d)
{
    if (std::isnan(d)) {
        return 0;
    }
    double inteira = 0;
    const double fracao = std::modf(d, &inteira);
    if (d > 0 && fracao >= kRoundingHalf) {
        inteira += 1;
    } else if (d <= 0 && fracao <= -kRoundingHalf) {
        inteira -= 1;
    }
    if (inteira >= static_cast<double>(INT_MAX)) {
        return INT_MAX;
    }
    if (inteira <= static_cast<double>(INT_MIN)) {
        return INT_MIN;
    }
    return static_cast<int>(inteira);
}
