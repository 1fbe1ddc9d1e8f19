// Set 0 moved: oT0 = set 0 x c12 + c13 (the coordinate translation).
mul r5, v3, c94
mad oT0, r5, c12, c13
