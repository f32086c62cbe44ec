// Ball actions: where and how hard to kick (shot, clearance, pass), whether to
// race for the ball, getting unstuck and dribbling. Each ends in one command.
// Aiming goes through AnguloManager: a window of bearings, the nearby robots
// entered as obstructions, the kick at the centre of the widest free gap.

#include <algorithm>
#include <cmath>
#include <iostream>
#include <string>
#include <vector>

#include "behaviour/BasicPlayer.h"
#include "common/ClientException.h"
#include "common/Logger.h"
#include "geometry/AnguloManager.h"
#include "world/Movimento.h"
#include "world/WorldData.h"

namespace {

constexpr double kShotStrength = 1.0;
constexpr double kClearStrength = 1.0;
constexpr double kDribbleStrength = 0.55;
// Shot targets sit just inside the posts: 1 mm beyond the line, 5 mm in.
constexpr double kGoalTargetDepth = 1.0;
constexpr double kGoalTargetInset = 5.0;
// With the mouth crowded, a gap centred further off than this is still worth a shot.
constexpr double kMinShotGapCentre = 0.16;
// Only robots this near block a clearance or a pass (mm, strict).
constexpr double kTeammateBlockRange = 90.0;
constexpr double kOpponentBlockRange = 340.0;
// Strength of a pass whose length cannot be scaled by the goal-area depth.
constexpr double kFallbackPassStrength = 1.0;
// The message's max_agent is untrusted: never scan more uids than this.
constexpr int kMaxScannedUids = 256;

const char* const kGoalkeeperNickWithBlank = "GO ";

// Adds the robots of `uids` nearer than `range` to the window.
template <typename Lookup>
void obstruirProximos(AnguloManager& abertura, const std::vector<int>& uids, double range, Lookup lookup)
{
    for (const int uid : uids) {
        const vector_t robo = lookup(uid);
        if (robo.length < range) {
            abertura.adicionarObstrucao(robo);
        }
    }
}

}  // namespace

void BasicPlayer::kickToGoal()
{
    WorldData& w = world();
    const vector_t traveDireita = w.mrTraveOponenteDireita();
    const vector_t traveEsquerda = w.mrTraveOponenteEsquerda();
    posicaoXY alvo_dir = w.getPontoXYGlobal(traveDireita);
    alvo_dir.x += kGoalTargetDepth;
    alvo_dir.y -= kGoalTargetInset;
    posicaoXY alvo_esq = w.getPontoXYGlobal(traveEsquerda);
    alvo_esq.x += kGoalTargetDepth;
    alvo_esq.y += kGoalTargetInset;
    const vector_t ponto_gol_dir = w.getVectorFromAgentTo(alvo_dir);
    const vector_t ponto_gol_esq = w.getVectorFromAgentTo(alvo_esq);
    const double anguloGol = w.mrGolAdversario().angle;

    AnguloManager abertura(ponto_gol_dir.angle, ponto_gol_esq.angle, anguloGol, true);
    const std::string nick = w.nickname();

    for (const int uid : w.mr_found_teammates()) {
        try {
            const vector_t companheiro = w.pv_teammate(uid);
            LOG(log_DEBUG) << nick << "Encontrei um companheiro obstruindo.";
            abertura.adicionarObstrucao(companheiro);
        } catch (const ClientException&) {
            static const char* const kTexto = " Excecao: Nenhum companheiro encontrado no kickToGoal!";
            LOG(log_WARN) << kTexto;
            std::cout << kTexto << std::endl;
        }
    }

    int oponentesNoGol = 0;
    bool esquerdaMarcada = false;
    bool direitaMarcada = false;
    for (const int uid : w.mr_found_opponents()) {
        try {
            const vector_t oponente = w.pv_opponent(uid);
            LOG(log_DEBUG) << nick << " Encontrei um oponente obstruindo.";
            abertura.adicionarObstrucao(oponente);
            const double a = oponente.angle;
            if (traveEsquerda.angle < a && a < traveDireita.angle) {
                ++oponentesNoGol;
                if (a < anguloGol) {
                    esquerdaMarcada = true;
                } else if (a > anguloGol) {
                    direitaMarcada = true;
                }
            }
        } catch (const ClientException&) {
            static const char* const kTexto = " Excecao: oponente não encontrado no kickToGoal!";
            LOG(log_WARN) << kTexto;
            std::cout << kTexto << std::endl;
        }
    }

    const double centro = abertura.getCentroMaiorAbertura();
    const posicaoXY eu = w.getMinhaPosicaoXY();
    if (oponentesNoGol == 0) {
        if (alvo_esq.y <= eu.y && eu.y <= alvo_dir.y) {
            // Straight down the field axis onto the goal line.
            const posicaoXY naLinha{alvo_esq.x, eu.y};
            pv_kick(w.getVectorFromAgentTo(naLinha).angle, kShotStrength);
        } else if (eu.y < alvo_esq.y) {
            pv_kick(ponto_gol_esq.angle, kShotStrength);
        } else {
            pv_kick(ponto_gol_dir.angle, kShotStrength);
        }
    } else if (oponentesNoGol == 1 && direitaMarcada) {
        pv_kick(ponto_gol_esq.angle, kShotStrength);
    } else if (oponentesNoGol == 1 && esquerdaMarcada) {
        pv_kick(ponto_gol_dir.angle, kShotStrength);
    } else if (centro > kMinShotGapCentre) {
        pv_kick(centro, kShotStrength);
    } else {
        passe();
    }
}

