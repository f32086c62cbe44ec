// Tactical positioning: the base position and playing rectangle, the zones
// along the field, and where the field player, the goalkeeper, a pass
// receiver, a marker and a defender should stand. Positions are worked out
// in the field frame and handed out as robot-relative vectors.

#include <cmath>

#include "common/ClientException.h"
#include "common/Logger.h"
#include "world/WorldData.h"

namespace {

// Fraction of L/2 from the centre at which the midfield zone ends.
constexpr double kFracaoMeioCampo = 0.25;
// The goalkeeper leaves its base only for a ball nearer than this (mm).
constexpr double kBolaPertoGoleiro = 200;
// Offset (mm) of the goalkeeper's spot from the goal line and from a post.
constexpr double kRecuoGoleiro = 25;
// A receiver comes no nearer than this (mm) to the opponent's goal line.
constexpr double kMargemLinhaGol = 50;
// Within this distance (mm) of the own goal the penalty keeper goes for the ball.
constexpr double kBolaNoGolPenalty = 80;
// The defender stands this far (mm) in front of the small-area line ...
constexpr double kAvancoZagueiro = 37;
// ... and this far (mm) across the middle when the ball is out wide.
constexpr double kDesvioZagueiro = 30;

}  // namespace

void WorldData::setPosBase()
{
    const double comp_campo = compCampo();
    const double larg_campo = largCampo();
    mPosBase.x = mProporcaoPosBaseX * comp_campo - comp_campo / 2;
    mPosBase.y = mProporcaoPosBaseY * larg_campo - larg_campo / 2;
    mXmaximo = mProporcaoXmaximo * comp_campo - comp_campo / 2;
    mXminimo = mProporcaoXminimo * comp_campo - comp_campo / 2;
    mYmaximo = mProporcaoYmaximo * larg_campo - larg_campo / 2;
    mYminimo = mProporcaoYminimo * larg_campo - larg_campo / 2;
    mPosBaseSetted = true;
}

posicaoXY WorldData::getPosBase() const
{
    if (!mPosBaseSetted) {
        LOG(log_WARN) << "WARNING! Tried to retrieve posBase before setting it!";
    }
    return mPosBase;
}

zonaEstrategica WorldData::getZona(posicaoXY pos_zona)
{
    const double lim_campo_x = compCampo() / 2;
    const double lim_campo_x_4 = lim_campo_x * kFracaoMeioCampo;
    const double x = pos_zona.x;
    if (-lim_campo_x <= x && x < -lim_campo_x_4) {
        LOG(log_DEBUG) << "Agente " << mNickName << " na defesa, " << pos_zona;
        return ZONA_DEFESA;
    }
    if (-lim_campo_x_4 <= x && x < lim_campo_x_4) {
        LOG(log_DEBUG) << "Agente " << mNickName << " no meio de campo, " << pos_zona;
        return ZONA_MEIOCAMPO;
    }
    if (lim_campo_x_4 < x && x <= lim_campo_x) {
        LOG(log_DEBUG) << "Agente " << mNickName << " no ataque, " << pos_zona;
        return ZONA_ATAQUE;
    }
    return ZONA_INDEFINIDA;
}

bool WorldData::isAgenteZonaChuteAGol() const
{
    return mrGolAdversario().length < mBuild.shootingZoneMm;
}

vector_t WorldData::posEstrategica()
{
    const posicaoXY pos_bola = getBolaXY();
    const posicaoXY pos_base = getPosBase();
    posicaoXY posicaoFinal{pos_base.x + getFatorAtracaoX() * pos_bola.x,
                           pos_base.y + getFatorAtracaoY() * pos_bola.y};
    posicaoFinal = normalizaPosicao(posicaoFinal);
    LOG(log_DEBUG) << "Comprimento do campo: " << compCampo() << ", lagura: " << largCampo();
    LOG(log_DEBUG) << "Coordenadas XY da posicao estrategica: " << posicaoFinal;
    return getVectorFromAgentTo(posicaoFinal);
}

vector_t WorldData::posEstrategicaGoleiro()
{
    const posicaoXY pos_bola = getBolaXY();
    const posicaoXY pos_gol = getPontoXYGlobal(mrMeuGol());
    if (pv_ball().length > kBolaPertoGoleiro) {
        return getVectorFromAgentTo(getPosBase());
    }

    posicaoXY alvo{0, 0};
    if (mAgentTeam == TEAM_BLUE) {
        const posicaoXY trave_direita = mrBottomRightPoleXY();
        const posicaoXY trave_esquerda = mrTopRightPoleXY();
        if (trave_direita.y > pos_bola.y) {
            alvo = posicaoXY{trave_direita.x + kRecuoGoleiro, trave_direita.y + kRecuoGoleiro};
        } else if (pos_bola.y > trave_esquerda.y) {
            alvo = posicaoXY{trave_esquerda.x + kRecuoGoleiro, trave_esquerda.y - kRecuoGoleiro};
        } else {
            return posEstrategica();
        }
    } else {
        const posicaoXY trave_direita = mrTopLeftPoleXY();
        const posicaoXY trave_esquerda = mrBottomLeftPoleXY();
        if (pos_bola.y > trave_direita.y) {
            alvo = posicaoXY{trave_direita.x + kRecuoGoleiro, trave_direita.y - kRecuoGoleiro};
        } else if (trave_esquerda.y > pos_bola.y) {
            alvo = posicaoXY{trave_esquerda.x + kRecuoGoleiro, trave_esquerda.y + kRecuoGoleiro};
        } else {
            alvo = posicaoXY{pos_gol.x + kRecuoGoleiro, pos_bola.y};
        }
    }
    return getVectorFromAgentTo(alvo);
}

