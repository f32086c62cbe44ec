// Construction, settings, the update from the server, the queries on robots
// and ball, and the history of own positions.

#include "world/WorldData.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <limits>

#include "common/ClientException.h"
#include "common/Convert.h"
#include "common/Logger.h"
#include "net/Connection.h"
#include "world/ClosestAgent.h"
#include "xml/XMLSerializer.h"

namespace {

constexpr const char* kArquivoVelocidade = "velocidade.ini";
// The shell sees the -1 of the original failure path as 255.
constexpr int kStatusSemVelocidade = 255;
constexpr double kRecuoArmado = 25;
constexpr double kRecuoDesarmado = 37;

double lerDouble(const Properties& props, const char* key)
{
    return convert_to<double>(props.propertyValue(key));
}

int lerInt(const Properties& props, const char* key)
{
    return convert_to<int>(props.propertyValue(key));
}

[[noreturn]] void encerraSemVelocidade(const std::string& motivo)
{
    std::cerr << "Cannot use speed file " << kArquivoVelocidade << " in the working directory: " << motivo
              << std::endl;
    std::exit(kStatusSemVelocidade);
}

ClientException uidNaoEncontrado(int uid)
{
    return ClientException("Requested uid " + std::to_string(uid) + " was not found");
}

// The first robot of `side` with `uid`, as AgentList::ByUid finds it, without copying.
const Agent* procuraAgente(const AgentList& outros, AgentSide side, int uid)
{
    for (const Agent& agent : outros) {
        if (agent.side() == side && agent.uid() == uid) {
            return &agent;
        }
    }
    return nullptr;
}

// The first seen robot of `side` with `uid`.
const Agent* primeiroVisto(const AgentList& outros, AgentSide side, int uid)
{
    for (const Agent& agent : outros) {
        if (agent.side() == side && agent.found() && agent.uid() == uid) {
            return &agent;
        }
    }
    return nullptr;
}

const Agent& agenteOuFalha(const AgentList& outros, AgentSide side, int uid)
{
    const Agent* agent = procuraAgente(outros, side, uid);
    if (agent == nullptr) {
        throw uidNaoEncontrado(uid);
    }
    return *agent;
}

}  // namespace

void UpdateProperties(Properties& propsVel)
{
    errno = 0;
    try {
        propsVel = PropertyReader().read(kArquivoVelocidade);
    } catch (const PropertyFileTooLarge& e) {
        LOG(log_ERROR) << e.what();
        encerraSemVelocidade(e.what());
    } catch (const BadPropertyFormatException& e) {
        LOG(log_ERROR) << "Error in property format: " << e.what();
        encerraSemVelocidade("a line is neither a comment nor KEY=value");
    } catch (const PropertyStreamError&) {
        const int erro = errno;
        LOG(log_ERROR) << "Error reading property file";
        encerraSemVelocidade(erro != 0 ? std::strerror(erro) : "it cannot be opened or read");
    }
}

WorldData::WorldData(Properties& props, const BuildConstants& build) : mBuild(build)
{
    iSleep = lerInt(props, "SLEEP");
    iTries = lerInt(props, "TRIES");
    // Any value but TEAM_BLUE plays in the yellow frame.
    mAgentTeam = static_cast<mrTeam>(lerInt(props, "TEAM"));

    const double nan = std::numeric_limits<double>::quiet_NaN();
    mPosBase = posicaoXY{nan, nan};
    mProporcaoPosBaseX = lerDouble(props, "POS_BASE_X");
    mProporcaoPosBaseY = lerDouble(props, "POS_BASE_Y");
    mKickableMargin = lerDouble(props, "KICKABLE");
    mFatorAtracaoX = lerDouble(props, "FATOR_ATRACAO_X");
    mFatorAtracaoY = lerDouble(props, "FATOR_ATRACAO_Y");

    mXminimo = mXmaximo = mYminimo = mYmaximo = nan;
    mProporcaoXminimo = lerDouble(props, "X_MINIMO");
    mProporcaoXmaximo = lerDouble(props, "X_MAXIMO");
    mProporcaoYminimo = lerDouble(props, "Y_MINIMO");
    mProporcaoYmaximo = lerDouble(props, "Y_MAXIMO");

    mCompCampo = mLargCampo = mDistTraveCorner = kNaoMedido;
    mNickName = props.propertyValue("NICK_NAME");

    mRecuoSolenoide = kRecuoDesarmado;
    mEstadoSolenoide = SOLENOIDE_DESARMADO;
    mLastPosBall = posicaoXY{0, 0};
    mDestinoPasse = posicaoXY{0, 0};

    UpdateProperties(mPropsVel);
    mVel_max = lerDouble(mPropsVel, "VEL_MAX");
    mVel_max_curve = lerDouble(mPropsVel, "VEL_MAX_CURVE");
    mVel_max_spin = lerDouble(mPropsVel, "VEL_MAX_SPIN");
    mAngle_spin = lerDouble(mPropsVel, "ANGLE_SPIN");
    mBig_angle = lerDouble(mPropsVel, "BIG_ANGLE");
    mAngle_vel_max = lerDouble(mPropsVel, "ANGLE_VEL_MAX");
    mLength_near = lerDouble(mPropsVel, "LENGTH_NEAR");
}

