// Coordinate sets 0 and 1, scaled by c94.
mul oT0, v3, c94
mul oT1, v4, c94
