// Screen blits, four taps: oTi = v3 x c(12+i) + c(16+i).
mad oT0, v3, c12, c16
mad oT1, v3, c13, c17
mad oT2, v3, c14, c18
mad oT3, v3, c15, c19
