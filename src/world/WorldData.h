#pragma once
// The agent's picture of the game: the last world-state message, the field
// measured from its landmarks, the robot's own position found by
// trilateration, the tactical positions and the game-situation tests the
// behaviours decide on. Every answer is recomputed from the current message;
// only the three field measures survive from one call to the next.

#include <array>
#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include "common/BuildConstants.h"
#include "common/Properties.h"
#include "common/Team.h"
#include "geometry/BasicUtils.h"
#include "protocol/Agent.h"
#include "protocol/WorldDataApplication.h"
#include "world/Movimento.h"
#include "xml/XMLSerializer.h"

class Connection;

/// \brief The 19 landmarks of the field, in the order of their ids.
enum flag_t {
    TOP_LEFT_POLE = 0,
    BOTTOM_LEFT_POLE = 1,
    TOP_RIGHT_POLE = 2,
    BOTTOM_RIGHT_POLE = 3,
    TOP_LEFT_CORNER = 4,
    BOTTOM_LEFT_CORNER = 5,
    TOP_RIGHT_CORNER = 6,
    BOTTOM_RIGHT_CORNER = 7,
    TOP_LEFT_GOAL_AREA = 8,
    BOTTOM_LEFT_GOAL_AREA = 9,
    TOP_RIGHT_GOAL_AREA = 10,
    BOTTOM_RIGHT_GOAL_AREA = 11,
    TOP_LEFT_SMALL_AREA = 12,
    BOTTOM_LEFT_SMALL_AREA = 13,
    TOP_RIGHT_SMALL_AREA = 14,
    BOTTOM_RIGHT_SMALL_AREA = 15,
    TOP_CENTER = 16,
    CENTER = 17,
    BOTTOM_CENTER = 18,
};

/// \brief Which half of the field's width the robot stands on.
enum ladoT {
    LADO_ESQUERDO = 1,
    LADO_DIREITO = 2,
};

/// \brief The three zones along the field's length.
typedef enum zona_estrategica_ {
    ZONA_INDEFINIDA = 0,
    ZONA_ATAQUE = 1,
    ZONA_DEFESA = 2,
    ZONA_MEIOCAMPO = 3,
} zonaEstrategica;

/// \brief The group against which nearness to the ball is judged.
enum grupos_t {
    GRUPO_MEUTIME = 0,
    GRUPO_MEU_TIME_SEM_GOLEIRO = 1,
    GRUPO_TIMEOPONENTE = 2,
    GRUPO_TODO = 3,
};

/// \brief State of the solenoid kicker.
enum estadoSolenoide {
    SOLENOIDE_DESARMADO = 0,
    SOLENOIDE_ARMADO = 1,
    SOLENOIDE_EM_CHUTE = 2,
};

/// \brief Reads "velocidade.ini" from the working directory into `propsVel`; ends the
/// process with status 255 (after a line on standard error) when it cannot be read.
void UpdateProperties(Properties& propsVel);

class WorldData {
public:
    /// \brief Number of landmarks.
    static constexpr std::size_t kFlagCount = 19;
    /// \brief Value of a field measure not taken yet.
    static constexpr double kNaoMedido = -10000;
    /// \brief Saved own positions kept for the stuck test.
    static constexpr std::size_t kHistorySize = 3;
    /// \brief Nickname of a team's goalkeeper.
    static constexpr const char* kNickGoleiro = "GO";

    /// \brief Reads the settings of `props` (BadParameter when one is missing or malformed)
    /// and "velocidade.ini"; `build` supplies the per-build shooting zone.
    explicit WorldData(Properties& props, const BuildConstants& build = kMainBuild);
    virtual ~WorldData();

    // --- Update ---

    /// \brief Link used by updateAll; not owned.
    void setConnection(Connection* connection);
    /// \brief Waits for the next datagram at most TRIES x SLEEP us (woken as soon as one lands;
    /// with blind waiting, TRIES receive attempts SLEEP us apart); true when a message was read.
    bool updateAll();
    /// \brief Parses one document text and replaces the message with it (also on failure);
    /// true when it was read. What updateAll does with each datagram.
    bool updateFromText(const char* data, std::size_t size);
    /// \brief The current message as read.
    const WorldDataApplication& worldState() const { return mXmlWorldData; }

