// Coordinate set 0, scaled by c94.
mul oT0, v3, c94
