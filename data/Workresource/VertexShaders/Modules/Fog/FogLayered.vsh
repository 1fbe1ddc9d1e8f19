// Layered fog factor F (1 clear, 0 fogged): the distance layer
// clamp(c4.x |p - eye| + c4.y) with the eye c51, times the height layer
// clamp(c4.z h + c4.w) with the world height h = (p, 1).c52. A layer that is
// off has (0, 1) and gives 1.
// oFog = F. Uses r10 and r11 only.
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