WorldData::~WorldData() = default;

void WorldData::setConnection(Connection* connection)
{
    pConnection = connection;
}

void WorldData::setEstadoSolenoide(estadoSolenoide estado)
{
    mEstadoSolenoide = estado;
    mRecuoSolenoide = estado == SOLENOIDE_ARMADO ? kRecuoArmado : kRecuoDesarmado;
}

// --- Update ---

bool WorldData::updateAll()
{
    if (iTries > 0 && pConnection != nullptr && pConnection->isOpen() && !pConnection->blindWait()) {
        return esperaPeloEstado();
    }
    // A negative TRIES would otherwise count down for ever.
    for (int tentativas = iTries; tentativas > 0; --tentativas) {
        if (pConnection == nullptr) {
            usleep(static_cast<useconds_t>(iSleep > 0 ? iSleep : 0));
            continue;
        }
        if (pConnection->Receive()) {
            return updateFromText(pConnection->data(), pConnection->size());
        }
        pConnection->WaitForData(iSleep);
    }
    LOG(log_WARN) << "updated false";
    return false;
}

// The TRIES pauses of SLEEP microseconds make one budget, spent in receives
// that wait until a datagram lands: the agent sleeps until the state is there
// instead of waking once per pause, and the wait and the receive are one
// system call. A receive woken by a datagram that is then dropped (a foreign
// host) waits again for what is left, so no traffic stretches the budget.
bool WorldData::esperaPeloEstado()
{
    using Relogio = std::chrono::steady_clock;
    const long long orcamentoUs = static_cast<long long>(iTries) * static_cast<long long>(std::max(iSleep, 0));
    const Relogio::time_point fim = Relogio::now() + std::chrono::microseconds(orcamentoUs);
    // The first wait is the whole budget, the same in every cycle, so the link's timeout
    // need not be set again.
    long long restaUs = orcamentoUs;
    for (;;) {
        const int esperaUs = static_cast<int>(std::min<long long>(restaUs, std::numeric_limits<int>::max()));
        if (pConnection->ReceiveWithin(esperaUs)) {
            return updateFromText(pConnection->data(), pConnection->size());
        }
        // The last wait was only a look at the socket: the budget is spent.
        if (restaUs == 0) {
            break;
        }
        restaUs = std::max<long long>(
            0, std::chrono::duration_cast<std::chrono::microseconds>(fim - Relogio::now()).count());
    }
    LOG(log_WARN) << "updated false";
    return false;
}

bool WorldData::updateFromText(const char* data, std::size_t size)
{
    // The server may close its text with a zero byte; it is not part of the document.
    while (size > 0 && data[size - 1] == '\0') {
        --size;
    }
    const XMLItem root = XMLSerializer::documentToRoot(data, size, mParseBuffer);
    mXmlWorldData.clear();
    // A text that does not parse is no world state, even though it leaves no unknown leaf.
    const bool lido = root.getItemType() != XML_ERROREOUS && mXmlWorldData.read(root);
    indexFlags();
    if (!lido) {
        LOG(log_WARN) << "Error processing XML data";
        return false;
    }
    return true;
}

// --- Queries on the message ---

double WorldData::pv_time() const
{
    return mXmlWorldData.mTime;
}

std::string WorldData::mrPlayMode() const
{
    return mXmlWorldData.mPlayMode;
}

