// Sprite rectangles: the unit square in v0 carried by c10, c11 as the
// screen blits do; vertex colour times c2; coordinate set 0.
mad oPos, v0, c10, c11
mul oD0, v2, c2
mov oT0, v3
