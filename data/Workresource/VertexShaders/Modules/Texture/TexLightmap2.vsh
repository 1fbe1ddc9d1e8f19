// The lightmap coordinates of set 2 in oT0.
mul oT0, v5, c94
