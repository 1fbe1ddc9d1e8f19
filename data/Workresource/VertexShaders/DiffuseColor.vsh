// Position through c6-c9, vertex colour times c2.
m4x4 oPos, v0, c6
mul oD0, v2, c2
