// Specular lightmap: oT0 = set 0 (normal map), oT1 = the half vector of r4
// and the eye c10 in tangent space, oT2 = lightmap set 3.
mul oT0, v3, c94
mul oT2, v6, c94
add r5.xyz, c10, -r0
dp3 r5.w, r5, r5
rsq r5.w, r5.w
mul r5.xyz, r5, r5.w
add r6.xyz, r4, r5
dp3 oT1.x, r6, r2
dp3 oT1.y, r6, r3
dp3 oT1.z, r6, r1
mov oT1.w, c1.w
