// Projected texture: c2 scaled by the projector's reach. The projector
// stands at c10.xyz and looks along -c11; d = distance of the vertex along
// the projection. Term = clamp(c16.x d + c16.y, 0, 1) (fade)
// x (d >= c10.w) (culling bias) x (c12.x + c12.y x (N.c11 >= 0)) (two-way,
// or facing the projector only).
add r5.xyz, r0, -c10
dp3 r6.x, r5, c11
mad r6.y, -r6.x, c16.x, c16.y
max r6.y, r6.y, c0.x
min r6.y, r6.y, c1.x
sge r6.z, -r6.x, c10.w
dp3 r6.w, r1, c11
sge r6.w, r6.w, c0.x
mad r6.w, r6.w, c12.y, c12.x
mul r6.y, r6.y, r6.z
mul r6.y, r6.y, r6.w
mul oD0, c2, r6.y