bool WorldData::pv_is_game_on() const
{
    const std::string& modo = mXmlWorldData.mPlayMode;
    return modo == "play on" || modo == "warn ending";
}

int WorldData::maxAgents() const
{
    return mXmlWorldData.mMaxAgents;
}

int WorldData::pv_my_id() const
{
    return static_cast<int>(mXmlWorldData.mAgentID);
}

bool WorldData::pv_i_am_lost() const
{
    return !mXmlWorldData.mMe.found();
}

vector_t WorldData::pv_me() const
{
    return mXmlWorldData.mMe.position().position;
}

vector_t WorldData::pv_ball() const
{
    if (pv_i_am_lost()) {
        throw ClientException("World::pv_ball() request on lost agent");
    }
    const BallInfo& bola = mXmlWorldData.mBall;
    return vector_t{static_cast<double>(bola.mDist), static_cast<double>(bola.mAngle)};
}

vector_t WorldData::pv_ballDeg() const
{
    if (pv_i_am_lost()) {
        throw ClientException("World::pv_ballDeg() request on lost agent");
    }
    const BallInfo& bola = mXmlWorldData.mBall;
    return vector_t{static_cast<double>(bola.mDist), static_cast<double>(bola.mDegAngle)};
}

vector_t WorldData::pv_teammate(int id) const
{
    return agenteOuFalha(mXmlWorldData.mOthers, side_TEAMMATE, id).position().position;
}

vector_t WorldData::pv_opponent(int id) const
{
    return agenteOuFalha(mXmlWorldData.mOthers, side_OPPONENT, id).position().position;
}

agentVector WorldData::mr_agent(int uid) const
{
    for (const Agent& agent : mXmlWorldData.mOthers) {
        if (agent.uid() == uid) {
            return agent.position();
        }
    }
    throw uidNaoEncontrado(uid);
}

bool WorldData::pv_teammate_is_found(int uid) const
{
    if (uid == pv_my_id()) {
        return !pv_i_am_lost();
    }
    return agenteOuFalha(mXmlWorldData.mOthers, side_TEAMMATE, uid).found();
}

bool WorldData::pv_opponent_is_found(int uid) const
{
    return agenteOuFalha(mXmlWorldData.mOthers, side_OPPONENT, uid).found();
}

bool WorldData::uidTeammateExists(int uid) const
{
    if (procuraAgente(mXmlWorldData.mOthers, side_TEAMMATE, uid) == nullptr) {
        LOG(log_DEBUG) << "Uid " << uid << " nao encontrado!";
        return false;
    }
    return true;
}

bool WorldData::uidOpponentExists(int uid) const
{
    if (procuraAgente(mXmlWorldData.mOthers, side_OPPONENT, uid) == nullptr) {
        LOG(log_DEBUG) << "Uid " << uid << " nao encontrado!";
        return false;
    }
    return true;
}

namespace {

int contaVistos(const AgentList& outros, AgentSide side)
{
    int n = 0;
    for (const Agent& agent : outros) {
        n += (agent.side() == side && agent.found()) ? 1 : 0;
    }
    return n;
}

std::vector<int> uidsVistos(const AgentList& outros, const AgentSide* side)
{
    std::vector<int> uids;
    uids.reserve(outros.size());
    for (const Agent& agent : outros) {
        if (agent.found() && (side == nullptr || agent.side() == *side)) {
            uids.push_back(agent.uid());
        }
    }
    return uids;
}

}  // namespace

int WorldData::mr_number_found_teammates() const
{
    return contaVistos(mXmlWorldData.mOthers, side_TEAMMATE);
}

int WorldData::mr_number_found_opponents() const
{
    return contaVistos(mXmlWorldData.mOthers, side_OPPONENT);
}

std::vector<int> WorldData::mr_found_teammates() const
{
    const AgentSide side = side_TEAMMATE;
    return uidsVistos(mXmlWorldData.mOthers, &side);
}

std::vector<int> WorldData::mr_found_opponents() const
{
    const AgentSide side = side_OPPONENT;
    return uidsVistos(mXmlWorldData.mOthers, &side);
}

std::vector<int> WorldData::mr_found_players() const
{
    return uidsVistos(mXmlWorldData.mOthers, nullptr);
}

