// Vertex colour times the material colour.
mul oD0, v2, c2
