// Role behaviours: the decision trees run once per cycle. Each ends in one
// primitive or ball action; the control loop then sends the command.

#include <algorithm>
#include <limits>
#include <vector>

#include "behaviour/BasicPlayer.h"
#include "common/ClientException.h"
#include "common/Logger.h"
#include "world/WorldData.h"

namespace {

// A teammate this near the ball (mm, strict) has it under control.
constexpr double kControlDistance = 37.0;
// The receiver keeps its attacking spot only while the ball is farther than this.
constexpr double kReceiverBallDistance = 37.0;
constexpr double kPushStrength = 0.2;
constexpr double kPostKickStrength = 0.2;
// The goalkeeper leaves its spot for a ball this near while the nearest
// opponent to the ball is farther than the guard distance (mm, strict).
constexpr double kKeeperOwnBallReach = 60.0;
constexpr double kKeeperOwnBallGuard = 110.0;
constexpr double kKeeperLooseBallReach = 80.0;
constexpr double kKeeperLooseBallGuard = 150.0;
constexpr double kPenaltyReachMargin = 60.0;

const char* const kGoalkeeperNick = "GO";

// What the closest-robot lookups answer when nobody of that side is seen.
constexpr int kNobodySeen = -1;
// A robot that is not seen counts as infinitely far from everything.
constexpr double kUnseenDistance = std::numeric_limits<double>::infinity();

// Distance from teammate `uid` to the robot-relative point `ponto`.
double teammateDistance(const WorldData& w, int uid, const vector_t& ponto)
{
    return uid == kNobodySeen ? kUnseenDistance : pv_subtract(w.pv_teammate(uid), ponto).length;
}

// Distance from opponent `uid` to the robot-relative point `ponto`.
double opponentDistance(const WorldData& w, int uid, const vector_t& ponto)
{
    return uid == kNobodySeen ? kUnseenDistance : pv_subtract(w.pv_opponent(uid), ponto).length;
}

// Distance from this robot to opponent `uid`.
double opponentRange(const WorldData& w, int uid)
{
    return uid == kNobodySeen ? kUnseenDistance : w.pv_opponent(uid).length;
}

}  // namespace

int BasicPlayer::estado_agent()
{
    WorldData& w = world();
    if (w.pv_can_kick()) {
        return ESTOU_COM_BOLA;
    }
    const vector_t bola = w.pv_ball();
    const double dT = teammateDistance(w, w.pv_closest_teammate_to_ball(), bola);
    const double dO = opponentDistance(w, w.pv_closest_opponent_to_ball(), bola);
    if (dT < dO && dT < kControlDistance) {
        return MEU_TIME_COM_BOLA;
    }
    if (dT > dO) {
        return TIME_ADVERSARIO_COM_BOLA;
    }
    return PENALTY;
}

void BasicPlayer::empurrarParaFrente(double orientacao)
{
    LOG(log_DEBUG) << "Decidi carregar a bola.";
    // The heading is measured in the yellow frame, so blue pushes the other way.
    if (mTeam == TEAM_BLUE) {
        pv_kick(kPi - orientacao, kPushStrength);
    } else {
        pv_kick(-orientacao, kPushStrength);
    }
}