int WorldData::mr_teammate_by_nickname(const std::string& nick) const
{
    for (const Agent& agent : mXmlWorldData.mOthers) {
        if (agent.side() == side_TEAMMATE && agent.nickname() == nick) {
            return agent.uid();
        }
    }
    return -1;
}

// --- Closest robot ---

int WorldData::ClosestInList(const vector_t& me, const AgentList& positions) const
{
    ClosestAgent closest(me);
    for (const Agent& agent : positions) {
        closest.consider(agent);
    }
    return closest.uid();
}

namespace {

ClosestAgent closestSeen(const vector_t& me, const AgentList& outros, AgentSide side)
{
    ClosestAgent closest(me);
    for (const Agent& agent : outros) {
        if (agent.side() == side && agent.found()) {
            closest.consider(agent);
        }
    }
    return closest;
}

}  // namespace

int WorldData::pv_closest_teammate_to(vector_t v) const
{
    return closestSeen(v, mXmlWorldData.mOthers, side_TEAMMATE).uid();
}

int WorldData::pv_closest_opponent_to(vector_t v) const
{
    return closestSeen(v, mXmlWorldData.mOthers, side_OPPONENT).uid();
}

int WorldData::pv_closest_teammate_to_teammate(int id) const
{
    return pv_closest_teammate_to(pv_teammate(id));
}

int WorldData::pv_closest_teammate_to_opponent(int id) const
{
    return pv_closest_teammate_to(pv_opponent(id));
}

int WorldData::pv_closest_opponent_to_teammate(int id) const
{
    return pv_closest_opponent_to(pv_teammate(id));
}

int WorldData::pv_closest_opponent_to_opponent(int id) const
{
    return pv_closest_opponent_to(pv_opponent(id));
}

int WorldData::pv_closest_teammate_to_ball() const
{
    return pv_closest_teammate_to(pv_ball());
}

int WorldData::pv_closest_opponent_to_ball() const
{
    return pv_closest_opponent_to(pv_ball());
}

vector_t WorldData::pv_closest_player() const
{
    if (pv_i_am_lost()) {
        throw ClientException("World::pv_closest_player() request when agent is lost");
    }
    const vector_t eu = pv_me();
    ClosestAgent closest(eu);
    for (const Agent& agent : mXmlWorldData.mOthers) {
        if (agent.found()) {
            closest.consider(agent);
        }
    }
    return closest.agent() == nullptr ? eu : closest.agent()->position().position;
}

int WorldData::mr_closest_from_teammates_to_ball(const std::vector<int>& objs) const
{
    const vector_t bola = pv_ball();
    ClosestAgent closest(bola);
    for (const int uid : objs) {
        if (const Agent* agent = primeiroVisto(mXmlWorldData.mOthers, side_TEAMMATE, uid)) {
            closest.consider(*agent);
        }
    }
    return closest.uid();
}

int WorldData::mr_closest_from_opponents_to_ball(const std::vector<int>& objs) const
{
    // Every uid must be a seen opponent; the first that is not fails the query.
    for (const int uid : objs) {
        if (primeiroVisto(mXmlWorldData.mOthers, side_OPPONENT, uid) == nullptr) {
            throw uidNaoEncontrado(uid);
        }
    }
    const vector_t bola = pv_ball();
    ClosestAgent closest(bola);
    for (const int uid : objs) {
        closest.consider(*primeiroVisto(mXmlWorldData.mOthers, side_OPPONENT, uid));
    }
    return closest.uid();
}

// --- History of own positions ---

void WorldData::salvaMinhaUltimaPosicao()
{
    if (mUltimasPosicoes.size() >= kHistorySize) {
        mUltimasPosicoes.pop_front();
    }
    try {
        mUltimasPosicoes.push_back(getMinhaPosicaoXY());
    } catch (const ClientException&) {
        LOG(log_WARN) << "Excecao enquanto tentava salvar ultima posicao do agente!";
    }
}

posicaoXY WorldData::getUltimaPosicao()
{
    if (!mUltimasPosicoes.empty()) {
        return mUltimasPosicoes.front();
    }
    // Nothing saved yet: the robot is where it is now, which is "no movement".
    try {
        return getMinhaPosicaoXY();
    } catch (const ClientException&) {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        return posicaoXY{nan, nan};
    }
}
