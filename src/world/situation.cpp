// Game-situation analysis: nearness to the ball, the solenoid kicker, marking,
// being stuck, the last command's kind, the best pass receiver and how open
// the opponent's goal is, plus the kick kinematics helpers.

#include <algorithm>
#include <cmath>

#include "common/ClientException.h"
#include "common/Logger.h"
#include "geometry/AnguloManager.h"
#include "world/WorldData.h"

namespace {

constexpr double kRecuoArmadoLivre = 37;
// An opponent nearer than this to a point marks it (mm).
constexpr double kDistMarcacao = 90;
// Teammate and opponent at the ball this close are taken as stuck together (mm).
constexpr double kDistPreso = 37;
// Having moved no more than this (mm) over the history while driving is being stuck.
constexpr double kDistAndouPreso = 10;
// Receiver score scales (mm): goal distance for no credit, opponent distance for full credit.
constexpr double kEscalaDistGol = 600;
constexpr double kEscalaDistOponente = 200;
// Goal openness: a robot blocks the view from within these distances (mm).
constexpr double kAlcanceBloqueioCompanheiro = 90;
constexpr double kAlcanceBloqueioOponente = 340;
// Kick model: cycle length (s), mass (kg), gain and force scale.
constexpr double kDt = 0.066;
constexpr double kMassa = 3.3;
constexpr double kGanhoForca = 0.541166;
constexpr double kEscalaForca = 25000;

constexpr const char* kAvisoSemCompanheiros = "WorldData::mr_iAmClosestToBall() vetor de companheiros vazio!";
constexpr const char* kAvisoSemOponentes = "WorldData::mr_iAmClosestToBall() vetor de oponentes vazio!";
constexpr const char* kAvisoTodosVazio = "WorldData::mr_iAmClosestToBall: Vetor de oponentes esta vazio!";

}  // namespace

bool WorldData::mr_iAmClosestToBall(grupos_t grupo_alvo)
{
    const vector_t eu_bola = pv_ball();
    auto distBola = [&eu_bola](const vector_t& outro) { return pv_subtract(eu_bola, outro).length; };

    switch (grupo_alvo) {
    case GRUPO_MEUTIME: {
        const int companheiro_prox = pv_closest_teammate_to_ball();
        if (mr_number_found_teammates() == 0) {
            LOG(log_WARN) << kAvisoSemCompanheiros;
            return true;
        }
        if (companheiro_prox == -1) {
            return true;
        }
        return distBola(pv_teammate(companheiro_prox)) >= eu_bola.length;
    }
    case GRUPO_MEU_TIME_SEM_GOLEIRO: {
        // The teammates whole, less the first one nicknamed as a goalkeeper (if any).
        std::vector<int> uids;
        uids.reserve(mXmlWorldData.mOthers.size());
        bool goleiroTirado = false;
        for (const Agent& agent : mXmlWorldData.mOthers) {
            if (agent.side() != side_TEAMMATE) {
                continue;
            }
            if (!goleiroTirado && agent.nickname() == kNickGoleiro) {
                goleiroTirado = true;
                continue;
            }
            uids.push_back(agent.uid());
        }
        const int tm_uid = mr_closest_from_teammates_to_ball(uids);
        if (tm_uid == -1) {
            return true;
        }
        return distBola(pv_teammate(tm_uid)) >= pv_ball().length;
    }
    case GRUPO_TIMEOPONENTE: {
        const int oponente_prox = pv_closest_opponent_to_ball();
        if (oponente_prox == -1) {
            LOG(log_WARN) << kAvisoSemOponentes;
            return true;
        }
        return distBola(pv_opponent(oponente_prox)) >= eu_bola.length;
    }
    case GRUPO_TODO: {
        const int oponente_prox = pv_closest_opponent_to_ball();
        const int companheiro_prox = pv_closest_teammate_to_ball();
        if (oponente_prox == -1 && companheiro_prox == -1) {
            LOG(log_WARN) << kAvisoTodosVazio;
            return true;
        }
        if (companheiro_prox == -1) {
            return distBola(pv_opponent(oponente_prox)) >= eu_bola.length;
        }
        if (oponente_prox == -1) {
            LOG(log_WARN) << kAvisoTodosVazio;
            return distBola(pv_teammate(companheiro_prox)) > eu_bola.length;
        }
        const double dOponente = distBola(pv_opponent(oponente_prox));
        const double dCompanheiro = distBola(pv_teammate(companheiro_prox));
        if (dOponente >= dCompanheiro) {
            return dCompanheiro > eu_bola.length;
        }
        return dOponente >= eu_bola.length;
    }
    }
    return true;
}

