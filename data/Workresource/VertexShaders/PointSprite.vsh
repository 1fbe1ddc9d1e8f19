// Point sprites: position through c6-c9, colour times c2, layered fog.
// The point size is the renderer's point-size state: the GL translation
// cannot write oPts, so v13 and c10-c14 are not read.
mov r0, v0
m4x4 oPos, v0, c6
mul oD0, v2, c2
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