    // --- Settings and plain fields ---

    /// \brief SLEEP, microseconds between receive attempts.
    int getISleep() const { return iSleep; }
    /// \brief TEAM.
    mrTeam getAgentTeam() const { return mAgentTeam; }
    /// \brief FATOR_ATRACAO_X.
    double getFatorAtracaoX() const { return mFatorAtracaoX; }
    /// \brief FATOR_ATRACAO_Y.
    double getFatorAtracaoY() const { return mFatorAtracaoY; }
    /// \brief POS_BASE_X.
    double getProporcaoPosBaseX() const { return mProporcaoPosBaseX; }
    /// \brief POS_BASE_Y.
    double getProporcaoPosBaseY() const { return mProporcaoPosBaseY; }
    /// \brief Whether setPosBase has run.
    bool isPosBaseSetted() const { return mPosBaseSetted; }
    /// \brief Overwrites the setPosBase flag.
    void setPosBaseSetted(bool setted) { mPosBaseSetted = setted; }
    /// \brief Lower x bound of the playing rectangle (field frame, mm).
    double getXminimo() const { return mXminimo; }
    /// \brief Upper x bound of the playing rectangle.
    double getXmaximo() const { return mXmaximo; }
    /// \brief Lower y bound of the playing rectangle.
    double getYminimo() const { return mYminimo; }
    /// \brief Upper y bound of the playing rectangle.
    double getYmaximo() const { return mYmaximo; }
    /// \brief Overwrites the lower x bound.
    void setXminimo(double value) { mXminimo = value; }
    /// \brief Overwrites the upper x bound.
    void setXmaximo(double value) { mXmaximo = value; }
    /// \brief Overwrites the lower y bound.
    void setYminimo(double value) { mYminimo = value; }
    /// \brief Overwrites the upper y bound.
    void setYmaximo(double value) { mYmaximo = value; }
    /// \brief The configured nickname (NICK_NAME), not the message's.
    std::string nickname() const { return mNickName; }
    /// \brief VEL_MAX of velocidade.ini.
    double vel_max() const { return mVel_max; }
    /// \brief VEL_MAX_CURVE.
    double vel_max_curve() const { return mVel_max_curve; }
    /// \brief VEL_MAX_SPIN.
    double vel_max_spin() const { return mVel_max_spin; }
    /// \brief ANGLE_SPIN.
    double angle_spin() const { return mAngle_spin; }
    /// \brief BIG_ANGLE.
    double big_angle() const { return mBig_angle; }
    /// \brief ANGLE_VEL_MAX.
    double angle_vel_max() const { return mAngle_vel_max; }
    /// \brief LENGTH_NEAR.
    double length_near() const { return mLength_near; }
    /// \brief The kicker state.
    estadoSolenoide getEstadoSolenoide() const { return mEstadoSolenoide; }
    /// \brief Sets the kicker state; the reach becomes 25 when armed, 37 otherwise.
    void setEstadoSolenoide(estadoSolenoide estado);
    /// \brief Ball distance within which the kicker reaches now (mm).
    double recuoSolenoide() const { return mRecuoSolenoide; }

    // --- Queries on the message ---