vector_t WorldData::posEstrategicaReceptor()
{
    const posicaoXY pos_agent = getMinhaPosicaoXY();
    const posicaoXY pos_gol = getPontoXYGlobal(mrGolAdversario());
    posicaoXY pos_final = getPontoXYGlobal(posEstrategica());
    // The opponent's goal is at +x in either colour's frame, so one rule serves both.
    const double limite = pos_gol.x - kMargemLinhaGol;
    if (pos_agent.x < limite) {
        pos_final.x = menor((pos_agent.x + pos_gol.x) / 2, limite);
    }
    return getVectorFromAgentTo(pos_final);
}

vector_t WorldData::pos_penalty()
{
    const vector_t bola = pv_ball();
    if (pv_subtract(mrMeuGol(), bola).length < kBolaNoGolPenalty) {
        return bola;
    }
    const posicaoXY pos_gol = getPontoXYGlobal(mrMeuGol());
    const posicaoXY pos_ball = getBolaXY();
    return getVectorFromAgentTo(posicaoXY{pos_gol.x + kRecuoGoleiro, pos_ball.y});
}

double WorldData::margemMarcacao() const
{
    return mKickableMargin / 2;
}

posicaoXY WorldData::destinoPasse() const
{
    return mDestinoPasse;
}

vector_t WorldData::posMarcacao(int id_oponente, bool com_limites)
{
    vector_t oponente{0, 0};
    try {
        oponente = pv_opponent(id_oponente);
    } catch (const ClientException&) {
        LOG(log_WARN) << mNickName << " tentando marcar um agente nao encontrado em campo! Ficando onde esta...";
        return pv_me();
    }
    LOG(log_DEBUG) << mNickName << ": vetor pro oponente a ser marcado: " << oponente;

    // Between the ball and the opponent, pulled towards the own goal by at most the margin.
    const vector_t meio = pv_scale(pv_sum(pv_ball(), oponente), 0.5);
    const vector_t atracao_gol = pv_subtract(mrMeuGol(), meio);
    const double margem = margemMarcacao();
    vector_t posicao = margem >= atracao_gol.length ? pv_sum(meio, atracao_gol)
                                                    : pv_sum(meio, pv_scale(pv_unit(atracao_gol), margem));
    if (com_limites) {
        posicao = getVectorFromAgentTo(normalizaPosicao(getPontoXYGlobal(posicao)));
    }
    return posicao;
}

vector_t WorldData::posEstrategicaZagueiro()
{
    posicaoXY pos_goleiro{0, 0};
    try {
        pos_goleiro = getPosicaoXYdeVetor(pv_teammate(mr_teammate_by_nickname(kNickGoleiro)));
    } catch (const ClientException&) {
        pos_goleiro = getPontoXYGlobal(mrGolAdversario());
    }

    const bool azul = mAgentTeam == TEAM_BLUE;
    const posicaoXY flag_peq_area_dir = mrFlagXY(azul ? TOP_RIGHT_SMALL_AREA : BOTTOM_LEFT_SMALL_AREA);
    const posicaoXY flag_peq_area_esq = mrFlagXY(azul ? BOTTOM_RIGHT_SMALL_AREA : TOP_LEFT_SMALL_AREA);
    const double x = azul ? flag_peq_area_dir.x - kAvancoZagueiro : flag_peq_area_esq.x + kAvancoZagueiro;

    const posicaoXY pos_bola = getBolaXY();
    const double yMaior = maior(flag_peq_area_dir.y, flag_peq_area_esq.y);
    const double yMenor = menor(flag_peq_area_dir.y, flag_peq_area_esq.y);
    double y = 0;
    if (pos_bola.y > yMaior) {
        y = -kDesvioZagueiro;
    } else if (pos_bola.y < yMenor) {
        y = kDesvioZagueiro;
    } else {
        // Cover the side of the goal the goalkeeper leaves open.
        const posicaoXY trave_dir = getPosicaoXYdeVetor(mrMinhaTraveDireita());
        const posicaoXY trave_esq = getPosicaoXYdeVetor(mrMinhaTraveEsquerda());
        const double dist_dir = std::fabs(trave_dir.y - pos_goleiro.y);
        const double dist_esq = std::fabs(trave_esq.y - pos_goleiro.y);
        y = dist_dir > dist_esq ? trave_dir.y - dist_dir / 2 : trave_esq.y + dist_esq / 2;
    }
    return getVectorFromAgentTo(posicaoXY{x, y});
}
