#pragma once
// The transition effects by number. An effect id is the ordinal of TIETransitionType; the engine
// draws id n with row n of EffectTable (ie_effect_table.h), ids 1 to 30 and the pan-zoom (213) by
// itself. The table has two rows more than this list ("Reverse Page Flip" and "Reverse Page Flip
// 2" at 188 and 189), so from 188 on an identifier names the effect two rows further down while
// the id still draws its own row: iettZigzagWipeToHorizon (188) draws "Reverse Page Flip". Id 214
// has no identifier and draws "Explosion Wipe In and Out".
#include <cstdint>

enum TIETransitionType : uint8_t {
  iettNone, iettCrossDissolve, iettFadeOut, iettFadeIn, iettFadeOutIn, iettLeftRight1, iettLeftRight2,
  iettRightLeft1, iettRightLeft2, iettUpDown1, iettUpDown2, iettDownUp1, iettDownUp2, iettFromUpLeft,
  iettFromUpRight, iettFromBottomLeft, iettFromBottomRight, iettMoveLeftRight1, iettMoveLeftRight2,
  iettMoveRightLeft1, iettMoveRightLeft2, iettMoveUpDown1, iettMoveUpDown2, iettMoveDownUp1, iettMoveDownUp2,
  iettRandomPoints, iettRandomBoxes, iettCenter1, iettCenter2, iettCenterZoom1, iettCenterZoom2,
  iettExpandFromLeft, iettExpandFromRight, iettExpandFromTop, iettExpandFromBottom, iettExpandFromTopLeft,
  iettExpandFromTopRight, iettExpandFromBottomLeft, iettExpandFromBottomRight, iettExpandInFromLeft,
  iettExpandInFromRight, iettExpandInFromTop, iettExpandInFromBottom, iettExpandInToVerticalCenter,
  iettExpandInToHorizon, iettExpandInFromSides, iettExpandInFromTopAndBottom, iettExpandOutFromHorizon,
  iettExpandOutFromVerticalCenter, iettWipeFromTopLeft, iettWipeFromTopRight, iettWipeFromBottomLeft,
  iettWipeFromBottomRight, iettWipeInFromTopAndBottom, iettWipeFromHorizon, iettWipeInFromSides,
  iettWipeOutFromVerticalCenter, iettBuildUpFromLeft, iettBuildUpFromRight, iettBuildUpFromTop,
  iettBuildUpFromBottom, iettUnrollFromLeft, iettUnrollFromRight, iettUnrollFromTop, iettUnrollFromBottom,
  iettSlideInFromLeft, iettSlideInFromRight, iettSlideInFromTop, iettSlideInFromBottom, iettShrinkToTopLeft,
  iettShrinkToTopRight, iettShrinkToBottomLeft, iettShrinkToBottomRight, iettShrinkToCenter,
  iettQuartersWipeInToCenter, iettQuartersExpandToCenter, iettQuartersSlideInToCenter, iettCurvedWipeFromLeft,
  iettCurvedWipeFromRight, iettCurvedWipeFromTop, iettCurvedWipeFromBottom, iettCurvedWipeFromTopLeft,
  iettCurvedWipeFromTopRight, iettCurvedWipeFromBottomLeft, iettCurvedWipeFromBottomRight, iettBarsInFromLeft,
  iettBarsInFromRight, iettBarsFromTop, iettBarsFromBottom, iettBarsLeftThenRight, iettBarsRightThenLeft,
  iettBarsTopThenBottom, iettBarsBottomThenTop, iettBarsFrombothSides, iettBarsFromTopAndBottom,
  iettShreddedFromLeft, iettShreddedFromRight, iettShreddedFromTop, iettShreddedFromBottom,
  iettShreddedFromTopAndLeft, iettShreddedFromTopAndRight, iettShreddedFromBottomAndLeft,
  iettShreddedFromBottomAndRight, iettShreddedFromHorizonAndLeft, iettShreddedFromHorizonAndRight,
  iettShreddedFromTopAndVerticalCenter, iettShreddedFromBottomAndVerticalCenter, iettShreddedFromCenter,
  iettShreddedToCenter, iettShreddedInToHorizon, iettShreddedInToVerticalCenter, iettShreddedOutFromHorizon,
  iettShreddedOutFromVerticalCenter, iettExpandingRectangles, iettExpandingTriangles, iettExpandingCircles,
  iettExpandingDiamonds, iettCircularWipeFromCenter, iettCircularWipeToCenter, iettCrisscrossWipeFromTopLeft,
  iettCrisscrossWipeFromTopRight, iettCrisscrossWipeFromBottomLeft, iettCrisscrossWipeFromBottomRight,
  iettCrisscrossWipeBounceFromTopLeft, iettCrisscrossWipeBounceFromTopRight,
  iettCrisscrossWipeBounceFromBottomLeft, iettCrisscrossWipeBounceFromBottomRight,
  iettCrisscrossWipeFromLeftRightAndTop, iettCrisscrossWipeFromLeftRightAndBottom,
  iettCrisscrossWipeFromLeftTopAndBottom, iettCrisscrossWipeFromTopLeftRightAndBottom,
  iettCrisscrossWipeFromRightTopAndBottom, iettCrisscrossWipeFromBottomLeftTopRight, iettWipeDiagonalFromTopLeft,
  iettWipeDiagonalFromTopRight, iettWipeDiagonalFromBottomLeft, iettWipeDiagonalFromBottomRight,
  iettDiagonalSweepClockwise, iettDiagonalSweepCounterClockwise, iettSweepClockwise, iettSweepCounterClockwise,
  iettStarburstClockwiseFromCenter, iettStarburstCounterClockwiseFromCenter, iettRotationalRectangle,
  iettRotationalRectangleCounterClockwise, iettRotationalStar, iettRotationalStarCounterClockwise,
  iettSpeckledWipeFromLeft, iettSpeckledWipeFromRight, iettSpeckledWipeFromTop, iettSpeckledWipeFromBottom,
  iettPushLeftAndSlideOut, iettPushRightAndSlideOut, iettPushUpAndSlideOut, iettPushDownAndSlideOut,
  iettPushAndSqueezeLeft, iettPushAndSqueezeRight, iettPushAndSqueezeUp, iettPushAndSqueezeDown,
  iettHorizontalBlinds, iettVerticalBlinds, iettUnevenBlindsFromLeft, iettUnevenBlindsFromRight,
  iettUnevenBlindsFromTop, iettUnevenBlindsFromBottom, iettRectanglesFromTheLeft, iettRectanglesFromTheRight,
  iettRectanglesFromTheTop, iettRectanglesFromTheBottom, iettSpirallingRectangleClockwise,
  iettSpirallingRectangleCounterClockwise, iettArrowWipeFromLeft, iettArrowWipeFromRight, iettArrowWipeFromTop,
  iettArrowWipeFromBottom, iettHorizontalBowTieWipe, iettVerticalBowTieWipe, iettDiagonalCrossFromCenter,
  iettDiagonalCrossToCenter, iettZigzagWipeFromHorizon, iettZigzagWipeFromVerticalCenter,
  iettDiamondWipeFromCenter, iettDiamondWipeToCenter, iettDiagonalBoxWipe, iettTriangularWipeEffect,
  iettRandomBigBoxesEffect, iettPageFlipEffect, iettPageFlipEffect2, iettZigzagWipeToHorizon,
  iettZigzagWipeToVerticalCenter, iettRandomHearts, iettRandomStar5s, iettRandomStar6s, iettRandomExplosions,
  iettExpandingHearts, iettExpandingStar5, iettExpandingStar6, iettExpandingExplosions,
  iettExpandingLightningBolts, iettHeartWipeOut, iettHeartWipeIn, iettStar5WipeOut, iettStar5WipeIn,
  iettStar6WipeOut, iettStar6WipeIn, iettExplosionWipeOut, iettExplosionWipeIn, iettCrossWipeOut, iettCrossWipeIn,
  iettHeartWipeInAndOut, iettStar5WipeInAndOut, iettStar6WipeInAndOut, iettExplosionWipeInAndOut, iettPanZoom
};

// The effect rows: ids 1 .. kEffectCount; 0 is no effect.
constexpr int32_t kEffectCount = 214;
