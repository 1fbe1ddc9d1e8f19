// X-ray glow: with the model-to-view rows c14-c17, e = 1 - |N.V| in view
// space; oD0 = (c2.rgb x (c11.x e + c11.y), c2.a x (c11.z e + c11.w)).
m4x4 oPos, v0, c6
dp4 r0.x, v0, c14
dp4 r0.y, v0, c15
dp4 r0.z, v0, c16
dp3 r1.x, v1, c14
dp3 r1.y, v1, c15
dp3 r1.z, v1, c16
dp3 r0.w, r0, r0
rsq r0.w, r0.w
mul r0.xyz, r0, r0.w
dp3 r1.w, r1, r1
rsq r1.w, r1.w
mul r1.xyz, r1, r1.w
dp3 r2.x, r0, r1
max r2.x, r2.x, -r2.x
min r2.x, r2.x, c1.x
add r2.x, c1.x, -r2.x
mad r3.x, r2.x, c11.x, c11.y
mad r3.y, r2.x, c11.z, c11.w
mul oD0.xyz, c2, r3.x
mul oD0.w, c2.w, r3.y
mov oT0, v3
