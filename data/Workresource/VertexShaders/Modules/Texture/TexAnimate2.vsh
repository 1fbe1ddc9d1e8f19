// Set 0 moved by c12, c13; set 1 (the lightmap) moved by c14.
mul r5, v3, c94
mad oT0, r5, c12, c13
mul r6, v4, c94
add oT1, r6, c14
