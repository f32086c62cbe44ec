#pragma once
// The kind of movement the last executed command produced, as the world
// model classifies the server's echo and the ball actions read it.

enum tipo_movimento {
    MOV_INDEFINIDO = -1,
    MOV_PARADO = 0,
    MOV_CURVA_ESQ = 1,
    MOV_CURVA_DIR = 2,
    MOV_RETO_FRENTE = 3,
    MOV_RETO_TRAS = 4,
    MOV_FRENTE = 5,
    MOV_TRAS = 6,
    MOV_CHUTE = 7,
    MOV_SPIN = 8,
};

typedef tipo_movimento movimento;
