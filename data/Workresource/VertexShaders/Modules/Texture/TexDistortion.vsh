// Screen distortion: oT0 = v3 x c12 + c14 (the distortion map, scrolled),
// oT1 = c16 (the strength), oT2 = v3 x c13 + c15 (the screen).
mad oT0, v3, c12, c14
mov oT1, c16
mad oT2, v3, c13, c15