    /// \brief The message's time.
    double pv_time() const;
    /// \brief The play mode text.
    std::string mrPlayMode() const;
    /// \brief Play mode "play on" or "warn ending".
    bool pv_is_game_on() const;
    /// \brief The message's max_agent.
    int maxAgents() const;
    /// \brief This robot's uid (agent_id).
    int pv_my_id() const;
    /// \brief This robot is not seen.
    bool pv_i_am_lost() const;
    /// \brief This robot's own vector, all zero. \throws ClientException when lost.
    vector_t pv_me() const;
    /// \brief The ball relative to this robot. \throws ClientException when lost.
    vector_t pv_ball() const;
    /// \brief The ball with its angle in degrees as sent. \throws ClientException when lost.
    vector_t pv_ballDeg() const;
    /// \brief Position of teammate `id`. \throws ClientException (unknown or unseen).
    vector_t pv_teammate(int id) const;
    /// \brief Position of opponent `id`. \throws ClientException (unknown or unseen).
    vector_t pv_opponent(int id) const;
    /// \brief Position and orientation of robot `uid`, either side. \throws ClientException.
    agentVector mr_agent(int uid) const;
    /// \brief Whether teammate `uid` (or this robot, for its own uid) is seen. \throws ClientException.
    bool pv_teammate_is_found(int uid) const;
    /// \brief Whether opponent `uid` is seen. \throws ClientException for an unlisted uid.
    bool pv_opponent_is_found(int uid) const;
    /// \brief Whether the message lists teammate `uid`, seen or not; never throws.
    bool uidTeammateExists(int uid) const;
    /// \brief Whether the message lists opponent `uid`, seen or not; never throws.
    bool uidOpponentExists(int uid) const;
    /// \brief Number of seen teammates.
    int mr_number_found_teammates() const;
    /// \brief Number of seen opponents.
    int mr_number_found_opponents() const;
    /// \brief Uids of the seen teammates, message order.
    std::vector<int> mr_found_teammates() const;
    /// \brief Uids of the seen opponents, message order.
    std::vector<int> mr_found_opponents() const;
    /// \brief Uids of all seen robots, message order.
    std::vector<int> mr_found_players() const;
    /// \brief Uid of the first teammate with exactly that nickname, -1 when there is none.
    int mr_teammate_by_nickname(const std::string& nick) const;
    /// \brief Uid of the seen teammate closest to `v`, or -1.
    int pv_closest_teammate_to(vector_t v) const;
    /// \brief Uid of the seen opponent closest to `v`, or -1.
    int pv_closest_opponent_to(vector_t v) const;
    /// \brief Seen teammate closest to teammate `id` (itself included). \throws ClientException.
    int pv_closest_teammate_to_teammate(int id) const;
    /// \brief Seen teammate closest to opponent `id`. \throws ClientException.
    int pv_closest_teammate_to_opponent(int id) const;
    /// \brief Seen opponent closest to teammate `id`. \throws ClientException.
    int pv_closest_opponent_to_teammate(int id) const;
    /// \brief Seen opponent closest to opponent `id` (itself included). \throws ClientException.
    int pv_closest_opponent_to_opponent(int id) const;
    /// \brief Seen teammate closest to the ball, or -1. \throws ClientException when lost.
    int pv_closest_teammate_to_ball() const;
    /// \brief Seen opponent closest to the ball, or -1. \throws ClientException when lost.
    int pv_closest_opponent_to_ball() const;
    /// \brief Vector of the seen robot closest to this one; pv_me() when none. \throws when lost.
    vector_t pv_closest_player() const;
    /// \brief Closest to the ball among the listed seen teammates (unlisted uids skipped), or -1.
    int mr_closest_from_teammates_to_ball(const std::vector<int>& objs) const;
    /// \brief Closest to the ball among the listed opponents. \throws ClientException for a
    /// uid that is not a seen opponent.
    int mr_closest_from_opponents_to_ball(const std::vector<int>& objs) const;
    /// \brief Uid of the robot of `positions` closest to `me` (whole-mm hysteresis), or -1.
    int ClosestInList(const vector_t& me, const AgentList& positions) const;

    // --- History of own positions ---

    /// \brief Appends the current field position, keeping the last kHistorySize.
    void salvaMinhaUltimaPosicao();
    /// \brief The oldest saved position; with no history, the current position (NaN when
    /// that cannot be computed).
    posicaoXY getUltimaPosicao();
    /// \brief Number of saved positions.
    std::size_t numUltimasPosicoes() const { return mUltimasPosicoes.size(); }

    // --- Landmarks (observed, robot-relative) ---

