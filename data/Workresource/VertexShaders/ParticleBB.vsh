// Camera-facing particle quads: v0 is the particle's centre, v13.xy the
// corner's offset (in world units, as the particle size) along the clip-space right axis
// c10 and up axis c14; colour times c2,
// coordinate set 0, layered fog.
mov r0, v0
m4x4 r1, v0, c6
mov r2.xy, v13
mad r1, r2.x, c10, r1
mad oPos, r2.y, c14, r1
mul oD0, v2, c2
mov oT0, v3
add r10.xyz, r0, -c51
dp3 r10.x, r10, r10
rsq r10.y, r10.x
mul r10.x, r10.x, r10.y
mad r10.x, r10.x, c4.x, c4.y
dp4 r11.x, r0, c52
mad r10.y, r11.x, c4.z, c4.w
max r10.xy, r10, c0.x
min r10.xy, r10, c1.x
mul r10.x, r10.x, r10.y
mov oFog, r10.x