void BasicPlayer::clearBall()
{
    WorldData& w = world();
    switch (w.getZona(w.getMinhaPosicaoXY())) {
    case ZONA_ATAQUE:
        // Never clear away from the opponent goal: keep the previous command.
        break;
    case ZONA_DEFESA:
        clearBall(w.mrTopCenter().angle, w.mrBottomCenter().angle);
        break;
    default:
        clearBall(w.mrEscanteioAtaqueDireita().angle, w.mrEscanteioAtaqueEsquerda().angle);
        break;
    }
}

void BasicPlayer::clearBall(double ang1, double ang2)
{
    WorldData& w = world();
    AnguloManager abertura(ang1, ang2, w.mrGolAdversario().angle, true);
    obstruirProximos(abertura, w.mr_found_teammates(), kTeammateBlockRange,
                     [&w](int uid) { return w.pv_teammate(uid); });
    obstruirProximos(abertura, w.mr_found_opponents(), kOpponentBlockRange,
                     [&w](int uid) { return w.pv_opponent(uid); });
    pv_kick(abertura.getCentroMaiorAbertura(), kClearStrength);
}

void BasicPlayer::passe()
{
    passe(world().receptor());
}

void BasicPlayer::passe(int receptor_ID)
{
    WorldData& w = world();
    vector_t receptor;
    try {
        receptor = w.pv_teammate(receptor_ID);
    } catch (const ClientException&) {
        receptor = w.pv_me();
    }

    const posicaoXY m = w.getPontoXYGlobal(w.pv_me());
    const vector_t golAdversario = w.mrGolAdversario();
    const vector_t traveEsquerda = w.mrTraveOponenteEsquerda();
    const vector_t traveDireita = w.mrTraveOponenteDireita();
    const posicaoXY traveEsqXY = w.getPontoXYGlobal(traveEsquerda);
    const posicaoXY traveDirXY = w.getPontoXYGlobal(traveDireita);
    const posicaoXY receptorXY = w.getPontoXYGlobal(receptor);

    // acos of a value outside [-1, 1] is NaN, which fails the comparison
    // below and so opens the window towards the receiver from the left post.
    const double G = golAdversario.length;
    const double alfa = std::acos((m.x - traveEsqXY.x) / G);
    const double beta = std::acos((m.x - traveDirXY.x) / G);
    const double media = (alfa + beta) / 2;
    const double angReceptorPolar = std::acos((m.x - receptorXY.x) / receptor.length);

    double ACB1 = traveEsquerda.angle;
    double ACB2 = traveDireita.angle;
    if (angReceptorPolar >= media) {
        ACB2 = receptor.angle;
    } else {
        ACB1 = receptor.angle;
    }

    AnguloManager abertura(ACB1, ACB2, golAdversario.angle, true);
    obstruirProximos(abertura, w.mr_found_teammates(), kTeammateBlockRange,
                     [&w](int uid) { return w.pv_teammate(uid); });
    obstruirProximos(abertura, w.mr_found_opponents(), kOpponentBlockRange,
                     [&w](int uid) { return w.pv_opponent(uid); });
    const double c = abertura.getCentroMaiorAbertura();

    // Strength: the length of the kick's line up to the receiver's line to the
    // goal, in units of the goal area's depth.
    const double o = w.orientation(w.pv_my_id());
    const double anguloUM = c + o;
    const double anguloDOIS = o + pv_subtract(golAdversario, receptor).angle;
    const double alfa1 = std::fabs(kPi - anguloUM);
    const double beta1 = std::fabs(kPi - anguloDOIS);
    const double tetha = alfa1 + beta1;
    const double x = std::fabs(c - receptor.angle);
    const double d = std::fabs(receptor.length * std::sin(x) / std::sin(tetha));

    const posicaoXY areaGol = w.getPontoXYGlobal(w.mrTopRightGoalArea());
    const posicaoXY trave = w.getPontoXYGlobal(w.mrTopRightPole());
    // Truncated in floating point: an int conversion of a hostile value is undefined.
    const double dist_linha_fundo = std::trunc(std::fabs(areaGol.x - trave.x));

    double forca = kFallbackPassStrength;
    if (std::isfinite(dist_linha_fundo) && dist_linha_fundo != 0.0) {
        forca = d / dist_linha_fundo;
    } else {
        LOG(log_DEBUG) << "Profundidade da area desconhecida; passe com forca " << forca;
    }
    pv_kick(c, forca);
}

