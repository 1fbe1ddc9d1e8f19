// Per-pixel light at c10 on a bump map: oT0 = set 0 (the bump map),
// oT1 = the vector to the light in tangent space (for the normalisation
// cube map), oT2 = 1 / (constant + linear d + quadratic d^2) with c11.
mul oT0, v3, c94
add r5.xyz, c10, -r0
dp3 oT1.x, r5, r2
dp3 oT1.y, r5, r3
dp3 oT1.z, r5, r1
mov oT1.w, c1.w
dp3 r6.x, r5, r5
rsq r6.y, r6.x
mul r6.z, r6.x, r6.y
mad r6.w, r6.z, c11.y, c11.x
mad r6.w, r6.x, c11.z, r6.w
rcp r6.w, r6.w
rcp oT2, r6.w