bool WorldData::pv_can_kick()
{
    const vector_t ball = pv_ball();
    if (ball.length > mKickableMargin) {
        if (mEstadoSolenoide == SOLENOIDE_ARMADO || mEstadoSolenoide == SOLENOIDE_EM_CHUTE) {
            setEstadoSolenoide(SOLENOIDE_DESARMADO);
        }
        return false;
    }

    bool estou_marcado = false;
    for (const Agent& agent : mXmlWorldData.mOthers) {
        if (agent.side() == side_OPPONENT && agent.found() &&
            agent.position().position.length < 2 * mKickableMargin) {
            estou_marcado = true;
            break;
        }
    }

    // Not behind the ball, or pressed: the longer reach will do.
    if (mEstadoSolenoide == SOLENOIDE_ARMADO && (getMinhaPosicaoXY().x >= getBolaXY().x || estou_marcado)) {
        mRecuoSolenoide = kRecuoArmadoLivre;
    }
    if (mEstadoSolenoide == SOLENOIDE_DESARMADO) {
        setEstadoSolenoide(SOLENOIDE_ARMADO);
    }
    if (pv_can_solenoide_kick()) {
        if (mEstadoSolenoide == SOLENOIDE_ARMADO) {
            setEstadoSolenoide(SOLENOIDE_EM_CHUTE);
        }
        return true;
    }
    return false;
}

bool WorldData::pv_can_solenoide_kick() const
{
    return pv_ball().length <= mRecuoSolenoide;
}

bool WorldData::isMarcado(vector_t v) const
{
    try {
        const vector_t opponent = pv_opponent(pv_closest_opponent_to(v));
        const posicaoXY opponent_pos = getPosicaoXYdeVetor(opponent);
        const posicaoXY me_pos = getPosicaoXYdeVetor(pv_me());
        const double dist = pv_subtract(v, opponent).length;
        if (mAgentTeam == TEAM_YELLOW) {
            return dist < kDistMarcacao && me_pos.x > opponent_pos.x;
        }
        return dist < kDistMarcacao && opponent_pos.x > me_pos.x;
    } catch (const ClientException&) {
        return false;
    }
}

bool WorldData::isJogadorPertoBolaPreso() const
{
    try {
        const int companheiro = mr_closest_from_teammates_to_ball(mr_found_teammates());
        const int oponente = mr_closest_from_opponents_to_ball(mr_found_opponents());
        return pv_subtract(pv_teammate(companheiro), pv_opponent(oponente)).length <= kDistPreso;
    } catch (const ClientException&) {
        return false;
    }
}

bool WorldData::estouPreso()
{
    if (mUltimasPosicoes.size() <= 1) {
        return false;
    }
    try {
        const posicaoXY atual = getMinhaPosicaoXY();
        const posicaoXY ultima = getUltimaPosicao();
        const double dx = std::fabs(atual.x - ultima.x);
        const double dy = std::fabs(atual.y - ultima.y);
        const double andei = std::sqrt(dx * dx + dy * dy);
        return andei <= kDistAndouPreso && mrUltimoComandoEnviado() != MOV_PARADO;
    } catch (const ClientException&) {
        LOG(log_DEBUG) << "Ocorreu uma excecao enquanto calculava se estou parado.";
        return false;
    }
}

movimento WorldData::mrUltimoComandoEnviado() const
{
    const CommandType& comando = mXmlWorldData.mLastCommand;
    const float vel_esquerda = comando.mLeftVelocity;
    const float vel_direita = comando.mRightVelocity;
    if (vel_esquerda == vel_direita) {
        if (vel_esquerda > 0) {
            return MOV_RETO_FRENTE;
        }
        if (vel_esquerda < 0) {
            return MOV_RETO_TRAS;
        }
        return MOV_PARADO;
    }
    if (vel_esquerda - vel_direita > 0) {
        return MOV_CURVA_DIR;
    }
    if (vel_esquerda - vel_direita < 0) {
        return MOV_CURVA_ESQ;
    }
    return MOV_INDEFINIDO;
}

double WorldData::notaReceptor(double dGol, double dOponente, bool emAtaque, vector_t pontoVista) const
{
    const double fator1 = std::max(0.0, 1 - dGol / kEscalaDistGol);
    const double fator2 = dOponente < 0 ? 0.0 : std::min(1.0, dOponente / kEscalaDistOponente);
    if (!emAtaque) {
        return (2 * fator1 + fator2) / 3;
    }
    const double fator3 = getFatorAberturaGol(pontoVista);
    return (2 * fator1 + fator2 + fator3) / 4;
}