bool BasicPlayer::ICanGoToBall(double dist)
{
    WorldData& w = world();
    const vector_t bola = w.pv_ball();
    const vector_t oponenteBola = pv_subtract(w.pv_opponent(w.pv_closest_opponent_to_ball()), bola);
    const double dO = oponenteBola.length;
    const double b = bola.length;
    try {
        const int t = w.pv_closest_teammate_to_ball();
        const double dT = pv_subtract(w.pv_teammate(t), bola).length;
        LOG(log_DEBUG) << dO << " " << radToDeg(oponenteBola.angle) << " " << b << " " << radToDeg(bola.angle);
        if (b + dist > dO) {
            return false;
        }
        return t == -1 || dT > b;
    } catch (const ClientException&) {
        return b + dist <= dO;
    }
}

void BasicPlayer::tentaSeSoltar()
{
    WorldData& w = world();
    if (w.mrUltimoComandoEnviado() == MOV_CHUTE) {
        return;
    }
    const CommandType& ultimo = w.worldState().mLastCommand;
    pv_set_velocity(-ultimo.mLeftVelocity, -ultimo.mRightVelocity);
}

void BasicPlayer::carregar(vector_t destino)
{
    WorldData& w = world();
    const std::string nick = w.nickname();
    if (!w.pv_can_kick()) {
        const vector_t bola = w.pv_ball();
        LOG(log_DEBUG) << nick << " indo para a bola: " << "vetor pra bola: " << bola;
        // The blank is part of the compared text: the goalkeeper "GO" dribbles
        // with the field player's law.
        if (nick == kGoalkeeperNickWithBlank) {
            pv_go_to_goleiro(bola);
        } else {
            pv_go_to(bola);
        }
        return;
    }

    vector_t primeiro;
    vector_t segundo;
    switch (w.getZona(w.getMinhaPosicaoXY())) {
    case ZONA_DEFESA:
        primeiro = w.mrCentroDireita();
        segundo = w.mrCentroEsquerda();
        break;
    case ZONA_MEIOCAMPO:
        primeiro = w.mrEscanteioAtaqueDireita();
        segundo = w.mrEscanteioAtaqueEsquerda();
        break;
    default:
        primeiro = w.mrTraveOponenteDireita();
        segundo = w.mrTraveOponenteEsquerda();
        break;
    }

    try {
        AnguloManager abertura(primeiro.angle, segundo.angle, destino.angle, true);
        const int ultimoUid = std::min(w.maxAgents(), kMaxScannedUids);
        for (int i = 0; i < ultimoUid; ++i) {
            if (w.uidOpponentExists(i)) {
                abertura.adicionarObstrucao(w.pv_opponent(i));
            }
        }
        pv_kick(abertura.getCentroMaiorAbertura(), kDribbleStrength);
    } catch (const ClientException&) {
        LOG(log_DEBUG) << "Nenhum oponente encontrado";
        LOG(log_DEBUG) << nick << " indo para o destino: " << "vetor pra destino: " << destino;
        pv_kick(destino.angle, kDribbleStrength);
    }
}
