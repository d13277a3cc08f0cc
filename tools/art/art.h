// The art generator: every picture of the game, made from code so it can be
// rebuilt byte for byte.
#pragma once

#include <string>
#include <vector>

#include "tools/art/image.h"

namespace art {

// Sheets that the game loads but never draws: enemy shots, cell layouts of
// the same kind as the other sprite sheets.
constexpr int kBulletEnnemyCell = 4, kBulletEnnemyCells = 6;
constexpr int kBulletBossCell = 20, kBulletBossCells = 4;

// The web-link caption and where the title picture carries it.
constexpr int kLinkW = 141, kLinkH = 10, kLinkX = 132, kLinkY = 52;

Image MakeStars();
Image MakePlayer();
Image MakeReacteur();
Image MakeBullet();
Image MakeBlow();
Image MakeEnnemy(int kind);  // 0..3
Image MakeBulletEnnemy();
Image MakeBulletBoss();
Image MakeFonte();
Image MakeStatus();
Image MakeLink();
Image MakeTitle(const Image& link);
// The window icon is the 32-pixel one; the desktop icons come in every size
// below, each with IconCoverage as its transparency (192 and 512 are the
// browser build's, for its web app manifest).
constexpr int kIconSizes[] = {16, 32, 48, 64, 128, 192, 256, 512};
Image MakeIcon(int size = 32);
// The home-screen icon that the phone cuts to its own shape: opaque to the
// edges, the ship kept inside the middle circle of 4/5 the width.
constexpr int kMaskableIconSize = 512;
Image MakeMaskableIcon(int size);
std::vector<uint8_t> IconCoverage(int size);
// The Windows installer's pictures, at the sizes its wizard shows them: the
// side of its finish page and the corner of the other pages' header.
constexpr int kWizardW = 164, kWizardH = 314, kHeaderW = 150, kHeaderH = 57;
Image MakeWizardPicture();
Image MakeWizardHeader();

// Draws the player's fighter: centre line x = cx, nose at y = top, `scale`
// 1 for the 45-pixel sprite, `roll` in radians (positive dips the right wing).
void DrawShip(Sprite& s, double cx, double top, double scale, double roll);
// Draws the engine flame hanging from (cx, top); length 0 draws nothing.
void DrawFlame(Sprite& s, double cx, double top, double halfWidth, double length, int flicker);

struct ArtFile {
  std::string name;   // file name in assets/data
  std::string bytes;  // binary PPM
};
std::vector<ArtFile> GenerateArt();

}  // namespace art