int WorldData::receptor()
{
    int id = pv_my_id();
    double valor = 0;
    const vector_t gol = mrGolAdversario();

    for (const Agent& agent : mXmlWorldData.mOthers) {
        if (agent.side() != side_TEAMMATE || !agent.found() || agent.nickname() == kNickGoleiro) {
            continue;
        }
        const vector_t p = agent.position().position;
        double dOponente = -1;
        try {
            dOponente = pv_subtract(p, pv_opponent(pv_closest_opponent_to(p))).length;
        } catch (const ClientException&) {
        }
        // The zone is judged on the teammate's offset from this robot, as the
        // receiver choice has always done; the tactics are tuned to it.
        const bool emAtaque = getZona(getPosicaoXYdeVetor(p)) == ZONA_ATAQUE;
        const double aux = notaReceptor(pv_subtract(p, gol).length, dOponente, emAtaque, p);
        if (aux > valor) {
            id = agent.uid();
            valor = aux;
        }
    }

    if (mNickName == kNickGoleiro) {
        return id;
    }
    double dOponente = -1;
    try {
        dOponente = pv_opponent(pv_closest_opponent_to(pv_me())).length;
    } catch (const ClientException&) {
    }
    const bool emAtaque = getZona(getMinhaPosicaoXY()) == ZONA_ATAQUE;
    if (notaReceptor(gol.length, dOponente, emAtaque, pv_me()) > valor) {
        id = pv_my_id();
    }
    return id;
}

double WorldData::getFatorAberturaGol(vector_t v) const
{
    const double ang1 = pv_subtract(mrTraveOponenteDireita(), v).angle;
    const double ang2 = pv_subtract(mrTraveOponenteEsquerda(), v).angle;
    const double anguloGol = mrGolAdversario().angle;
    // Bearings that are no numbers leave no window to judge.
    if (!std::isfinite(ang1) || !std::isfinite(ang2) || !std::isfinite(anguloGol)) {
        return 0;
    }
    AnguloManager a(ang1, ang2, anguloGol, true);

    for (const Agent& agent : mXmlWorldData.mOthers) {
        if (agent.side() != side_TEAMMATE || !agent.found()) {
            continue;
        }
        const vector_t doPonto = pv_subtract(agent.position().position, v);
        if (doPonto.length == 0) {
            continue;
        }
        // This robot blocks when the viewpoint is near it but not on it.
        const vector_t euDoPonto = pv_subtract(pv_me(), v);
        if (euDoPonto.length > 0 && euDoPonto.length < kAlcanceBloqueioCompanheiro) {
            a.adicionarObstrucao(euDoPonto);
        }
        if (doPonto.length < kAlcanceBloqueioCompanheiro) {
            a.adicionarObstrucao(doPonto);
        }
    }
    for (const Agent& agent : mXmlWorldData.mOthers) {
        if (agent.side() != side_OPPONENT || !agent.found()) {
            continue;
        }
        const vector_t doPonto = pv_subtract(agent.position().position, v);
        if (doPonto.length < kAlcanceBloqueioOponente) {
            a.adicionarObstrucao(doPonto);
        }
    }

    // A window narrower than one whole degree has no slot at all: nothing is open.
    const int tamanho = a.getTamanho();
    if (tamanho <= 0) {
        return 0;
    }
    return a.getMaiorAbertura() / tamanho;
}

void WorldData::saveLastPosBall()
{
    mLastPosBall = getBolaXY();
}

vector_t WorldData::getVelBall()
{
    const posicaoXY bola = getBolaXY();
    const double dx = bola.x - mLastPosBall.x;
    const double dy = bola.y - mLastPosBall.y;
    return vector_t{std::sqrt(dx * dx + dy * dy), std::atan2(dy, dx)};
}

vector_t WorldData::getVetorVelocidade(double ciclos, vector_t distancia) const
{
    if (!std::isfinite(ciclos)) {
        return vector_t{0, 0};
    }
    const double desaceleracao = 1 - 2 * kDt;
    // Sum over j = 1 .. floor(ciclos) of desaceleracao^(ciclos - j), oldest term first.
    // Terms older than kTermosUteis cycles are below 1e-24 of the newest; stopping
    // there keeps a huge cycle count from looping for ever.
    constexpr double kTermosUteis = 400;
    const double termos = std::min(std::floor(ciclos), kTermosUteis);
    const double fracao = ciclos - std::floor(ciclos);
    double soma = 0;
    for (double k = termos - 1; k >= 0; --k) {
        soma += std::pow(desaceleracao, fracao + k);
    }
    // Under one cycle (or no number) the sum is empty: no velocity covers the distance.
    if (!(soma > 0)) {
        return vector_t{0, 0};
    }
    const double Dx = distancia.length * std::cos(distancia.angle);
    const double Dy = distancia.length * std::sin(distancia.angle);
    const double Vox = Dx / (kDt * soma);
    const double Voy = Dy / (kDt * soma);
    return vector_t{std::sqrt(Vox * Vox + Voy * Voy), std::atan2(Voy, Vox)};
}

vector_t WorldData::getForca(vector_t Vo, vector_t Vf) const
{
    const double ax = (Vf.length * std::cos(Vf.angle) - Vo.length * std::cos(Vo.angle)) / (kDt * kGanhoForca);
    const double ay = (Vf.length * std::sin(Vf.angle) - Vo.length * std::sin(Vo.angle)) / (kDt * kGanhoForca);
    const double Fx = kMassa * ax;
    const double Fy = kMassa * ay;
    return vector_t{std::sqrt(Fx * Fx + Fy * Fy) / kEscalaForca, std::atan2(Fy, Fx)};
}
