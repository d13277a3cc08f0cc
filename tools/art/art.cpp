#include "tools/art/art.h"

namespace art {

std::vector<ArtFile> GenerateArt() {
  const Image link = MakeLink();
  return {
      {"sprStars.ppm", MakeStars().EncodePpm()},
      {"sprPlayer.ppm", MakePlayer().EncodePpm()},
      {"sprReacteur.ppm", MakeReacteur().EncodePpm()},
      {"sprBullet.ppm", MakeBullet().EncodePpm()},
      {"sprBlow.ppm", MakeBlow().EncodePpm()},
      {"sprEnnemy0.ppm", MakeEnnemy(0).EncodePpm()},
      {"sprEnnemy1.ppm", MakeEnnemy(1).EncodePpm()},
      {"sprEnnemy2.ppm", MakeEnnemy(2).EncodePpm()},
      {"sprEnnemy3.ppm", MakeEnnemy(3).EncodePpm()},
      {"sprStatus.ppm", MakeStatus().EncodePpm()},
      {"picTitle.ppm", MakeTitle(link).EncodePpm()},
      {"picFonte.ppm", MakeFonte().EncodePpm()},
      {"sprLink.ppm", link.EncodePpm()},
      {"sprBulletEnnemy.ppm", MakeBulletEnnemy().EncodePpm()},
      {"sprBulletBoss.ppm", MakeBulletBoss().EncodePpm()},
      {"icon.ppm", MakeIcon().EncodePpm()},
  };
}

}  // namespace art
