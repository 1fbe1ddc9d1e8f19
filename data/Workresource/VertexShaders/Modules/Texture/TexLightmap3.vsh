// The lightmap coordinates of set 3 in oT0.
mul oT0, v6, c94
