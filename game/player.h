// The player's ship: movement, drawing, firing.
#pragma once

#include <cstdint>

#include "game/game.h"

// Where StartRound puts a fresh ship, and how far it moves per tick.
constexpr int16_t kShipStartX = 178;
constexpr int16_t kShipStartY = 330;
constexpr int16_t kShipSpeed = 6;
// The ship's area: it never leaves the playfield nor rises into its upper quarter.
constexpr int16_t kShipMinX = 5, kShipMaxX = 350;
constexpr int16_t kShipMinY = 100, kShipMaxY = 330;
// The ship's hit box is the upper-left part of its picture.
constexpr int16_t kShipHitSize = 32;

// Tick step 6: moves the ship by the held arrow keys, picks its attitude
// column and clamps it to its area.
void MovePlayer(Game& g);
// Tick step 10: draws the ship, then advances and draws the engine flame.
void DrawPlayer(Game& g);
// Called on each release of Space during play: puts a shot into the lowest
// free entry of 0..9 and plays the shot sound; nothing when all ten fly.
void FireShot(Game& g);