    /// \brief The observed vector of flag `flagId`. \throws ClientException when it is absent.
    vector_t mrFlag(const std::string& flagId) const;
    /// \brief The observed vector of a flag by its enumerator. \throws ClientException.
    vector_t mrFlag(flag_t flag) const;
    vector_t mrTopLeftPole() const;            ///< \brief "top_left_pole"
    vector_t mrBottomLeftPole() const;         ///< \brief "bottom_left_pole"
    vector_t mrTopRightPole() const;           ///< \brief "top_right_pole"
    vector_t mrBottomRightPole() const;        ///< \brief "bottom_right_pole"
    vector_t mrTopLeftCorner() const;          ///< \brief "top_left_corner"
    vector_t mrBottomLeftCorner() const;       ///< \brief "bottom_left_corner"
    vector_t mrTopRightCorner() const;         ///< \brief "top_right_corner"
    vector_t mrBottomRightCorner() const;      ///< \brief "bottom_right_corner"
    vector_t mrTopLeftGoalArea() const;        ///< \brief "top_left_goal"
    vector_t mrBottomLeftGoalArea() const;     ///< \brief "bottom_left_goal"
    vector_t mrTopRightGoalArea() const;       ///< \brief "top_right_goal"
    vector_t mrBottomRightGoalArea() const;    ///< \brief "bottom_right_goal"
    vector_t mrTopLeftSmallArea() const;       ///< \brief "top_left_small_area"
    vector_t mrBottomLeftSmallArea() const;    ///< \brief "bottom_left_small_area"
    vector_t mrTopRightSmallArea() const;      ///< \brief "top_right_small_area"
    vector_t mrBottomRightSmallArea() const;   ///< \brief "bottom_right_small_area"
    vector_t mrTopCenter() const;              ///< \brief "top_center"
    vector_t mrMiddleField() const;            ///< \brief "middle_center"
    vector_t mrBottomCenter() const;           ///< \brief "bottom_center"

    // Team-aware: the flag that plays this role for the agent's colour.
    vector_t mrMinhaTraveEsquerda() const;         ///< \brief My left post.
    vector_t mrMinhaTraveDireita() const;          ///< \brief My right post.
    vector_t mrTraveOponenteEsquerda() const;      ///< \brief Opponent's left post.
    vector_t mrTraveOponenteDireita() const;       ///< \brief Opponent's right post.
    vector_t mrEscanteioDefesaEsquerda() const;    ///< \brief Defence corner, left.
    vector_t mrEscanteioDefesaDireita() const;     ///< \brief Defence corner, right.
    vector_t mrEscanteioAtaqueEsquerda() const;    ///< \brief Attack corner, left.
    vector_t mrEscanteioAtaqueDireita() const;     ///< \brief Attack corner, right.
    vector_t mrCentroEsquerda() const;             ///< \brief Centre-line flag, left.
    vector_t mrCentroDireita() const;              ///< \brief Centre-line flag, right.
    vector_t mrCentro() const;                     ///< \brief Centre flag.
    /// \brief Observed midpoint of the opponent's goal mouth.
    vector_t mrGolAdversario() const;
    /// \brief Observed midpoint of the own goal mouth.
    vector_t mrMeuGol() const;

    // --- Field measures and positions (field frame of the agent's colour, mm) ---

