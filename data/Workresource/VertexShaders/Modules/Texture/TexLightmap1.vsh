// The lightmap coordinates of set 1 in oT0.
mul oT0, v4, c94
