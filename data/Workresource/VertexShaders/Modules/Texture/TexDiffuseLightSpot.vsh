// As TexDiffuseLightPoint, with the spot term of c12 (direction) and
// c13 (-s, cos(cone) s) clamped to 0..1 folded into oT2.
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
mul r7.xyz, r5, r6.y
dp3 r7.x, -r7, c12
mad r7.x, r7.x, c13.x, c13.y
max r7.x, r7.x, c0.x
min r7.x, r7.x, c1.x
mul oT2, r6.w, r7.x
