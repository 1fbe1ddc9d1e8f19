// Coordinate sets 0 to 3, scaled by c94.
mul oT0, v3, c94
mul oT1, v4, c94
mul oT2, v5, c94
mul oT3, v6, c94
