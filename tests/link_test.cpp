#include "app/link.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "tests/fakes.h"

namespace {

constexpr uint32_t kNormal = 0x0000AA, kLit = 0x00FF00, kScreen = 0x333333;

struct LinkTest : ::testing::Test, GameRig {
  LinkTest() {
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 141; ++x) gfx->sprLink.SetPixel(x, y, y < 10 ? kNormal : kLit);
    gfx->canvas.Fill(kScreen);
  }
  // The colour of the caption rectangle on the canvas, or 0 if it is not one
  // colour all over (or the rectangle's border was touched).
  uint32_t Caption() const {
    const Surface& c = gfx->canvas;
    if (c.Pixel(131, 52) != kScreen || c.Pixel(273, 61) != kScreen || c.Pixel(132, 51) != kScreen ||
        c.Pixel(272, 62) != kScreen)
      return 0;
    const uint32_t first = c.Pixel(132, 52);
    for (int y = 52; y < 62; ++y)
      for (int x = 132; x < 273; ++x)
        if (c.Pixel(x, y) != first) return 0;
    return first;
  }
  void Move(float x, float y) { Form_MouseMove(g, 0, x, y); }
  void Click(float x, float y, int16_t button = 1) { Form_MouseDown(g, button, 0, x, y); }
};

}  // namespace

TEST_F(LinkTest, HitTestIsStrictOnAllFourSides) {
  struct Case {
    float x, y;
    bool on;
  };
  const Case cases[] = {
      {133, 53, true},  {272, 61, true},  {200, 57, true},   {132.5f, 52.5f, true},
      {132, 55, false}, {150, 52, false}, {273, 61, false},  {272, 62, false},
      {0, 0, false},    {-5, 55, false},  {399, 399, false},
  };
  for (const Case& c : cases) {
    g.world.LinkHover = false;
    Move(c.x, c.y);
    EXPECT_EQ(g.world.LinkHover, c.on) << c.x << "," << c.y;
    p.urls.clear();
    Click(c.x, c.y);
    EXPECT_EQ(p.urls.size(), c.on ? 1u : 0u) << c.x << "," << c.y;
  }
}

TEST_F(LinkTest, CaptionIsRedrawnAndPresentedOncePerChangeOfHover) {
  Move(10, 10);
  EXPECT_EQ(p.presents, 0);
  EXPECT_EQ(Caption(), kScreen);

  Move(140, 55);
  EXPECT_EQ(p.presents, 1);
  EXPECT_EQ(Caption(), kLit);
  EXPECT_TRUE(g.world.LinkHover);
  EXPECT_FALSE(g.world.LinkDirty);

  Move(141, 55);
  Move(270, 60);
  EXPECT_EQ(p.presents, 1);

  Move(300, 55);
  EXPECT_EQ(p.presents, 2);
  EXPECT_EQ(Caption(), kNormal);
  EXPECT_FALSE(g.world.LinkHover);
  Move(300, 80);
  EXPECT_EQ(p.presents, 2);
}

TEST_F(LinkTest, ClicksOpenTheAddressWithAnyButtonOnlyOnTheTitleScreen) {
  // No move has lit the caption: the click counts all the same.
  Click(200, 57, 1);
  Click(200, 57, 3);
  Click(100, 57, 1);
  EXPECT_EQ(p.urls, (std::vector<std::string>{kLinkAddress, kLinkAddress}));
  EXPECT_EQ(std::string(kLinkAddress), "page/index.html");  // where the build puts the page
  EXPECT_EQ(Caption(), kScreen);  // a click draws nothing
  EXPECT_EQ(p.presents, 0);

  // During play nothing happens: no drawing, no change of hover, no address.
  g.world.GameRunning = true;
  Move(200, 57);
  Click(200, 57);
  EXPECT_FALSE(g.world.LinkHover);
  EXPECT_EQ(p.presents, 0);
  EXPECT_EQ(p.urls.size(), 2u);

  // The hover state survives play: the pointer was on the link when play
  // began, so on the title it takes a move off and back on to light again.
  g.world.GameRunning = false;
  Move(200, 57);
  g.world.GameRunning = true;
  Move(10, 10);
  g.world.GameRunning = false;
  gfx->canvas.Fill(kScreen);
  Move(201, 57);
  EXPECT_EQ(Caption(), kScreen);
  Move(10, 10);
  Move(201, 57);
  EXPECT_EQ(Caption(), kLit);
}

TEST_F(LinkTest, EventsReachTheLinkThroughTheMainWindow) {
  loop.SetTimerEnabled(TimerId::ScrollText, false);
  p.MouseAt(10, Event::Type::MouseMove, 150, 56);
  p.MouseAt(20, Event::Type::MouseDown, 150, 56);
  RunUntil(loop, p, 30);
  EXPECT_EQ(Caption(), kLit);
  EXPECT_EQ(p.urls, (std::vector<std::string>{kLinkAddress}));
}

TEST(LinkAddressTest, RelativeAddressesBecomeFileAddressesInTheGamesFolder) {
  EXPECT_EQ(AddressFromFolder("/usr/games/kestrane/", kLinkAddress),
            "file:///usr/games/kestrane/page/index.html");
  EXPECT_EQ(AddressFromFolder("/opt/k", "page/index.html"), "file:///opt/k/page/index.html");
  // Characters that would end or change a URL are escaped, byte by byte.
  EXPECT_EQ(AddressFromFolder("/home/a b/#1 100%/\xC3\xA9/", "p.html"),
            "file:///home/a%20b/%231%20100%25/%C3%A9/p.html");
  EXPECT_EQ(AddressFromFolder("/x/", "https://example.org/a b"), "https://example.org/a b");
  // Windows folders, as its platform gives them: a drive's path gets the
  // URL's leading slash and keeps its colon, a share's server is the host.
  EXPECT_EQ(AddressFromFolder("C:\\Program Files\\Kestrane\\", kLinkAddress),
            "file:///C:/Program%20Files/Kestrane/page/index.html");
  EXPECT_EQ(AddressFromFolder("z:/run-\xC3\xA9", "p.html"), "file:///z:/run-%C3%A9/p.html");
  EXPECT_EQ(AddressFromFolder("\\\\server\\games\\k:1\\", "p.html"),
            "file://server/games/k%3A1/p.html");
  // Only a drive's own colon is kept; a POSIX folder's backslash is a name.
  EXPECT_EQ(AddressFromFolder("/a\\b:/", "p.html"), "file:///a%5Cb%3A/p.html");
}
