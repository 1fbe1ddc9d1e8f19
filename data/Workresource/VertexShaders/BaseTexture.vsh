// Position through c6-c9, vertex colour times c2, coordinate set 0.
m4x4 oPos, v0, c6
mul oD0, v2, c2
mov oT0, v3
