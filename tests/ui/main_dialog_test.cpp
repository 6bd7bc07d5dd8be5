#include "ui/main_dialog.h"

#include <gtest/gtest.h>

namespace {

POINT centre(LONG desktopRight, LONG desktopBottom, RECT window) {
  const RECT desktop = {0, 0, desktopRight, desktopBottom};
  return centredOrigin(desktop, window);
}

TEST(CentredOrigin, halvesTheDesktopAndTheWindowEdgesSeparately) {
  POINT origin = centre(1920, 1080, {0, 0, 500, 120});
  EXPECT_EQ(origin.x, 710);
  EXPECT_EQ(origin.y, 480);
  // 960 - 267, not (1920 - 535) / 2 = 692.
  origin = centre(1920, 1080, {0, 0, 535, 121});
  EXPECT_EQ(origin.x, 693);
  EXPECT_EQ(origin.y, 480);
}

TEST(CentredOrigin, usesTheEdgesAsGivenNotTheSize) {
  // A window that is not at 0,0 is placed by its right and bottom edges.
  const POINT origin = centre(1024, 768, {100, 50, 600, 170});
  EXPECT_EQ(origin.x, 512 - 300);
  EXPECT_EQ(origin.y, 384 - 85);
}

TEST(CentredOrigin, truncatesNegativeHalvesTowardZero) {
  const POINT origin = centre(1025, 769, {-301, -41, -1, -1});
  EXPECT_EQ(origin.x, 512 - 0);
  EXPECT_EQ(origin.y, 384 - 0);
  const POINT wide = centre(101, 51, {0, 0, -3, -5});
  EXPECT_EQ(wide.x, 50 - (-1));
  EXPECT_EQ(wide.y, 25 - (-2));
}

} // namespace
