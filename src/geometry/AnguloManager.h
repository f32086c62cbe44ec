#pragma once
// Finds the widest free angular gap in a window seen from one viewpoint
// (typically the two goal posts), given the robots that block parts of it.
// Built, fed and queried within a single decision.

#include <array>
#include <vector>

#include "geometry/BasicUtils.h"

/// \brief A blocked sector from angulo1 towards increasing angle up to angulo2 (radians).
typedef struct obstrucao_ {
    double angulo1;
    double angulo2;
} obstrucao;

class AnguloManager {
public:
    /// \brief Mark of a result not yet computed.
    static constexpr double kNaoCalculado = -1000;
    /// \brief Radius (mm) of a robot's body, for the half-width it blocks.
    static constexpr double kRaioRobo = 37;
    /// \brief Most whole-degree slots a window can have (a full turn).
    static constexpr int kMaxSlots = 360;

    /// \brief Sets the window between the two bearings: the arc shorter (menor) or longer
    /// than half a turn; exactly half a turn picks the side holding anguloGol.
    AnguloManager(double angulo1, double angulo2, double anguloGol, bool menor);
    virtual ~AnguloManager() = default;

    /// \brief Adds the sector a robot at `v` blocks, if its bearing lies in the window.
    bool adicionarObstrucao(vector_t v);
    /// \brief Adds the shorter sector between bearings a and b; false if it misses the window.
    bool adicionarObstrucao(double a, double b);

    /// \brief Size of the largest free gap in whole degrees (computed once).
    double getMaiorAbertura();
    /// \brief Bearing (radians) of the centre of the largest free gap (computed once).
    double getCentroMaiorAbertura();
    /// \brief Number of whole-degree slots of the window, 0 to kMaxSlots.
    int getTamanho() const;
    /// \brief Half-width (radians) of the sector a robot at `v` blocks.
    double getProjecaoObstrucao(vector_t v) const;

    /// \brief Clips a normal sector to the window and stores it; false if it misses.
    bool insereObstrucao(obstrucao obs);
    /// \brief Splits a sector through the back direction into (a1, pi) and (-pi, a2).
    std::array<obstrucao, 2> normalizaObstrucao(obstrucao obs) const;
    /// \brief anguloB > anguloA (the window does not pass behind).
    bool isAberturaNormal() const;
    /// \brief obs.angulo2 > obs.angulo1.
    bool isObstrucaoNormal(obstrucao obs) const;
    /// \brief First slot a stored sector covers (may lie outside the window).
    int posInicialVetor(obstrucao obs) const;
    /// \brief Last slot a stored sector covers (may lie outside the window).
    int posFinalVetor(obstrucao obs) const;
    /// \brief Exchanges a and b, logging first.
    void inverteValores(double& a, double& b);

    /// \brief Wraps into [-pi, pi]; NaN for a non-finite angle.
    static double normalizaAngulo(double angulo);
    /// \brief asin clamped: pi/2 at or above 1, -pi/2 at or below -1.
    static double arcoSeno(double seno);
    /// \brief Rounds half away from zero; saturates at the int range, 0 for NaN.
    static int doubleToInt(double d);

    double anguloA;
    double anguloB;
    std::vector<obstrucao> obstrucoes;
    double maiorAbertura;
    double centroAberturaGrau;

private:
    int slotDe(double angulo) const;
};
