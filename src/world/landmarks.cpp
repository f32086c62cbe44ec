// Field landmarks and self-localisation: the observed flags, the field
// measured from them, the known place of every flag in the agent's field
// frame, trilateration of the robot, the ball and any observed point, the
// heading, and the way back from a field point to a robot-relative vector.
//
// Field frame: own goal line at x = -L/2, the opponent's at x = +L/2, origin
// at the centre flag, mm. The yellow frame is the physical one; the blue frame
// is it turned by half a turn. A field bearing t is the direction
// (sin t, -cos t); an observed angle is the object's bearing minus the heading.

#include <cmath>
#include <limits>
#include <string_view>

#include "common/ClientException.h"
#include "common/Logger.h"
#include "geometry/AnguloManager.h"
#include "world/WorldData.h"

namespace {

// Message ids by flag_t value; views so a look-up compares lengths before bytes.
constexpr std::string_view kFlagIds[WorldData::kFlagCount] = {
    "top_left_pole",        "bottom_left_pole",       "top_right_pole",          "bottom_right_pole",
    "top_left_corner",      "bottom_left_corner",     "top_right_corner",        "bottom_right_corner",
    "top_left_goal",        "bottom_left_goal",       "top_right_goal",          "bottom_right_goal",
    "top_left_small_area",  "bottom_left_small_area", "top_right_small_area",    "bottom_right_small_area",
    "top_center",           "middle_center",          "bottom_center",
};

constexpr const char* kFlagAusente = "Logic error in flag request";

// Small-area line, as a fraction of L/2 measured from the centre; it lies
// 0.1527 L/2 inside the goal line.
constexpr double kLinhaAreaPequena = 0.8473;
constexpr double kRecuoAreaPequena = 0.1527;
// Goal-area line as a fraction of L/2 from the centre; its flags' |y| as a
// fraction of W/2, the top pair and the bottom pair.
constexpr double kLinhaGrandeArea = 0.743;
constexpr double kGrandeAreaYTopo = 0.19;
constexpr double kGrandeAreaYFundo = 0.81;

int indiceDaFlag(std::string_view id)
{
    for (std::size_t i = 0; i < WorldData::kFlagCount; ++i) {
        if (id == kFlagIds[i]) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// Where each flag stands in the yellow frame. The corners, centre flags and
// right-hand poles follow their names (top = -y, left = own goal line); the
// left-hand poles stand crosswise, each D from the opposite corner, which the
// goalkeeper's post rule relies on. Each small-area flag shares the y of the
// pole of its name and stands on the small-area line, 0.1527 L/2 inside its
// goal line (for the bottom-left one, and the blue top-left one, nothing else
// fixes the x; the line is the only geometry there is). The goal-area flags
// stand on the goal-area line at 0.743 L/2 from the centre, the top pair at
// y = -0.19 W/2 and the bottom pair at y = +0.81 W/2. The blue frame turns all
// of it by half a turn.
bool posicaoAmarela(flag_t flag, double L, double W, double D, posicaoXY& p)
{
    const double x = L / 2;
    const double y = W / 2;
    switch (flag) {
    case TOP_LEFT_CORNER: p = {-x, -y}; return true;
    case BOTTOM_LEFT_CORNER: p = {-x, y}; return true;
    case TOP_RIGHT_CORNER: p = {x, -y}; return true;
    case BOTTOM_RIGHT_CORNER: p = {x, y}; return true;
    case TOP_LEFT_POLE: p = {-x, y - D}; return true;
    case BOTTOM_LEFT_POLE: p = {-x, -y + D}; return true;
    case TOP_RIGHT_POLE: p = {x, -y + D}; return true;
    case BOTTOM_RIGHT_POLE: p = {x, y - D}; return true;
    case TOP_RIGHT_SMALL_AREA: p = {kLinhaAreaPequena * x, -y + D}; return true;
    case BOTTOM_RIGHT_SMALL_AREA: p = {kLinhaAreaPequena * x, y - D}; return true;
    case TOP_LEFT_SMALL_AREA: p = {-x + kRecuoAreaPequena * x, y - D}; return true;
    case BOTTOM_LEFT_SMALL_AREA: p = {-x + kRecuoAreaPequena * x, -y + D}; return true;
    case TOP_LEFT_GOAL_AREA: p = {-kLinhaGrandeArea * x, -kGrandeAreaYTopo * y}; return true;
    case BOTTOM_LEFT_GOAL_AREA: p = {-kLinhaGrandeArea * x, kGrandeAreaYFundo * y}; return true;
    case TOP_RIGHT_GOAL_AREA: p = {kLinhaGrandeArea * x, -kGrandeAreaYTopo * y}; return true;
    case BOTTOM_RIGHT_GOAL_AREA: p = {kLinhaGrandeArea * x, kGrandeAreaYFundo * y}; return true;
    case TOP_CENTER: p = {0, -y}; return true;
    case CENTER: p = {0, 0}; return true;
    case BOTTOM_CENTER: p = {0, y}; return true;
    }
    return false;
}

// The flag's place in the agent's own frame: blue is yellow turned by half a turn.
bool posicaoNoCampo(flag_t flag, mrTeam time, double L, double W, double D, posicaoXY& p)
{
    if (!posicaoAmarela(flag, L, W, D, p)) {
        return false;
    }
    if (time == TEAM_BLUE) {
        p = posicaoXY{-p.x, -p.y};
    }
    return true;
}

// Wraps into [-pi, pi]; hostile values (infinite, or so large that stepping
// by 2 pi would never end) are reduced first instead of looping.
double normaliza(double angulo)
{
    constexpr double kLimiteLaco = 1e6;
    if (std::fabs(angulo) > kLimiteLaco) {
        angulo = std::fmod(angulo, kTwoPi);
    }
    return AnguloManager::normalizaAngulo(angulo);
}

// [0, 2 pi) by whole turns, reduced first like normaliza.
double paraVoltaPositiva(double angulo)
{
    constexpr double kLimiteLaco = 1e6;
    if (!std::isfinite(angulo)) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    if (std::fabs(angulo) > kLimiteLaco) {
        angulo = std::fmod(angulo, kTwoPi);
    }
    while (angulo >= kTwoPi) {
        angulo -= kTwoPi;
    }
    while (angulo < 0) {
        angulo += kTwoPi;
    }
    return angulo;
}

bool iguais(const posicaoXY& a, const posicaoXY& b)
{
    return a.x == b.x && a.y == b.y;
}

}  // namespace

// --- Observed flags ---

void WorldData::indexFlags()
{
    mCompCampoDaMensagem = mLargCampoDaMensagem = mDistTraveCornerDaMensagem = false;
    mMinhaPosicaoDaMensagem = mBolaDaMensagem = false;
    mFlagSeen.fill(false);
    for (const Flag& flag : mXmlWorldData.mFlags) {
        const int i = indiceDaFlag(flag.mId);
        // The first flag of an id counts, as in the message's own look-up.
        if (i >= 0 && !mFlagSeen[static_cast<std::size_t>(i)]) {
            mFlagSeen[static_cast<std::size_t>(i)] = true;
            mFlagVectors[static_cast<std::size_t>(i)] = mXmlWorldData.getVector(flag);
        }
    }
}

vector_t WorldData::mrFlag(flag_t flag) const
{
    const auto i = static_cast<std::size_t>(flag);
    if (i >= kFlagCount || !mFlagSeen[i]) {
        throw ClientException(kFlagAusente);
    }
    return mFlagVectors[i];
}

vector_t WorldData::mrFlag(const std::string& flagId) const
{
    const int i = indiceDaFlag(flagId);
    if (i >= 0) {
        return mrFlag(static_cast<flag_t>(i));
    }
    return mXmlWorldData.getVector(mXmlWorldData.getFlag(flagId));
}

vector_t WorldData::mrTopLeftPole() const { return mrFlag(TOP_LEFT_POLE); }
vector_t WorldData::mrBottomLeftPole() const { return mrFlag(BOTTOM_LEFT_POLE); }
vector_t WorldData::mrTopRightPole() const { return mrFlag(TOP_RIGHT_POLE); }
vector_t WorldData::mrBottomRightPole() const { return mrFlag(BOTTOM_RIGHT_POLE); }
vector_t WorldData::mrTopLeftCorner() const { return mrFlag(TOP_LEFT_CORNER); }
vector_t WorldData::mrBottomLeftCorner() const { return mrFlag(BOTTOM_LEFT_CORNER); }
vector_t WorldData::mrTopRightCorner() const { return mrFlag(TOP_RIGHT_CORNER); }
vector_t WorldData::mrBottomRightCorner() const { return mrFlag(BOTTOM_RIGHT_CORNER); }
vector_t WorldData::mrTopLeftGoalArea() const { return mrFlag(TOP_LEFT_GOAL_AREA); }
vector_t WorldData::mrBottomLeftGoalArea() const { return mrFlag(BOTTOM_LEFT_GOAL_AREA); }
vector_t WorldData::mrTopRightGoalArea() const { return mrFlag(TOP_RIGHT_GOAL_AREA); }
vector_t WorldData::mrBottomRightGoalArea() const { return mrFlag(BOTTOM_RIGHT_GOAL_AREA); }
vector_t WorldData::mrTopLeftSmallArea() const { return mrFlag(TOP_LEFT_SMALL_AREA); }
vector_t WorldData::mrBottomLeftSmallArea() const { return mrFlag(BOTTOM_LEFT_SMALL_AREA); }
vector_t WorldData::mrTopRightSmallArea() const { return mrFlag(TOP_RIGHT_SMALL_AREA); }
vector_t WorldData::mrBottomRightSmallArea() const { return mrFlag(BOTTOM_RIGHT_SMALL_AREA); }
vector_t WorldData::mrTopCenter() const { return mrFlag(TOP_CENTER); }
vector_t WorldData::mrMiddleField() const { return mrFlag(CENTER); }
vector_t WorldData::mrBottomCenter() const { return mrFlag(BOTTOM_CENTER); }

// --- Team-aware flags ---

vector_t WorldData::mrMinhaTraveEsquerda() const
{
    return mAgentTeam == TEAM_BLUE ? mrBottomRightPole() : mrTopLeftPole();
}

vector_t WorldData::mrMinhaTraveDireita() const
{
    return mAgentTeam == TEAM_BLUE ? mrTopRightPole() : mrBottomLeftPole();
}

vector_t WorldData::mrTraveOponenteEsquerda() const
{
    return mAgentTeam == TEAM_BLUE ? mrBottomLeftPole() : mrTopRightPole();
}

vector_t WorldData::mrTraveOponenteDireita() const
{
    return mAgentTeam == TEAM_BLUE ? mrTopLeftPole() : mrBottomRightPole();
}

vector_t WorldData::mrEscanteioDefesaEsquerda() const
{
    return mAgentTeam == TEAM_BLUE ? mrBottomRightCorner() : mrTopLeftCorner();
}

vector_t WorldData::mrEscanteioDefesaDireita() const
{
    return mAgentTeam == TEAM_BLUE ? mrTopRightCorner() : mrBottomLeftCorner();
}

vector_t WorldData::mrEscanteioAtaqueEsquerda() const
{
    return mAgentTeam == TEAM_BLUE ? mrBottomLeftCorner() : mrTopRightCorner();
}

vector_t WorldData::mrEscanteioAtaqueDireita() const
{
    return mAgentTeam == TEAM_BLUE ? mrTopLeftCorner() : mrBottomRightCorner();
}

vector_t WorldData::mrCentroEsquerda() const
{
    return mAgentTeam == TEAM_BLUE ? mrBottomCenter() : mrTopCenter();
}

vector_t WorldData::mrCentroDireita() const
{
    return mAgentTeam == TEAM_BLUE ? mrTopCenter() : mrBottomCenter();
}

vector_t WorldData::mrCentro() const
{
    return mrMiddleField();
}

vector_t WorldData::mrGolAdversario() const
{
    return pv_scale(pv_sum(mrTraveOponenteEsquerda(), mrTraveOponenteDireita()), 0.5);
}

vector_t WorldData::mrMeuGol() const
{
    return pv_scale(pv_sum(mrMinhaTraveEsquerda(), mrMinhaTraveDireita()), 0.5);
}

// --- Field measures ---

double WorldData::compCampo()
{
    if (!pv_i_am_lost() && !mCompCampoDaMensagem) {
        mCompCampo = pv_subtract(mrTopRightCorner(), mrTopLeftCorner()).length;
        mCompCampoDaMensagem = true;
    }
    return mCompCampo;
}

double WorldData::largCampo()
{
    if (!pv_i_am_lost() && !mLargCampoDaMensagem) {
        mLargCampo = pv_subtract(mrBottomLeftCorner(), mrTopLeftCorner()).length;
        mLargCampoDaMensagem = true;
    }
    return mLargCampo;
}

double WorldData::distTraveCorner()
{
    if (!pv_i_am_lost() && !mDistTraveCornerDaMensagem) {
        mDistTraveCorner = pv_subtract(mrTopLeftPole(), mrTopLeftCorner()).length;
        mDistTraveCornerDaMensagem = true;
    }
    return mDistTraveCorner;
}

// --- Field positions ---

posicaoXY WorldData::mrFlagXY(flag_t flag)
{
    const double L = compCampo();
    const double W = largCampo();
    const double D = distTraveCorner();
    posicaoXY p{0, 0};
    if (!posicaoNoCampo(flag, mAgentTeam, L, W, D, p)) {
        LOG(log_WARN) << "Flag unknown! WARNING!";
        return posicaoXY{0, 0};
    }
    return p;
}

posicaoXY WorldData::mrTopLeftPoleXY() { return mrFlagXY(TOP_LEFT_POLE); }
posicaoXY WorldData::mrBottomLeftPoleXY() { return mrFlagXY(BOTTOM_LEFT_POLE); }
posicaoXY WorldData::mrTopRightPoleXY() { return mrFlagXY(TOP_RIGHT_POLE); }
posicaoXY WorldData::mrBottomRightPoleXY() { return mrFlagXY(BOTTOM_RIGHT_POLE); }
posicaoXY WorldData::mrTopLeftCornerXY() { return mrFlagXY(TOP_LEFT_CORNER); }
posicaoXY WorldData::mrBottomLeftCornerXY() { return mrFlagXY(BOTTOM_LEFT_CORNER); }
posicaoXY WorldData::mrTopRightCornerXY() { return mrFlagXY(TOP_RIGHT_CORNER); }
posicaoXY WorldData::mrBottomRightCornerXY() { return mrFlagXY(BOTTOM_RIGHT_CORNER); }
posicaoXY WorldData::mrTopCenterXY() { return mrFlagXY(TOP_CENTER); }
posicaoXY WorldData::mrMiddleFieldXY() { return mrFlagXY(CENTER); }
posicaoXY WorldData::mrBottomCenterXY() { return mrFlagXY(BOTTOM_CENTER); }

posicaoXY WorldData::trilatera(double rBL, double rBR, double rTC)
{
    // One measurement serves the three centres; mrFlagXY would repeat it per flag.
    const double L = compCampo();
    const double W = largCampo();
    const double D = distTraveCorner();
    posicaoXY cantoEsq{0, 0};
    posicaoXY cantoDir{0, 0};
    posicaoXY centroTopo{0, 0};
    posicaoNoCampo(BOTTOM_LEFT_CORNER, mAgentTeam, L, W, D, cantoEsq);
    posicaoNoCampo(BOTTOM_RIGHT_CORNER, mAgentTeam, L, W, D, cantoDir);
    posicaoNoCampo(TOP_CENTER, mAgentTeam, L, W, D, centroTopo);

    posicaoXY p1{0, 0};
    posicaoXY p2{0, 0};
    posicaoXY p3{0, 0};
    posicaoXY p4{0, 0};
    const int intersecoes = getIntersectionPointsCircle(cantoEsq, cantoDir, rBL, rBR, p1, p2);
    const int intersecoes2 = getIntersectionPointsCircle(cantoEsq, centroTopo, rBL, rTC, p3, p4);
    if (intersecoes == 1) {
        return p1;
    }
    if (intersecoes2 == 1) {
        return p3;
    }
    if (iguais(p1, p3) || iguais(p1, p4)) {
        return p1;
    }
    // With the bottom corners as centres p2 is the solution on the field's side.
    return p2;
}

posicaoXY WorldData::getMinhaPosicaoXY()
{
    if (!mMinhaPosicaoDaMensagem) {
        mMinhaPosicao = trilatera(mrBottomLeftCorner().length, mrBottomRightCorner().length, mrTopCenter().length);
        mMinhaPosicaoDaMensagem = true;
    }
    return mMinhaPosicao;
}

posicaoXY WorldData::getBolaXY()
{
    if (!mBolaDaMensagem) {
        mBolaXY = getPontoXYGlobal(pv_ball());
        mBolaDaMensagem = true;
    }
    return mBolaXY;
}

posicaoXY WorldData::getPontoXYGlobal(vector_t vetorParaDestino)
{
    return trilatera(pv_subtract(mrBottomLeftCorner(), vetorParaDestino).length,
                     pv_subtract(mrBottomRightCorner(), vetorParaDestino).length,
                     pv_subtract(mrTopCenter(), vetorParaDestino).length);
}

double WorldData::getAgentOrientation()
{
    const posicaoXY posAgente = getMinhaPosicaoXY();
    const vector_t vetorCentroGol = mrGolAdversario();
    const posicaoXY pontoCentroGol = getPontoXYGlobal(vetorCentroGol);

    const double hipotenusa = vetorCentroGol.length;
    const double catetoO = std::fabs(posAgente.x - pontoCentroGol.x);
    // Standing on the goal's midpoint leaves no direction: take the bearing straight ahead.
    const double seno = hipotenusa > 0 ? catetoO / hipotenusa : 0;
    double alfa = AnguloManager::arcoSeno(seno);
    if (getLado() == LADO_ESQUERDO) {
        alfa = kPi - alfa;
    }
    return normaliza(alfa - vetorCentroGol.angle);
}

vector_t WorldData::getVectorFromAgentTo(posicaoXY destino)
{
    const posicaoXY pos_agente = getMinhaPosicaoXY();
    if (pv_i_am_lost()) {
        LOG(log_DEBUG) << "Agent " << mNickName << " is lost.";
        return mrCentro();
    }
    const double catetoO = std::fabs(destino.x - pos_agente.x);
    const double catetoA = std::fabs(destino.y - pos_agente.y);
    const double hipotenusa = std::sqrt(catetoO * catetoO + catetoA * catetoA);
    // A target on the robot itself has no direction; 0/0 must not become the bearing.
    double angulo = AnguloManager::arcoSeno(hipotenusa > 0 ? catetoO / hipotenusa : 0);

    const bool aFrente = destino.x >= pos_agente.x;
    const bool atras = destino.x <= pos_agente.x;
    if (aFrente && destino.y <= pos_agente.y) {
        // bearing already in [0, pi/2]
    } else if (aFrente && destino.y >= pos_agente.y) {
        angulo = kPi - angulo;
    } else if (atras && destino.y <= pos_agente.y) {
        angulo = -angulo;
    } else if (atras && destino.y >= pos_agente.y) {
        angulo = angulo - kPi;
    }
    return vector_t{hipotenusa, normaliza(angulo - getAgentOrientation())};
}

double WorldData::orientation(int agente_ID)
{
    if (agente_ID == pv_my_id()) {
        const posicaoXY robo = getPontoXYGlobal(pv_me());
        const vector_t vetorCentro = mrCentro();
        const posicaoXY centro = getPontoXYGlobal(vetorCentro);
        const double alfa = mAgentTeam == TEAM_BLUE ? std::atan2(robo.y - centro.y, robo.x - centro.x)
                                                    : std::atan2(centro.y - robo.y, centro.x - robo.x);
        return paraVoltaPositiva(alfa - vetorCentro.angle);
    }
    for (const Agent& agent : mXmlWorldData.mOthers) {
        if (agent.uid() == agente_ID) {
            return agent.found() ? static_cast<double>(agent.position().orientation) : 0.0;
        }
    }
    return 0.0;
}

ladoT WorldData::getLado() const
{
    return mrCentroDireita().length > mrCentroEsquerda().length ? LADO_ESQUERDO : LADO_DIREITO;
}

posicaoXY WorldData::normalizaPosicao(posicaoXY posicao) const
{
    return posicaoXY{menor(maior(posicao.x, getXminimo()), getXmaximo()),
                     menor(maior(posicao.y, getYminimo()), getYmaximo())};
}
