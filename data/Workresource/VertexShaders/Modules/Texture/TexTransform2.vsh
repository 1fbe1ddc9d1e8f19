// Screen blits, two sets: oT0 = v3 x c13 + c15 (stage 0), oT1 = v3 x c12 + c14
// (stage 1: the alpha or second tap, which the blits scale and offset).
mad oT0, v3, c13, c15
mad oT1, v3, c12, c14
