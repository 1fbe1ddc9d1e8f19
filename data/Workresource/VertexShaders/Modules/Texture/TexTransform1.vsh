// Screen blits: oT0 = v3 x c12 + c13.
mad oT0, v3, c12, c13