    /// \brief Field length, measured now unless lost (then the last measure).
    double compCampo();
    /// \brief Field width, measured now unless lost.
    double largCampo();
    /// \brief Corner-to-post distance, measured now unless lost.
    double distTraveCorner();
    /// \brief Known field position of a flag; (0, 0) with a warning for an unknown value.
    posicaoXY mrFlagXY(flag_t flag);
    posicaoXY mrTopLeftPoleXY();        ///< \brief mrFlagXY(TOP_LEFT_POLE)
    posicaoXY mrBottomLeftPoleXY();     ///< \brief mrFlagXY(BOTTOM_LEFT_POLE)
    posicaoXY mrTopRightPoleXY();       ///< \brief mrFlagXY(TOP_RIGHT_POLE)
    posicaoXY mrBottomRightPoleXY();    ///< \brief mrFlagXY(BOTTOM_RIGHT_POLE)
    posicaoXY mrTopLeftCornerXY();      ///< \brief mrFlagXY(TOP_LEFT_CORNER)
    posicaoXY mrBottomLeftCornerXY();   ///< \brief mrFlagXY(BOTTOM_LEFT_CORNER)
    posicaoXY mrTopRightCornerXY();     ///< \brief mrFlagXY(TOP_RIGHT_CORNER)
    posicaoXY mrBottomRightCornerXY();  ///< \brief mrFlagXY(BOTTOM_RIGHT_CORNER)
    posicaoXY mrTopCenterXY();          ///< \brief mrFlagXY(TOP_CENTER)
    posicaoXY mrMiddleFieldXY();        ///< \brief mrFlagXY(CENTER)
    posicaoXY mrBottomCenterXY();       ///< \brief mrFlagXY(BOTTOM_CENTER)

    /// \brief This robot's field position, by trilateration.
    posicaoXY getMinhaPosicaoXY();
    /// \brief The ball's field position. \throws ClientException when lost.
    posicaoXY getBolaXY();
    /// \brief Field position of a point given relative to this robot.
    posicaoXY getPontoXYGlobal(vector_t vetorParaDestino);
    /// \brief Robot-relative vector to a field point; mrCentro() when lost.
    vector_t getVectorFromAgentTo(posicaoXY destino);
    /// \brief This robot's heading as a field bearing in [-pi, pi].
    double getAgentOrientation();
    /// \brief Heading of robot `agente_ID`: for this robot measured from the yellow +x axis in
    /// [0, 2pi); for another the message's whole-radian orientation; 0 when unknown.
    double orientation(int agente_ID);
    /// \brief The half of the width the robot is on (ties give LADO_DIREITO).
    ladoT getLado() const;
    /// \brief The point clamped to the playing rectangle.
    posicaoXY normalizaPosicao(posicaoXY posicao) const;

    // --- Tactical positioning ---

    /// \brief Fixes the base position and the playing rectangle from the field measured now.
    void setPosBase();
    /// \brief The base position (warns when setPosBase has not run).
    posicaoXY getPosBase() const;
    /// \brief Zone of a field point along the length.
    zonaEstrategica getZona(posicaoXY pos_zona);
    /// \brief Whether the opponent's goal midpoint is within the shooting distance.
    bool isAgenteZonaChuteAGol() const;
    /// \brief The field player's position: base pulled towards the ball, clamped.
    vector_t posEstrategica();
    /// \brief The goalkeeper's position.
    vector_t posEstrategicaGoleiro();
    /// \brief Position of a player waiting for a pass in attack.
    vector_t posEstrategicaReceptor();
    /// \brief The goalkeeper's position at a penalty.
    vector_t pos_penalty();
    /// \brief Position marking opponent `id_oponente`; pv_me() when it is not seen.
    vector_t posMarcacao(int id_oponente, bool com_limites);
    /// \brief A defender's position in front of the own small area.
    vector_t posEstrategicaZagueiro();
    /// \brief Half the kickable margin.
    double margemMarcacao() const;
    /// \brief The pass destination (never set: (0, 0)).
    posicaoXY destinoPasse() const;

    // --- Game situation ---

