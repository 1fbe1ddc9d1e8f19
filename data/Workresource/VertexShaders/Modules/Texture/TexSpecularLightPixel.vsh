// Per-pixel specular: oT0 = oT2 = set 0 (normal and gloss maps), oT1 = the
// half vector between r4 (to the light, from the diffuse module) and the
// direction to the eye c10, in tangent space.
mul r7, v3, c94
mov oT0, r7
mov oT2, r7
add r5.xyz, c10, -r0
dp3 r5.w, r5, r5
rsq r5.w, r5.w
mul r5.xyz, r5, r5.w
add r6.xyz, r4, r5
dp3 oT1.x, r6, r2
dp3 oT1.y, r6, r3
dp3 oT1.z, r6, r1
mov oT1.w, c1.w
