// The effect table: the 214 effect rows in id order. Rows 1 .. 30 are drawn by the engine itself
// and have no procedure; row 213's effect is the engine's pan-zoom, so its procedure is never
// called. The block effects copy and stretch pictures; the region effects (curved wipes, bars,
// shreds, shapes, sweeps, blinds, ...) show the end picture through clip regions.
#include "imaging/processing/transitions/ie_effect_table.h"

#include "imaging/processing/transitions/ie_block_effects.h"
#include "imaging/processing/transitions/ie_region_effects.h"

using namespace block_effects;
using namespace region_effects;

extern constexpr TEffect EffectTable[kEffectCount] = {
    {"Cross Fade", nullptr, 0, true},  // 1
    {"Fade Out", nullptr, 17, false},  // 2
    {"Fade In", nullptr, 17, false},  // 3
    {"Fade Out then In", nullptr, 0, false},  // 4
    {"Wipe Left to Right", nullptr, 1, true},  // 5
    {"Wipe Left to Right 2", nullptr, 1, true},  // 6
    {"Wipe Right to Left", nullptr, 1, true},  // 7
    {"Wipe Right to Left 2", nullptr, 1, true},  // 8
    {"Wipe Top to Bottom", nullptr, 1, true},  // 9
    {"Wipe Top to Bottom 2", nullptr, 1, true},  // 10
    {"Wipe Bottom to Top", nullptr, 1, true},  // 11
    {"Wipe Bottom to Top 2", nullptr, 1, true},  // 12
    {"Slide from Top Left", nullptr, 9, false},  // 13
    {"Slide from Top Right", nullptr, 9, false},  // 14
    {"Slide from Bottom Left", nullptr, 9, false},  // 15
    {"Slide from Bottom Right", nullptr, 9, false},  // 16
    {"Push Left to Right", nullptr, 10, false},  // 17
    {"Slide Out Left to Right", nullptr, 9, false},  // 18
    {"Push Right to Left", nullptr, 10, false},  // 19
    {"Slide Out Right to Left", nullptr, 9, false},  // 20
    {"Push Top to Bottom", nullptr, 10, false},  // 21
    {"Slide Out Top to Bottom", nullptr, 9, false},  // 22
    {"Push Bottom to Top", nullptr, 10, false},  // 23
    {"Slide Out Bottom to Top", nullptr, 9, false},  // 24
    {"Random Points", nullptr, 14, true},  // 25
    {"Random Boxes", nullptr, 14, true},  // 26
    {"Wipe Out from Center", nullptr, 1, true},  // 27
    {"Wipe In to Center", nullptr, 1, true},  // 28
    {"Expand Out from Center", nullptr, 12, false},  // 29
    {"Expand In to Center", nullptr, 12, false},  // 30
    {"Expand from Left", &Blocks<kExpandFromLeft>, 12, false},  // 31
    {"Expand from Right", &Blocks<kExpandFromRight>, 12, false},  // 32
    {"Expand from Top", &Blocks<kExpandFromTop>, 12, false},  // 33
    {"Expand from Bottom", &Blocks<kExpandFromBottom>, 12, false},  // 34
    {"Expand from Top Left", &Blocks<kExpandFromTopLeft>, 12, false},  // 35
    {"Expand from Top Right", &Blocks<kExpandFromTopRight>, 12, false},  // 36
    {"Expand from Bottom Left", &Blocks<kExpandFromBottomLeft>, 12, false},  // 37
    {"Expand from Bottom Right", &Blocks<kExpandFromBottomRight>, 12, false},  // 38
    {"Expand in from Left", &Blocks<kExpandInFromLeft>, 12, false},  // 39
    {"Expand in from Right", &Blocks<kExpandInFromRight>, 12, false},  // 40
    {"Expand in from Top", &Blocks<kExpandInFromTop>, 12, false},  // 41
    {"Expand in from Bottom", &Blocks<kExpandInFromBottom>, 12, false},  // 42
    {"Expand in to Vertical Center", &Blocks<kExpandInToVerticalCenter>, 12, false},  // 43
    {"Expand in to Horizon", &Blocks<kExpandInToHorizon>, 12, false},  // 44
    {"Expand in from Sides", &Blocks<kExpandInFromSides>, 12, false},  // 45
    {"Expand in from Top and Bottom", &Blocks<kExpandInFromTopAndBottom>, 12, false},  // 46
    {"Expand out from Horizon", &Blocks<kExpandOutFromHorizon>, 12, false},  // 47
    {"Expand out from Vertical Center", &Blocks<kExpandOutFromVerticalCenter>, 12, false},  // 48
    {"Wipe from Top Left", &Blocks<kWipeFromTopLeft>, 1, true},  // 49
    {"Wipe from Top Right", &Blocks<kWipeFromTopRight>, 1, true},  // 50
    {"Wipe from Bottom Left", &Blocks<kWipeFromBottomLeft>, 1, true},  // 51
    {"Wipe from Bottom Right", &Blocks<kWipeFromBottomRight>, 1, true},  // 52
    {"Wipe in from Top and Bottom", &Blocks<kWipeInFromTopAndBottom>, 1, true},  // 53
    {"Wipe from Horizon", &Blocks<kWipeFromHorizon>, 1, true},  // 54
    {"Wipe in from Sides", &Blocks<kWipeInFromSides>, 1, true},  // 55
    {"Wipe out from Vertical Center", &Blocks<kWipeOutFromVerticalCenter>, 1, true},  // 56
    {"Build up from Left", &BuildUp<esLeft>, 16, false},  // 57
    {"Build up from Right", &BuildUp<esRight>, 16, false},  // 58
    {"Build up from Top", &BuildUp<esTop>, 16, false},  // 59
    {"Build up from Bottom", &BuildUp<esBottom>, 16, false},  // 60
    {"Unroll from Left", &Unroll<esLeft>, 2, true},  // 61
    {"Unroll from Right", &Unroll<esRight>, 2, true},  // 62
    {"Unroll from Top", &Unroll<esTop>, 2, true},  // 63
    {"Unroll from Bottom", &Unroll<esBottom>, 2, true},  // 64
    {"Slide in from Left", &Blocks<kSlideInFromLeft>, 9, false},  // 65
    {"Slide in from Right", &Blocks<kSlideInFromRight>, 9, false},  // 66
    {"Slide in from Top", &Blocks<kSlideInFromTop>, 9, false},  // 67
    {"Slide in from Bottom", &Blocks<kSlideInFromBottom>, 9, false},  // 68
    {"Shrink to Top Left", &Blocks<kShrinkToTopLeft>, 11, false},  // 69
    {"Shrink to Top Right", &Blocks<kShrinkToTopRight>, 11, false},  // 70
    {"Shrink to Bottom Left", &Blocks<kShrinkToBottomLeft>, 11, false},  // 71
    {"Shrink to Bottom Right", &Blocks<kShrinkToBottomRight>, 11, false},  // 72
    {"Shrink to Center", &Blocks<kShrinkToCenter>, 11, false},  // 73
    {"Quarters Wipe in to Center", &Blocks<kQuartersWipeInToCenter>, 1, true},  // 74
    {"Quarters Expand to Center", &Blocks<kQuartersExpandToCenter>, 12, false},  // 75
    {"Quarters Slide in to Center", &Blocks<kQuartersSlideInToCenter>, 9, false},  // 76
    {"Curved Wipe from Left", &RegionEffect<kCurvedWipeFromLeft>, 3, true},  // 77
    {"Curved Wipe from Right", &RegionEffect<kCurvedWipeFromRight>, 3, true},  // 78
    {"Curved Wipe from Top", &RegionEffect<kCurvedWipeFromTop>, 3, true},  // 79
    {"Curved Wipe from Bottom", &RegionEffect<kCurvedWipeFromBottom>, 3, true},  // 80
    {"Curved Wipe from Top Left", &RegionEffect<kCurvedWipeFromTopLeft>, 3, true},  // 81
    {"Curved Wipe from Top Right", &RegionEffect<kCurvedWipeFromTopRight>, 3, true},  // 82
    {"Curved Wipe from Bottom Left", &RegionEffect<kCurvedWipeFromBottomLeft>, 3, true},  // 83
    {"Curved Wipe from Bottom Right", &RegionEffect<kCurvedWipeFromBottomRight>, 3, true},  // 84
    {"Bars in from Left", &RegionEffect<kBarsInFromLeft>, 8, true},  // 85
    {"Bars in from Right", &RegionEffect<kBarsInFromRight>, 8, true},  // 86
    {"Bars from Top", &RegionEffect<kBarsFromTop>, 8, true},  // 87
    {"Bars from Bottom", &RegionEffect<kBarsFromBottom>, 8, true},  // 88
    {"Bars Left then Right", &RegionEffect<kBarsLeftThenRight>, 8, true},  // 89
    {"Bars Right then Left", &RegionEffect<kBarsRightThenLeft>, 8, true},  // 90
    {"Bars Top then Bottom", &RegionEffect<kBarsTopThenBottom>, 8, true},  // 91
    {"Bars Bottom then Top", &RegionEffect<kBarsBottomThenTop>, 8, true},  // 92
    {"Bars from both Sides", &RegionEffect<kBarsFromBothSides>, 8, true},  // 93
    {"Bars from Top and Bottom", &RegionEffect<kBarsFromTopAndBottom>, 8, true},  // 94
    {"Shredded from Left", &RegionEffect<kShreddedFromLeft>, 7, true},  // 95
    {"Shredded from Right", &RegionEffect<kShreddedFromRight>, 7, true},  // 96
    {"Shredded from Top", &RegionEffect<kShreddedFromTop>, 7, true},  // 97
    {"Shredded from Bottom", &RegionEffect<kShreddedFromBottom>, 7, true},  // 98
    {"Shredded from Top and Left", &RegionEffect<kShreddedFromTopAndLeft>, 7, true},  // 99
    {"Shredded from Top and Right", &RegionEffect<kShreddedFromTopAndRight>, 7, true},  // 100
    {"Shredded from Bottom and Left", &RegionEffect<kShreddedFromBottomAndLeft>, 7, true},  // 101
    {"Shredded from Bottom and Right", &RegionEffect<kShreddedFromBottomAndRight>, 7, true},  // 102
    {"Shredded from Horizon and Left", &RegionEffect<kShreddedFromHorizonAndLeft>, 7, true},  // 103
    {"Shredded from Horizon and Right", &RegionEffect<kShreddedFromHorizonAndRight>, 7, true},  // 104
    {"Shredded from Top and Vertical Center", &RegionEffect<kShreddedFromTopAndVerticalCenter>, 7, true},  // 105
    {"Shredded from Bottom and Vertical Center", &RegionEffect<kShreddedFromBottomAndVerticalCenter>, 7, true},  // 106
    {"Shredded from Center", &RegionEffect<kShreddedFromCenter>, 7, true},  // 107
    {"Shredded to Center", &RegionEffect<kShreddedToCenter>, 7, true},  // 108
    {"Shredded in to Horizon", &RegionEffect<kShreddedInToHorizon>, 7, true},  // 109
    {"Shredded in to Vertical Center", &RegionEffect<kShreddedInToVerticalCenter>, 7, true},  // 110
    {"Shredded out from Horizon", &RegionEffect<kShreddedOutFromHorizon>, 7, true},  // 111
    {"Shredded out from Vertical Center", &RegionEffect<kShreddedOutFromVerticalCenter>, 7, true},  // 112
    {"Expanding Rectangles", &RegionEffect<kExpandingRectangles>, 13, true},  // 113
    {"Expanding Triangles", &RegionEffect<kExpandingTriangles>, 13, true},  // 114
    {"Expanding Circles", &RegionEffect<kExpandingCircles>, 13, true},  // 115
    {"Expanding Diamonds", &RegionEffect<kExpandingDiamonds>, 13, true},  // 116
    {"Circular Wipe from Center", &RegionEffect<kCircularWipeFromCenter>, 5, true},  // 117
    {"Circular Wipe to Center", &RegionEffect<kCircularWipeToCenter>, 5, true},  // 118
    {"Crisscross Wipe from Top Left", &RegionEffect<kCrisscrossFromTopLeft>, 8, true},  // 119
    {"Crisscross Wipe from Top Right", &RegionEffect<kCrisscrossFromTopRight>, 8, true},  // 120
    {"Crisscross Wipe from Bottom Left", &RegionEffect<kCrisscrossFromBottomLeft>, 8, true},  // 121
    {"Crisscross Wipe from Bottom Right", &RegionEffect<kCrisscrossFromBottomRight>, 8, true},  // 122
    {"Crisscross Wipe Bounce from Top Left", &RegionEffect<kCrisscrossBounceFromTopLeft>, 8, true},  // 123
    {"Crisscross Wipe Bounce from Top Right", &RegionEffect<kCrisscrossBounceFromTopRight>, 8, true},  // 124
    {"Crisscross Wipe Bounce from Bottom Left", &RegionEffect<kCrisscrossBounceFromBottomLeft>, 8, true},  // 125
    {"Crisscross Wipe Bounce from Bottom Right", &RegionEffect<kCrisscrossBounceFromBottomRight>, 8, true},  // 126
    {"Crisscross Wipe from Left Right and Top", &RegionEffect<kCrisscrossFromLeftRightAndTop>, 8, true},  // 127
    {"Crisscross Wipe from Left Right and Bottom", &RegionEffect<kCrisscrossFromLeftRightAndBottom>, 8, true},  // 128
    {"Crisscross Wipe from Left Top and Bottom", &RegionEffect<kCrisscrossFromLeftTopAndBottom>, 8, true},  // 129
    {"Crisscross Wipe from Top Left Right and Bottom", &RegionEffect<kCrisscrossFromTopLeftRightAndBottom>, 8, true},  // 130
    {"Crisscross Wipe from Right Top and Bottom", &RegionEffect<kCrisscrossFromRightTopAndBottom>, 8, true},  // 131
    {"Crisscross Wipe from Bottom Left Top Right", &RegionEffect<kCrisscrossFromBottomLeftTopRight>, 8, true},  // 132
    {"Wipe diagonal from Top Left", &RegionEffect<kWipeDiagonalFromTopLeft>, 4, true},  // 133
    {"Wipe diagonal from Top Right", &RegionEffect<kWipeDiagonalFromTopRight>, 4, true},  // 134
    {"Wipe diagonal from Bottom Left", &RegionEffect<kWipeDiagonalFromBottomLeft>, 4, true},  // 135
    {"Wipe diagonal from Bottom Right", &RegionEffect<kWipeDiagonalFromBottomRight>, 4, true},  // 136
    {"Diagonal Sweep Clockwise", &RegionEffect<kDiagonalSweepClockwise>, 15, true},  // 137
    {"Diagonal Sweep Counter-Clockwise", &RegionEffect<kDiagonalSweepCounterClockwise>, 15, true},  // 138
    {"Sweep Clockwise", &RegionEffect<kSweepClockwise>, 15, true},  // 139
    {"Sweep Counter-Clockwise", &RegionEffect<kSweepCounterClockwise>, 15, true},  // 140
    {"Starburst Clockwise", &RegionEffect<kStarburstClockwise>, 15, true},  // 141
    {"Starburst Counter-Clockwise", &RegionEffect<kStarburstCounterClockwise>, 15, true},  // 142
    {"Rotational Rectangle Clockwise", &RegionEffect<kRotationalRectangle>, 15, true},  // 143
    {"Rotational Rectangle Counter-Clockwise", &RegionEffect<kRotationalRectangleCounterClockwise>, 15, true},  // 144
    {"Rotational Star Clockwise", &RegionEffect<kRotationalStar>, 15, true},  // 145
    {"Rotational Star Counter-Clockwise", &RegionEffect<kRotationalStarCounterClockwise>, 15, true},  // 146
    {"Speckled Wipe from Left", &RegionEffect<kSpeckledWipeFromLeft>, 2, true},  // 147
    {"Speckled Wipe from Right", &RegionEffect<kSpeckledWipeFromRight>, 2, true},  // 148
    {"Speckled Wipe from Top", &RegionEffect<kSpeckledWipeFromTop>, 2, true},  // 149
    {"Speckled Wipe from Bottom", &RegionEffect<kSpeckledWipeFromBottom>, 2, true},  // 150
    {"Push Left and Slide out", &Blocks<kPushLeftAndSlideOut>, 10, false},  // 151
    {"Push Right and Slide out", &Blocks<kPushRightAndSlideOut>, 10, false},  // 152
    {"Push up and Slide out", &Blocks<kPushUpAndSlideOut>, 10, false},  // 153
    {"Push down and Slide out", &Blocks<kPushDownAndSlideOut>, 10, false},  // 154
    {"Push and Squeeze Left", &Blocks<kPushAndSqueezeLeft>, 10, false},  // 155
    {"Push and Squeeze Right", &Blocks<kPushAndSqueezeRight>, 10, false},  // 156
    {"Push and Squeeze up", &Blocks<kPushAndSqueezeUp>, 10, false},  // 157
    {"Push and Squeeze down", &Blocks<kPushAndSqueezeDown>, 10, false},  // 158
    {"Horizontal Blinds", &RegionEffect<kHorizontalBlinds>, 16, true},  // 159
    {"Vertical Blinds", &RegionEffect<kVerticalBlinds>, 16, true},  // 160
    {"Uneven Blinds from Left", &RegionEffect<kUnevenBlindsFromLeft>, 16, true},  // 161
    {"Uneven Blinds from Right", &RegionEffect<kUnevenBlindsFromRight>, 16, true},  // 162
    {"Uneven Blinds from Top", &RegionEffect<kUnevenBlindsFromTop>, 16, true},  // 163
    {"Uneven Blinds from Bottom", &RegionEffect<kUnevenBlindsFromBottom>, 16, true},  // 164
    {"Rectangles from the Left", &RegionEffect<kRectanglesFromTheLeft>, 17, true},  // 165
    {"Rectangles from the Right", &RegionEffect<kRectanglesFromTheRight>, 17, true},  // 166
    {"Rectangles from the Top", &RegionEffect<kRectanglesFromTheTop>, 17, true},  // 167
    {"Rectangles from the Bottom", &RegionEffect<kRectanglesFromTheBottom>, 17, true},  // 168
    {"Spiralling Rectangle Clockwise", &RegionEffect<kSpirallingRectangle>, 15, true},  // 169
    {"Spiralling Rectangle Counter-Clockwise", &RegionEffect<kSpirallingRectangleCounterClockwise>, 15, true},  // 170
    {"Arrow Wipe from Left", &RegionEffect<kArrowWipeFromLeft>, 4, true},  // 171
    {"Arrow Wipe from Right", &RegionEffect<kArrowWipeFromRight>, 4, true},  // 172
    {"Arrow Wipe from Top", &RegionEffect<kArrowWipeFromTop>, 4, true},  // 173
    {"Arrow Wipe from Bottom", &RegionEffect<kArrowWipeFromBottom>, 4, true},  // 174
    {"Horizontal Bow Tie Wipe", &RegionEffect<kHorizontalBowTieWipe>, 4, true},  // 175
    {"Vertical Bow Tie Wipe", &RegionEffect<kVerticalBowTieWipe>, 4, true},  // 176
    {"Diagonal Cross from Center", &RegionEffect<kDiagonalCrossFromCenter>, 5, true},  // 177
    {"Diagonal Cross to Center", &RegionEffect<kDiagonalCrossToCenter>, 5, true},  // 178
    {"Zigzag Wipe from Horizon", &RegionEffect<kZigzagWipeFromHorizon>, 4, true},  // 179
    {"Zigzag Wipe from Vertical Center", &RegionEffect<kZigzagWipeFromVerticalCenter>, 4, true},  // 180
    {"Diamond Wipe from Center", &RegionEffect<kDiamondWipeFromCenter>, 5, true},  // 181
    {"Diamond Wipe to Center", &RegionEffect<kDiamondWipeToCenter>, 5, true},  // 182
    {"Diamond Wipe In and Out", &RegionEffect<kDiamondWipeInAndOut>, 6, true},  // 183
    {"Triangular Wipe", &TriangularWipe, 4, true},  // 184
    {"Random Big Boxes", &RegionEffect<kRandomBigBoxes>, 14, true},  // 185
    {"Page Flip", &PageFlip<false, false>, 0, false},  // 186
    {"Page Flip 2", &PageFlip<false, true>, 0, false},  // 187
    {"Reverse Page Flip", &PageFlip<true, false>, 0, false},  // 188
    {"Reverse Page Flip 2", &PageFlip<true, true>, 0, false},  // 189
    {"Zigzag Wipe To Horizon", &RegionEffect<kZigzagWipeToHorizon>, 4, true},  // 190
    {"Zigzag Wipe To Vertical Center", &RegionEffect<kZigzagWipeToVerticalCenter>, 4, true},  // 191
    {"Random Hearts", &RegionEffect<kRandomHearts>, 14, true},  // 192
    {"Random 5 Pointed Stars", &RegionEffect<kRandomStar5s>, 14, true},  // 193
    {"Random 6 Pointed Stars", &RegionEffect<kRandomStar6s>, 14, true},  // 194
    {"Random Explosions", &RegionEffect<kRandomExplosions>, 14, true},  // 195
    {"Expanding Hearts", &RegionEffect<kExpandingHearts>, 13, true},  // 196
    {"Expanding 5 Pointed Stars", &RegionEffect<kExpandingStar5s>, 13, true},  // 197
    {"Expanding 6 Pointed Stars", &RegionEffect<kExpandingStar6s>, 13, true},  // 198
    {"Expanding Explosions", &RegionEffect<kExpandingExplosions>, 13, true},  // 199
    {"Expanding Lightning Bolts", &RegionEffect<kExpandingLightningBolts>, 13, true},  // 200
    {"Heart Wipe from Center", &RegionEffect<kHeartWipeFromCenter>, 5, true},  // 201
    {"Heart Wipe to Center", &RegionEffect<kHeartWipeToCenter>, 5, true},  // 202
    {"5 Pointed Star Wipe from Center", &RegionEffect<kStar5WipeFromCenter>, 5, true},  // 203
    {"5 Pointed Star Wipe to Center", &RegionEffect<kStar5WipeToCenter>, 5, true},  // 204
    {"6 Pointed Star Wipe from Center", &RegionEffect<kStar6WipeFromCenter>, 5, true},  // 205
    {"6 Pointed Star Wipe to Center", &RegionEffect<kStar6WipeToCenter>, 5, true},  // 206
    {"Explosion Wipe from Center", &RegionEffect<kExplosionWipeFromCenter>, 5, true},  // 207
    {"Explosion Wipe to Center", &RegionEffect<kExplosionWipeToCenter>, 5, true},  // 208
    {"Cross Wipe from Center", &RegionEffect<kCrossWipeFromCenter>, 5, true},  // 209
    {"Cross Wipe to Center", &RegionEffect<kCrossWipeToCenter>, 5, true},  // 210
    {"Heart Wipe In and Out", &RegionEffect<kHeartWipeInAndOut>, 6, true},  // 211
    {"5 Pointed Star Wipe In and Out", &RegionEffect<kStar5WipeInAndOut>, 6, true},  // 212
    {"6 Pointed Star Wipe In and Out", &RegionEffect<kStar6WipeInAndOut>, 6, true},  // 213
    {"Explosion Wipe In and Out", &RegionEffect<kExplosionWipeInAndOut>, 6, true},  // 214
};

static_assert(iettPanZoom == 213 && kEffectCount == 214);