    /// \brief Whether this robot is nearest the ball within `grupo_alvo`.
    bool mr_iAmClosestToBall(grupos_t grupo_alvo);
    /// \brief Whether this robot may kick now; advances the kicker state.
    bool pv_can_kick();
    /// \brief Ball within the kicker's reach.
    bool pv_can_solenoide_kick() const;
    /// \brief Whether the point `v` is marked by an opponent; false on any lookup failure.
    bool isMarcado(vector_t v) const;
    /// \brief Whether the teammate and the opponent nearest the ball are 37 mm or less apart.
    bool isJogadorPertoBolaPreso() const;
    /// \brief Whether this robot was told to move but moved 10 mm or less over the history.
    bool estouPreso();
    /// \brief Classification of the last command the server echoed.
    movimento mrUltimoComandoEnviado() const;
    /// \brief Uid of the best pass receiver, possibly this robot's own.
    int receptor();
    /// \brief Largest free part of the opponent's goal seen from `v`, as a fraction in [0, 1].
    double getFatorAberturaGol(vector_t v) const;
    /// \brief Remembers the ball's field position of this cycle.
    void saveLastPosBall();
    /// \brief The ball's field displacement since saveLastPosBall.
    vector_t getVelBall();
    /// \brief Initial kick velocity that covers `distancia` in `ciclos` cycles; zero for
    /// fewer than one cycle.
    vector_t getVetorVelocidade(double ciclos, vector_t distancia) const;
    /// \brief Kick force that changes velocity `Vo` into `Vf` within one cycle.
    vector_t getForca(vector_t Vo, vector_t Vf) const;

private:
    /// \brief updateAll on an open link that can wait for arrivals.
    bool esperaPeloEstado();
    /// \brief Rebuilds the per-message flag table from mXmlWorldData.
    void indexFlags();
    /// \brief Trilaterates from the distances to the two bottom corners and the top centre.
    posicaoXY trilatera(double rBL, double rBR, double rTC);
    /// \brief The score of one pass-receiver candidate from its three factors' inputs.
    double notaReceptor(double dGol, double dOponente, bool emAtaque, vector_t pontoVista) const;

    WorldDataApplication mXmlWorldData;
    /// \brief The parsed document, reused from one message to the next.
    XMLSerializer::DocumentBuffer mParseBuffer;
    Connection* pConnection = nullptr;
    int iSleep = 0;
    int iTries = 0;
    mrTeam mAgentTeam = TEAM_YELLOW;
    double mProporcaoPosBaseX = 0;
    double mProporcaoPosBaseY = 0;
    posicaoXY mPosBase{0, 0};
    bool mPosBaseSetted = false;
    double mKickableMargin = 0;
    double mRecuoSolenoide = 0;
    estadoSolenoide mEstadoSolenoide = SOLENOIDE_DESARMADO;
    double mFatorAtracaoX = 0;
    double mFatorAtracaoY = 0;
    double mProporcaoXminimo = 0;
    double mProporcaoXmaximo = 0;
    double mXminimo = 0;
    double mXmaximo = 0;
    double mProporcaoYminimo = 0;
    double mProporcaoYmaximo = 0;
    double mYminimo = 0;
    double mYmaximo = 0;
    double mCompCampo = kNaoMedido;
    double mLargCampo = kNaoMedido;
    double mDistTraveCorner = kNaoMedido;
    posicaoXY mLastPosBall{0, 0};
    posicaoXY mDestinoPasse{0, 0};
    std::string mNickName;
    std::deque<posicaoXY> mUltimasPosicoes;
    double mVel_max = 0;
    double mVel_max_curve = 0;
    double mVel_max_spin = 0;
    double mAngle_spin = 0;
    double mBig_angle = 0;
    double mAngle_vel_max = 0;
    double mLength_near = 0;
    Properties mPropsVel;

    BuildConstants mBuild;
    // The current message's landmarks by enumerator (first of each id), so the
    // many lookups of a cycle neither search by name nor copy.
    std::array<vector_t, kFlagCount> mFlagVectors{};
    std::array<bool, kFlagCount> mFlagSeen{};
    // What a cycle's queries ask again and again, worked out once per message
    // (only on success: a query that throws throws again). Reset by indexFlags.
    bool mCompCampoDaMensagem = false;
    bool mLargCampoDaMensagem = false;
    bool mDistTraveCornerDaMensagem = false;
    bool mMinhaPosicaoDaMensagem = false;
    posicaoXY mMinhaPosicao{0, 0};
    bool mBolaDaMensagem = false;
    posicaoXY mBolaXY{0, 0};
};