void BasicPlayer::jogador()
{
    WorldData& w = world();
    const posicaoXY posicao = w.getMinhaPosicaoXY();
    const double orientacao = w.orientation(w.pv_my_id());

    if (w.pv_can_kick()) {
        if (w.isAgenteZonaChuteAGol()) {
            kickToGoal();
            return;
        }
        switch (w.getZona(posicao)) {
        case ZONA_ATAQUE: {
            const int r = w.receptor();
            if (r == w.pv_my_id()) {
                empurrarParaFrente(orientacao);
            } else if (!w.isMarcado(w.pv_teammate(r))) {
                passe(r);
            } else {
                // Receiver covered: a soft kick towards the nearer post.
                const vector_t esquerda = w.mrTraveOponenteEsquerda();
                const vector_t direita = w.mrTraveOponenteDireita();
                if (esquerda.length >= direita.length) {
                    pv_kick(direita.angle, kPostKickStrength);
                } else {
                    pv_kick(esquerda.angle, kPostKickStrength);
                }
            }
            break;
        }
        case ZONA_DEFESA:
            clearBall();
            break;
        case ZONA_MEIOCAMPO:
            if (w.isMarcado(w.pv_me())) {
                passe();
            } else {
                empurrarParaFrente(orientacao);
            }
            break;
        default:
            kickToGoal();
            break;
        }
        return;
    }

    if (w.mr_iAmClosestToBall(GRUPO_MEU_TIME_SEM_GOLEIRO)) {
        pv_go_to(w.pv_ball());
    } else if (w.isJogadorPertoBolaPreso()) {
        // A teammate is stuck with an opponent at the ball: the next nearest
        // player goes to help, the others keep their positions.
        try {
            const int preso = w.mr_closest_from_teammates_to_ball(w.mr_found_teammates());
            std::vector<int> candidatos = w.mr_found_teammates();
            const int eu = w.worldState().Me().uid();
            candidatos.push_back(eu);
            const auto it = std::find(candidatos.begin(), candidatos.end(), preso);
            if (it != candidatos.end()) {
                candidatos.erase(it);
            }
            if (w.mr_closest_from_teammates_to_ball(candidatos) == eu) {
                pv_go_to(w.pv_ball());
            } else {
                pv_go_to(w.posEstrategica());
            }
        } catch (const ClientException&) {
            pv_go_to(w.posEstrategica());
        }
    } else if (w.estouPreso() && !w.mr_iAmClosestToBall(GRUPO_MEUTIME)) {
        tentaSeSoltar();
    } else if (w.pv_my_id() == w.receptor()) {
        receptor();
    } else {
        pv_go_to(w.posEstrategica());
    }
}

void BasicPlayer::receptor()
{
    WorldData& w = world();
    const int maisPerto = w.pv_closest_teammate_to_ball();
    // With no teammate seen there is nobody to receive from: keep the strategic position.
    if (maisPerto == kNobodySeen) {
        pv_go_to(w.posEstrategica());
        return;
    }
    const posicaoXY maisPertoXY = w.getPontoXYGlobal(w.pv_teammate(maisPerto));
    const int estado = estado_agent();
    if (w.getZona(maisPertoXY) == ZONA_ATAQUE && estado == MEU_TIME_COM_BOLA &&
        w.pv_ball().length > kReceiverBallDistance) {
        pv_go_to(w.posEstrategicaReceptor());
    } else {
        pv_go_to(w.posEstrategica());
    }
}

void BasicPlayer::goleiro()
{
    WorldData& w = world();
    const vector_t bola = w.pv_ball();
    const vector_t posicao = w.posEstrategicaGoleiro();
    const int estado = estado_agent();

    if (w.pv_can_kick()) {
        if (mBuild.goalkeeperUnguarded || w.mr_number_found_teammates() > 0) {
            const int c = w.pv_closest_teammate_to(w.pv_me());
            if (c == kNobodySeen) {
                // No teammate seen to pass to (only the unguarded build gets here).
                clearBall();
            } else if (!w.isMarcado(w.pv_teammate(c))) {
                passe(c);
            } else {
                const int d = w.pv_closest_teammate_to_teammate(c);
                if (w.isMarcado(w.pv_teammate(d))) {
                    clearBall();
                } else {
                    passe(d);
                }
            }
        } else {
            clearBall();
        }
        return;
    }

    // Leave the goal only for a near ball whose nearest opponent is far away.
    const double guarda = opponentRange(w, w.mr_closest_from_opponents_to_ball(w.mr_found_opponents()));
    bool saiNaBola = false;
    if (estado == MEU_TIME_COM_BOLA) {
        saiNaBola = (mBuild.goalkeeperUnguarded || w.mr_number_found_opponents() > 0) &&
                    bola.length < kKeeperOwnBallReach && guarda > kKeeperOwnBallGuard;
    } else {
        saiNaBola = bola.length < kKeeperLooseBallReach && guarda > kKeeperLooseBallGuard;
    }
    pv_go_to_goleiro(saiNaBola ? bola : posicao);
}

void BasicPlayer::penalty()
{
    WorldData& w = world();
    if (w.nickname() == kGoalkeeperNick) {
        if (!ICanGoToBall(kPenaltyReachMargin)) {
            goleiro();
        } else if (w.pv_can_kick()) {
            // The clearance is overwritten at once: only the second command is sent.
            clearBall();
            pv_go_to_goleiro(w.posEstrategica());
        } else {
            pv_go_to_goleiro(w.pv_ball());
        }
        return;
    }
    if (w.pv_can_kick()) {
        kickToGoal();
    } else {
        pv_go_to(w.pv_ball());
    }
}
